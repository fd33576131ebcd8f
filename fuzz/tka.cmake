# SPDX-License-Identifier: MIT
# The TKA loader and posing, against a two-bone mesh.
tarvik_fuzz(tka ${PROJECT_SOURCE_DIR}/fuzz/tka.cpp MAX_LEN 4096 LIBS tarvik_model)
