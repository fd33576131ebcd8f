// SPDX-License-Identifier: MIT
// The chooser's dialog on Windows: the common dialogs of comdlg32 (GetOpenFileNameW and
// GetSaveFileNameW), owned by no window so the tool windows stay usable, with the wide strings
// turned into the UTF-8 the viewer keeps inside.
#include "viewer/gui/file_chooser_dialog.h"

#include <windows.h>
#include <commdlg.h>

#include <string>
#include <vector>

#include "viewer/files/wide_text_win32.h"

namespace {

// comdlg32's filter list: description and patterns, each ended by a zero, the list by another.
std::wstring filter_list(std::span<const file_filter> filters) {
    std::wstring list;
    for (const file_filter &entry : filters) {
        list += wide_text(entry.description);
        list += L'\0';
        list += wide_text(entry.patterns);
        list += L'\0';
    }
    list += L'\0';
    return list;
}

// Room for the longest path Windows takes (with the \\?\ form), so a long path is answered and
// then refused in the viewer's own words rather than cut or lost in the dialog.
constexpr DWORD answer_capacity = 32768;

} // namespace

chooser_reply run_chooser_dialog(const chooser_request &request) {
    chooser_reply reply;
    reply.filter_index = request.filter_index;
    const std::wstring filters = filter_list(request.filters);
    const std::wstring title = wide_text(request.title);
    const std::wstring directory = wide_text(request.initial_directory);
    std::vector<wchar_t> answer(answer_capacity, L'\0');

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = nullptr; // no owner: the tool windows stay usable meanwhile
    dialog.lpstrFilter = filters.c_str();
    dialog.nFilterIndex = request.filter_index;
    dialog.lpstrFile = answer.data();
    dialog.nMaxFile = answer_capacity;
    dialog.lpstrInitialDir = directory.empty() ? nullptr : directory.c_str();
    dialog.lpstrTitle = title.c_str();
    // The path must exist, and an open chooser's file too; no read-only box, and no question
    // before a file is overwritten. The working directory is left alone: the chooser would
    // otherwise move it to the folder chosen.
    dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
                   (request.save ? 0 : OFN_FILEMUSTEXIST);
    // No lpstrDefExt: choose_file adds the default extension itself, alike on every system.
    const BOOL chosen = request.save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    if (dialog.nFilterIndex >= 1) reply.filter_index = dialog.nFilterIndex;
    if (chosen) {
        reply.accepted = 1;
        reply.path = utf8_text(answer.data());
    }
    return reply;
}
