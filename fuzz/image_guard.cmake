# SPDX-License-Identifier: MIT
# Image headers through the guard and DevIL's decoders; the seeds are small pictures.
if(TARVIK_CORE_ONLY)
  return() # DevIL is the viewer's
endif()
tarvik_fuzz(image_guard ${PROJECT_SOURCE_DIR}/fuzz/image_guard.cpp MAX_LEN 4096 LIBS tarvik_viewer)
