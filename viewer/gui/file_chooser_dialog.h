// SPDX-License-Identifier: MIT
// The system's own file chooser dialog behind choose_file: one implementation per system.
#pragma once

#include "viewer/gui/file_chooser.h"

// Shows the open or save chooser request asks for and waits until it closes. An open chooser
// takes only a file that exists and a save chooser only a name in a folder that exists; the
// user is told over the chooser and it stays open. The reply's path is the name as the user gave
// it (no default extension added), its filter_index the 1-based filter selected at the end, also
// on cancel. Without a usable GUI the reply is a cancel with the request's filter.
chooser_reply run_chooser_dialog(const chooser_request &request);
