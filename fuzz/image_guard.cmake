tarvik_fuzz(image_guard ${PROJECT_SOURCE_DIR}/fuzz/image_guard.cpp LIBS tarvik_core)
