# SPDX-License-Identifier: MIT
# Locates the Debian packages the viewer builds against (see the Makefile's deps list), above
# what the core needs (TarvikCoreDeps.cmake).
include(${CMAKE_CURRENT_LIST_DIR}/TarvikCoreDeps.cmake)
if(TARVIK_CORE_ONLY)
  return()
endif()
find_package(OpenGL REQUIRED COMPONENTS OpenGL)
pkg_check_modules(SDL REQUIRED IMPORTED_TARGET sdl)
pkg_check_modules(GTK3 REQUIRED IMPORTED_TARGET gtk+-3.0)
pkg_check_modules(GLU REQUIRED IMPORTED_TARGET glu)
# Mesa's OSMesa: OpenGL without a display, for pictures made by tkmtool.
pkg_check_modules(OSMESA REQUIRED IMPORTED_TARGET osmesa)
find_package(X11 REQUIRED)
# The ILUT pkg-config file is broken on Debian 12, so DevIL is linked by hand.
find_library(IL_LIBRARY IL REQUIRED)
find_library(ILU_LIBRARY ILU REQUIRED)
find_library(ILUT_LIBRARY ILUT REQUIRED)
find_program(GLIB_COMPILE_RESOURCES glib-compile-resources REQUIRED)
