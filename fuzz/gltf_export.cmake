# SPDX-License-Identifier: MIT
tarvik_fuzz(gltf_export ${PROJECT_SOURCE_DIR}/fuzz/gltf_export.cpp LIBS tkmtool_model_commands)
