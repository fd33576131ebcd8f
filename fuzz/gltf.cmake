# SPDX-License-Identifier: MIT
# The glTF reader (GLB and JSON forms) and the TKM build it feeds.
tarvik_fuzz(gltf ${PROJECT_SOURCE_DIR}/fuzz/gltf.cpp LIBS tarvik_model)
