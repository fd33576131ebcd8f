# SPDX-License-Identifier: MIT
# The Milkshape reader and conversion; the largest seed is about 10 KiB.
tarvik_fuzz(ms3d ${PROJECT_SOURCE_DIR}/fuzz/ms3d.cpp MAX_LEN 16384 LIBS tarvik_model)
