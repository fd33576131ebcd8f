# SPDX-License-Identifier: MIT
# The viewer on Windows: the layers above the core with the Win32 files behind them (a WGL window,
# comdlg32's choosers, MessageBoxW) and stb's images, and tarvik.exe, a console program. The
# system's libraries are all MinGW's own, so nothing beside the .exe is needed.
set(TARVIK_VIEWER_SOURCES)
foreach(dir window textures render gui app)
  file(GLOB found CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp)
  list(APPEND TARVIK_VIEWER_SOURCES ${found})
endforeach()
# Every other system's files, and the Linux entry point.
list(FILTER TARVIK_VIEWER_SOURCES EXCLUDE REGEX "_(sdl|gtk|x11|devil|osmesa|posix)\\.cpp$")
list(REMOVE_ITEM TARVIK_VIEWER_SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/app/main.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/app/main_win32.cpp)
set_source_files_properties(textures/image_io.cpp PROPERTIES COMPILE_DEFINITIONS TARVIK_IMAGES_STB)

add_library(tarvik_viewer STATIC ${TARVIK_VIEWER_SOURCES})
tarvik_warnings(tarvik_viewer)
target_link_libraries(tarvik_viewer PUBLIC tarvik_model tarvik_third_party opengl32 glu32
                      comdlg32 gdi32 user32 winmm)

add_executable(tarvik app/main_win32.cpp ${PROJECT_SOURCE_DIR}/tools/tkmtool/console.cpp
               ${PROJECT_SOURCE_DIR}/cmake/windows/utf8_program.rc)
tarvik_warnings(tarvik)
target_include_directories(tarvik PRIVATE ${PROJECT_SOURCE_DIR}/tools/tkmtool)
target_link_libraries(tarvik PRIVATE tarvik_viewer shell32)
set_target_properties(tarvik PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
install(TARGETS tarvik RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
