// Placeholder until the tool windows exist: GTK is already initialised and pumped by the loop.
#include "viewer/gui/tool_windows.h"

void create_tool_windows() {}
