# SPDX-License-Identifier: MIT
# The TKM reader and writer; models the fuzzer can build stay within a few KiB.
tarvik_fuzz(tkm ${PROJECT_SOURCE_DIR}/fuzz/tkm.cpp MAX_LEN 16384 LIBS tarvik_model)
