# SPDX-License-Identifier: MIT
# The tool windows' templates and artwork, compiled into the viewer as a GResource bundle.
set(TARVIK_GUI_DIR ${CMAKE_CURRENT_LIST_DIR})
set(TARVIK_GUI_BUNDLE ${TARVIK_GUI_DIR}/tarvik_gui.gresource.xml)
set(TARVIK_GUI_SOURCE ${PROJECT_BINARY_DIR}/viewer/gui/tarvik_gui_resources.c)
execute_process(COMMAND ${GLIB_COMPILE_RESOURCES} --sourcedir=${TARVIK_GUI_DIR} --generate-dependencies
                        ${TARVIK_GUI_BUNDLE}
                OUTPUT_VARIABLE TARVIK_GUI_FILES OUTPUT_STRIP_TRAILING_WHITESPACE)
string(REPLACE "\n" ";" TARVIK_GUI_FILES "${TARVIK_GUI_FILES}")
add_custom_command(
  OUTPUT ${TARVIK_GUI_SOURCE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/viewer/gui
  COMMAND ${GLIB_COMPILE_RESOURCES} --sourcedir=${TARVIK_GUI_DIR} --generate-source
          --c-name tarvik_gui --target=${TARVIK_GUI_SOURCE} ${TARVIK_GUI_BUNDLE}
  DEPENDS ${TARVIK_GUI_BUNDLE} ${TARVIK_GUI_FILES}
  COMMENT "Compiling the tool windows' resources")
# Generated code is not ours to keep warning-free.
set_source_files_properties(${TARVIK_GUI_SOURCE} PROPERTIES GENERATED TRUE COMPILE_OPTIONS -w)
target_sources(tarvik_viewer PRIVATE ${TARVIK_GUI_SOURCE})
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${TARVIK_GUI_BUNDLE})
