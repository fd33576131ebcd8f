# SPDX-License-Identifier: MIT
# What the model core, larkspur and tkmtool build against: headers and libraries that exist for
# every target system, so that a core-only build (a Windows cross-build) finds nothing else.
if(CMAKE_CROSSCOMPILING)
  # No target build of tinygltf, nlohmann-json or stb exists: the host's headers serve.
  find_path(TARVIK_TINYGLTF_INCLUDE tiny_gltf.h PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  find_path(TARVIK_JSON_INCLUDE nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH
            REQUIRED)
  find_path(TARVIK_STB_INCLUDE stb_image.h PATHS /usr/include/stb NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  # Only these headers of the host's /usr/include, not the host's C library.
  set(TARVIK_HOST_HEADERS ${PROJECT_BINARY_DIR}/host_headers)
  file(MAKE_DIRECTORY ${TARVIK_HOST_HEADERS})
  file(CREATE_LINK ${TARVIK_TINYGLTF_INCLUDE}/tiny_gltf.h ${TARVIK_HOST_HEADERS}/tiny_gltf.h SYMBOLIC)
  file(CREATE_LINK ${TARVIK_JSON_INCLUDE}/nlohmann ${TARVIK_HOST_HEADERS}/nlohmann SYMBOLIC)
else()
  find_package(PkgConfig REQUIRED)
  # glTF 2.0 through tinygltf's header, its implementation compiled into the core as for a
  # cross-build: Debian's libtinygltf would bring libstb with it, and every tkmtool command would
  # pay at start for loading and binding the two (a sixth of what tkmtool info of a mesh does).
  find_path(TARVIK_TINYGLTF_INCLUDE tiny_gltf.h REQUIRED)
  find_path(TARVIK_JSON_INCLUDE nlohmann/json.hpp REQUIRED)
  find_path(TARVIK_STB_INCLUDE stb_image_write.h PATHS /usr/include/stb REQUIRED)
endif()
# stb's image reader and writer, and tinygltf's implementation.
add_library(tarvik_third_party STATIC ${PROJECT_SOURCE_DIR}/cmake/third_party_implementations.cpp)
# tiny_gltf.h names <stb_image.h> without its folder.
target_include_directories(tarvik_third_party SYSTEM PUBLIC ${TARVIK_STB_INCLUDE})
set_target_properties(tarvik_third_party PROPERTIES POSITION_INDEPENDENT_CODE ON)
# Third-party code is not ours to keep warning-free.
target_compile_options(tarvik_third_party PRIVATE -w)
if(CMAKE_CROSSCOMPILING)
  target_include_directories(tarvik_third_party SYSTEM PUBLIC ${TARVIK_HOST_HEADERS})
else()
  target_include_directories(tarvik_third_party SYSTEM PUBLIC ${TARVIK_TINYGLTF_INCLUDE}
                             ${TARVIK_JSON_INCLUDE})
endif()
target_compile_definitions(tarvik_third_party PRIVATE TARVIK_TINYGLTF_IMPLEMENTATION)
add_library(tarvik_tinygltf INTERFACE)
target_link_libraries(tarvik_tinygltf INTERFACE tarvik_third_party)
add_library(PkgConfig::TINYGLTF ALIAS tarvik_tinygltf)
if(TARVIK_TESTS)
  if(CMAKE_CROSSCOMPILING)
    # Debian ships GoogleTest as source for other targets: built here with the project's compiler.
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    # Its own targets GTest::gtest and GTest::gtest_main are what the tests link.
    add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  else()
    find_package(GTest REQUIRED)
  endif()
endif()
if(TARVIK_BENCH AND NOT TARVIK_CORE_ONLY)
  find_package(benchmark REQUIRED)
endif()
