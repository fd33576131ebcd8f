# The Milkshape reader and conversion.
tarvik_fuzz(ms3d ${PROJECT_SOURCE_DIR}/fuzz/ms3d.cpp LIBS tarvik_core)
