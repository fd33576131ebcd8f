// SPDX-License-Identifier: MIT
// The viewer's one file chooser (open or save).
#pragma once

#include <cstdint>
#include <span>
#include <string>

// One entry of a chooser's filter list: what the user reads, and ';'-separated glob patterns
// ("*.tkm;*.ms3d") matched without regard to letter case; "*.*" matches every file.
struct file_filter {
    const char *description;
    const char *patterns;
};

// Shows an open chooser (default_extension null) or a save chooser that adds ".default_extension"
// to a typed name without one, and blocks until it closes while the tool windows stay usable.
// filters are shown in order; initial_directory may be empty (platform default). filter_index
// (1-based, may be null) selects the first filter shown and receives the last one selected, also
// on cancel. Returns 1 with the answer in app_state.chosen_path / chosen_name_offset, 0 on cancel,
// when a chooser is already shown, or when the chosen path does not fit chosen_path (reported).
int32_t choose_file(const char *default_extension, std::span<const file_filter> filters,
                    const char *title, const char *initial_directory, uint32_t *filter_index);

// 1 while a chooser is shown; a second choose_file is refused meanwhile.
int32_t chooser_in_use();

// Runs closing once a chooser has closed and before it counts as closed: the application handles
// there what its window was told meanwhile (null: nothing).
void set_chooser_closing_hook(void (*closing)());

// The directory part of chosen_path (everything before the separator at chosen_name_offset - 1).
std::string chosen_directory();

// ---- test seam: answers in place of the GTK dialog

// What the dialog is asked to show.
struct chooser_request {
    int32_t save;                         // 1 for a save chooser
    std::span<const file_filter> filters; // in display order
    const char *title;
    const char *initial_directory; // "" for the platform default
    uint32_t filter_index;         // 1-based filter shown first
};
// What the dialog answered: accepted 1 with the path as the user gave it (before the default
// extension is added), and the 1-based filter selected when it closed.
struct chooser_reply {
    int32_t accepted = 0;
    std::string path;
    uint32_t filter_index = 1;
};
// Replaces the GTK dialog with answer (null restores the dialog). For tests only.
using chooser_answer_fn = chooser_reply (*)(const chooser_request &request);
void set_chooser_answer_hook(chooser_answer_fn answer);
