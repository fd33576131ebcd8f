// SPDX-License-Identifier: MIT
// The file chooser's request and answer, the same on every system; the dialog itself is the
// system's (file_chooser_gtk.cpp, file_chooser_win32.cpp).
//
// Sections: answer handling | choose_file
#include "viewer/gui/file_chooser.h"

#include <cstring>

#include "support/messages.h"
#include "viewer/app/app_state.h"
#include "viewer/gui/file_chooser_dialog.h"

namespace {

int32_t in_use = 0;
chooser_answer_fn answer_hook = nullptr;
void (*closing_hook)() = nullptr;

// ---- answer handling

// The name part of path begins after its last separator; stored Windows paths use '\'.
size_t name_offset(const std::string &path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? 0 : slash + 1;
}

// Adds ".extension" when the name part has no extension of its own.
std::string with_default_extension(const std::string &path, const char *extension) {
    if (!extension || !*extension) return path;
    std::string name = path.substr(name_offset(path));
    if (name.empty() || name.find('.') != std::string::npos) return path;
    return path + "." + extension;
}

// Stores path as the answer; 0 (reported, answer left empty) when it does not fit.
int32_t store_answer(const std::string &path) {
    size_t offset = name_offset(path);
    if (path.size() + 1 > sizeof app_state.chosen_path || offset > UINT16_MAX) {
        real_meow("Chosen path is too long (%zu characters, at most %zu): %s\n", path.size(),
                  sizeof app_state.chosen_path - 1, path.c_str());
        return 0;
    }
    std::memcpy(app_state.chosen_path, path.c_str(), path.size() + 1);
    app_state.chosen_name_offset = static_cast<uint16_t>(offset);
    return 1;
}

} // namespace

// ---- choose_file

int32_t choose_file(const char *default_extension, std::span<const file_filter> filters,
                    const char *title, const char *initial_directory, uint32_t *filter_index) {
    if (in_use) {
        real_meow("THREAD SAFETY: Fileselector is in use!\n");
        return 0;
    }
    in_use = 1;
    app_state.chosen_path[0] = '\0';
    app_state.chosen_name_offset = 0;

    chooser_request request{default_extension ? 1 : 0, filters, title ? title : "",
                            initial_directory ? initial_directory : "",
                            filter_index ? *filter_index : 1};
    chooser_reply reply = answer_hook ? answer_hook(request) : run_chooser_dialog(request);

    // Still in use: a command that the events of meanwhile start is refused a second chooser.
    if (closing_hook) closing_hook();
    if (filter_index) *filter_index = reply.filter_index;
    int32_t chosen = 0;
    if (reply.accepted && !reply.path.empty())
        chosen = store_answer(with_default_extension(reply.path, default_extension));
    in_use = 0;
    return chosen;
}

int32_t chooser_in_use() {
    return in_use;
}

void set_chooser_closing_hook(void (*closing)()) {
    closing_hook = closing;
}

void set_chooser_answer_hook(chooser_answer_fn answer) {
    answer_hook = answer;
}

std::string chosen_directory() {
    uint16_t offset = app_state.chosen_name_offset;
    if (offset == 0) return std::string();
    // A file in the root directory: its directory is "/", not the empty "platform default".
    if (offset == 1 && app_state.chosen_path[0] == '/') return "/";
    return std::string(app_state.chosen_path, offset - 1);
}
