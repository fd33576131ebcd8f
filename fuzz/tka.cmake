tarvik_fuzz(tka ${PROJECT_SOURCE_DIR}/fuzz/tka.cpp LIBS tarvik_core)
