tarvik_fuzz(tkm ${PROJECT_SOURCE_DIR}/fuzz/tkm.cpp LIBS tarvik_core)
