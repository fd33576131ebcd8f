// SPDX-License-Identifier: MIT
// The real GTK chooser driven by GTK calls while it is shown: filters in order and case-blind,
// the filter index both ways, no owner so the tool windows stay usable (and are refused a second
// chooser), the default extension on save; and the background and screenshot commands.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iterator>
#include <fstream>
#include <functional>

#include "tests/viewer/gui/gui_fixture.h"
#include "tools/samplegen/byte_writer.h"
#include "tools/samplegen/tkm_bytes.h"
#include "viewer/anim/animation.h"
#include "viewer/app/commands.h"
#include "viewer/app/startup.h"
#include "viewer/app/view_commands.h"
#include "viewer/gui/file_chooser.h"
#include "viewer/gui/control_ids.h"

namespace {

// Runs step on the chooser once it is shown (checked every 20 ms).
std::function<void(GtkFileChooserDialog *)> on_chooser;

GtkFileChooserDialog *find_chooser() {
    GtkFileChooserDialog *found = nullptr;
    GList *toplevels = gtk_window_list_toplevels();
    for (GList *w = toplevels; w; w = w->next)
        if (GTK_IS_FILE_CHOOSER_DIALOG(w->data) && gtk_widget_get_mapped(GTK_WIDGET(w->data)))
            found = GTK_FILE_CHOOSER_DIALOG(w->data);
    g_list_free(toplevels);
    return found;
}

gboolean poll_for_chooser(gpointer) {
    GtkFileChooserDialog *dialog = find_chooser();
    if (!dialog) return G_SOURCE_CONTINUE;
    auto step = std::move(on_chooser);
    on_chooser = nullptr;
    if (step) step(dialog);
    return G_SOURCE_REMOVE;
}

void when_chooser_shows(std::function<void(GtkFileChooserDialog *)> step) {
    on_chooser = std::move(step);
    g_timeout_add(20, poll_for_chooser, nullptr);
}

// Answers the dialog as its button would, once it has had time to settle on the folder.
// The folder the chooser showed when it was answered (it settles on it asynchronously).
std::string answered_folder;
void respond_later(GtkFileChooserDialog *dialog, int response) {
    static int pending_response;
    pending_response = response;
    answered_folder.clear();
    g_timeout_add(
        300,
        [](gpointer data) -> gboolean {
            if (char *current = gtk_file_chooser_get_current_folder(GTK_FILE_CHOOSER(data))) {
                answered_folder = current;
                g_free(current);
            }
            gtk_dialog_response(GTK_DIALOG(data), pending_response);
            return G_SOURCE_REMOVE;
        },
        dialog);
}

std::vector<std::string> filter_names(GtkFileChooser *chooser) {
    std::vector<std::string> names;
    GSList *filters = gtk_file_chooser_list_filters(chooser);
    for (GSList *f = filters; f; f = f->next)
        names.push_back(gtk_file_filter_get_name(GTK_FILE_FILTER(f->data)));
    g_slist_free(filters);
    return names;
}

int current_filter(GtkFileChooser *chooser) {
    GSList *filters = gtk_file_chooser_list_filters(chooser);
    int index = g_slist_index(filters, gtk_file_chooser_get_filter(chooser)) + 1;
    g_slist_free(filters);
    return index;
}

void select_filter(GtkFileChooser *chooser, int index) {
    GSList *filters = gtk_file_chooser_list_filters(chooser);
    gtk_file_chooser_set_filter(chooser, GTK_FILE_FILTER(g_slist_nth_data(filters, index - 1)));
    g_slist_free(filters);
}

bool filter_takes(GtkFileChooser *chooser, int index, const char *name) {
    GSList *filters = gtk_file_chooser_list_filters(chooser);
    GtkFileFilter *filter = GTK_FILE_FILTER(g_slist_nth_data(filters, index - 1));
    g_slist_free(filters);
    GtkFileFilterInfo info{};
    info.contains = GTK_FILE_FILTER_DISPLAY_NAME;
    info.display_name = name;
    return gtk_file_filter_filter(filter, &info);
}

std::string make_temp_dir() {
    char pattern[] = "/tmp/tarvik-chooser-XXXXXX";
    const char *dir = mkdtemp(pattern);
    return dir ? dir : "";
}

constexpr file_filter model_filters[] = {
    {"Model files", "*.tkm;*.ms3d"},
    {"Officer models", "SWT_*.tkm"},
    {"All files", "*.*"},
};

class GtkChooser : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!start_viewer_windows()) GTEST_SKIP() << "no display";
        set_chooser_answer_hook(nullptr);
        directory = make_temp_dir();
        ASSERT_FALSE(directory.empty());
    }
    std::string directory;
};

TEST_F(GtkChooser, OpenChooserShowsFiltersAndStaysOutOfTheToolWindowsWay) {
    std::string model = directory + "/SWT_Officer.TKM";
    std::ofstream(model) << "x";
    std::vector<std::string> names;
    int shown_filter = 0;
    bool modal = true, owned = true;
    bool upper_taken = false, other_taken = true, any_taken = false;
    std::string refusal;
    when_chooser_shows([&](GtkFileChooserDialog *dialog) {
        GtkFileChooser *chooser = GTK_FILE_CHOOSER(dialog);
        names = filter_names(chooser);
        shown_filter = current_filter(chooser);
        modal = gtk_window_get_modal(GTK_WINDOW(dialog));
        owned = gtk_window_get_transient_for(GTK_WINDOW(dialog)) != nullptr;
        upper_taken = filter_takes(chooser, 2, "SWT_OFFICER.TKM");
        other_taken = filter_takes(chooser, 2, "KID_boy.tkm");
        any_taken = filter_takes(chooser, 3, "README");
        // The menu window still works: its background command is refused a second chooser.
        testing::internal::CaptureStderr();
        gtk_button_clicked(GTK_BUTTON(get_dlg_item(app_state.menu_window, menu_background_button)));
        refusal = testing::internal::GetCapturedStderr();
        select_filter(chooser, 3);
        gtk_file_chooser_set_filename(chooser, model.c_str());
        respond_later(dialog, GTK_RESPONSE_ACCEPT);
    });
    uint32_t index = 2;
    int32_t chosen =
        choose_file(nullptr, model_filters, "Load TarvikMesh", directory.c_str(), &index);
    EXPECT_EQ(names, (std::vector<std::string>{"Model files", "Officer models", "All files"}));
    EXPECT_EQ(shown_filter, 2);
    EXPECT_FALSE(modal);
    EXPECT_FALSE(owned);
    EXPECT_TRUE(upper_taken);
    EXPECT_FALSE(other_taken);
    EXPECT_TRUE(any_taken);
    EXPECT_EQ(answered_folder, directory);
    EXPECT_EQ(refusal, "THREAD SAFETY: Fileselector is in use!\n");
    ASSERT_EQ(chosen, 1);
    EXPECT_EQ(std::string(app_state.chosen_path), model);
    EXPECT_EQ(chosen_directory(), directory);
    EXPECT_EQ(index, 3u);
    EXPECT_EQ(chooser_in_use(), 0);
    std::remove(model.c_str());
}

TEST_F(GtkChooser, CancelledScreenshotChooserStillStoresTheFilter) {
    app_state.screenshot_filter_index = 1;
    std::string title;
    when_chooser_shows([&](GtkFileChooserDialog *dialog) {
        title = gtk_window_get_title(GTK_WINDOW(dialog));
        EXPECT_EQ(gtk_file_chooser_get_action(GTK_FILE_CHOOSER(dialog)),
                  GTK_FILE_CHOOSER_ACTION_SAVE);
        EXPECT_EQ(filter_names(GTK_FILE_CHOOSER(dialog)),
                  (std::vector<std::string>{"Bitmap files", "All files"}));
        select_filter(GTK_FILE_CHOOSER(dialog), 2);
        gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
    });
    testing::internal::CaptureStdout();
    screenshot_command();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(title, "Choose filename to take screenshot");
    EXPECT_EQ(app_state.screenshot_filter_index, 2u);
}

TEST_F(GtkChooser, ScreenshotNameWithoutExtensionGetsBmpAndTheDirectoryIsKept) {
    app_state.screenshot_directory = directory;
    when_chooser_shows([&](GtkFileChooserDialog *dialog) {
        GtkFileChooser *chooser = GTK_FILE_CHOOSER(dialog);
        gtk_file_chooser_set_current_name(chooser, "shot");
        respond_later(dialog, GTK_RESPONSE_ACCEPT);
    });
    testing::internal::CaptureStdout();
    screenshot_command();
    std::string out = testing::internal::GetCapturedStdout();
    std::string expected = directory + "/shot.bmp";
    EXPECT_EQ(answered_folder, directory);
    EXPECT_NE(out.find("Saved screenshot at " + expected + "\n"), std::string::npos) << out;
    struct stat info {};
    EXPECT_EQ(stat(expected.c_str(), &info), 0);
    EXPECT_GT(info.st_size, 54);
    EXPECT_EQ(app_state.screenshot_directory, directory);
    std::remove(expected.c_str());
}

// ---- the other ways out of a chooser, and names that do not exist

// Collects GTK's and GLib's critical messages and warnings while it lives: a chooser destroyed
// under the code that still reads it is told that way.
class critical_counter {
  public:
    critical_counter() { previous = g_log_set_default_handler(collect, this); }
    ~critical_counter() { g_log_set_default_handler(previous, nullptr); }
    std::string messages;

  private:
    static void collect(const gchar *domain, GLogLevelFlags level, const gchar *message,
                        gpointer data) {
        if (level & (G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING))
            static_cast<critical_counter *>(data)->messages +=
                std::string(domain ? domain : "") + ": " + message + "\n";
    }
    GLogFunc previous = nullptr;
};

// Presses and releases keyval on widget's window as the display would deliver it.
void send_key(GtkWidget *widget, guint keyval, GdkModifierType state) {
    GdkKeymapKey *keys = nullptr;
    gint num_keys = 0;
    gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(gtk_widget_get_display(widget)),
                                      keyval, &keys, &num_keys);
    for (GdkEventType type : {GDK_KEY_PRESS, GDK_KEY_RELEASE}) {
        GdkEvent *event = gdk_event_new(type);
        event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(widget)));
        event->key.send_event = TRUE;
        event->key.time = GDK_CURRENT_TIME;
        event->key.state = state;
        event->key.keyval = keyval;
        event->key.hardware_keycode = num_keys > 0 ? static_cast<guint16>(keys[0].keycode) : 0;
        gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(
                                        gtk_widget_get_display(widget))));
        gtk_main_do_event(event);
        gdk_event_free(event);
    }
    g_free(keys);
}

TEST_F(GtkChooser, EscapeAndTheCloseBoxCancelAndKeepTheFilterChosen) {
    const struct {
        const char *way;
        void (*close)(GtkFileChooserDialog *);
    } ways[] = {
        {"Escape",
         [](GtkFileChooserDialog *d) {
             send_key(GTK_WIDGET(d), GDK_KEY_Escape, GdkModifierType(0));
         }},
        {"close box", [](GtkFileChooserDialog *d) { gtk_window_close(GTK_WINDOW(d)); }},
    };
    for (const auto &way : ways) {
        bool closed_itself = false;
        when_chooser_shows([&](GtkFileChooserDialog *dialog) {
            select_filter(GTK_FILE_CHOOSER(dialog), 3);
            way.close(dialog);
            closed_itself = true;
        });
        critical_counter criticals;
        uint32_t index = 1;
        int32_t chosen =
            choose_file(nullptr, model_filters, "Load TarvikMesh", directory.c_str(), &index);
        EXPECT_TRUE(closed_itself) << way.way;
        EXPECT_EQ(chosen, 0) << way.way;
        EXPECT_EQ(index, 3u) << way.way;
        EXPECT_EQ(criticals.messages, "") << way.way;
        EXPECT_EQ(find_chooser(), nullptr) << way.way << ": the chooser is still shown";
        EXPECT_EQ(chooser_in_use(), 0);
    }
}

// The location entry of a shown chooser, which Ctrl+L brings up for typing.
// The first of widget's descendants (internal ones included) that is_wanted takes.
GtkWidget *find_part(GtkWidget *widget, gboolean (*is_wanted)(GtkWidget *)) {
    if (is_wanted(widget)) return widget;
    if (!GTK_IS_CONTAINER(widget)) return nullptr;
    struct search {
        gboolean (*is_wanted)(GtkWidget *);
        GtkWidget *found = nullptr;
    } state{is_wanted};
    // The chooser's parts are internal children, which only forall visits.
    gtk_container_forall(
        GTK_CONTAINER(widget),
        [](GtkWidget *child, gpointer data) {
            auto *s = static_cast<search *>(data);
            if (!s->found) s->found = find_part(child, s->is_wanted);
        },
        &state);
    return state.found;
}

// Types name into the chooser's location entry and presses Return there, as a user would: the
// entry is the one Ctrl+L or a typed '/' brings up.
void type_name(GtkFileChooserDialog *dialog, const std::string &name) {
    GtkWidget *widget = find_part(
        GTK_WIDGET(dialog), [](GtkWidget *w) -> gboolean { return GTK_IS_FILE_CHOOSER_WIDGET(w); });
    ASSERT_NE(widget, nullptr);
    g_signal_emit_by_name(widget, "location-popup", "/");
    GtkWidget *entry = find_part(widget, [](GtkWidget *w) -> gboolean {
        return GTK_IS_ENTRY(w) && g_str_equal(G_OBJECT_TYPE_NAME(w), "GtkFileChooserEntry");
    });
    ASSERT_NE(entry, nullptr);
    gtk_entry_set_text(GTK_ENTRY(entry), name.c_str());
    gtk_widget_activate(entry);
}

// The shown message dialog's text, answered with its button; empty when none is shown.
std::string answer_notice() {
    std::string text;
    GList *toplevels = gtk_window_list_toplevels();
    for (GList *w = toplevels; w; w = w->next) {
        if (!GTK_IS_MESSAGE_DIALOG(w->data) || !gtk_widget_get_mapped(GTK_WIDGET(w->data)))
            continue;
        gchar *shown = nullptr;
        g_object_get(w->data, "text", &shown, nullptr);
        text = shown ? shown : "";
        g_free(shown);
        gtk_dialog_response(GTK_DIALOG(w->data), GTK_RESPONSE_OK);
    }
    g_list_free(toplevels);
    return text;
}

// What happens after a name is typed into an open chooser, step by step from GTK's loop.
struct typed_name_run {
    GtkFileChooserDialog *dialog = nullptr;
    std::string missing;
    std::string existing;
    std::string notice;
    bool stayed_open = false;
    int polls = 0;
};

TEST_F(GtkChooser, AnOpenChooserTakesOnlyANameThatExists) {
    static typed_name_run run;
    run = typed_name_run{};
    run.existing = directory + "/present.tkm";
    std::ofstream(run.existing) << "x";
    run.missing = directory + "/missing.tkm";
    when_chooser_shows([&](GtkFileChooserDialog *dialog) {
        run.dialog = dialog;
        // Typed once the chooser has settled on its folder, as a user would see it first.
        g_timeout_add(
            300,
            [](gpointer) -> gboolean {
                type_name(run.dialog, run.missing);
                return G_SOURCE_REMOVE;
            },
            nullptr);
        // The notice runs a loop of its own inside the chooser's: it is looked for from a timer,
        // answered, and then the chooser must still wait for a name.
        g_timeout_add(
            100,
            [](gpointer) -> gboolean {
                run.notice = answer_notice();
                if (run.notice.empty() && ++run.polls < 100) return G_SOURCE_CONTINUE;
                g_timeout_add(
                    100,
                    [](gpointer) -> gboolean {
                        run.stayed_open = find_chooser() == run.dialog;
                        if (run.stayed_open)
                            type_name(run.dialog, run.existing);
                        else
                            gtk_dialog_response(GTK_DIALOG(run.dialog), GTK_RESPONSE_CANCEL);
                        return G_SOURCE_REMOVE;
                    },
                    nullptr);
                return G_SOURCE_REMOVE;
            },
            nullptr);
    });
    uint32_t index = 3;
    int32_t chosen =
        choose_file(nullptr, model_filters, "Load TarvikMesh", directory.c_str(), &index);
    EXPECT_EQ(run.notice, "missing.tkm\nFile not found.\nCheck the file name and try again.");
    EXPECT_TRUE(run.stayed_open);
    ASSERT_EQ(chosen, 1);
    EXPECT_EQ(std::string(app_state.chosen_path), run.existing);
    std::remove(run.existing.c_str());
}

// ---- the OpenGL window's keys while a chooser is open

int answers_given = 0;
// Cancels, after m has been pressed and released in the OpenGL window meanwhile.
chooser_reply cancel_after_m(const chooser_request &request) {
    // Once: a second chooser that the fault opens gets no keys of its own.
    if (++answers_given > 1) return {};
    for (Uint8 type : {SDL_KEYDOWN, SDL_KEYUP}) {
        SDL_Event key{};
        key.type = type;
        key.key.type = type;
        key.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        key.key.keysym.sym = SDLK_m;
        SDL_PushEvent(&key);
    }
    chooser_reply reply;
    reply.filter_index = request.filter_index;
    return reply;
}

TEST_F(GtkChooser, MReleasedWhileAChooserIsOpenIsRefusedAndOpensNoSecondOne) {
    answers_given = 0;
    set_chooser_answer_hook(cancel_after_m);
    testing::internal::CaptureStderr();
    load_mesh_command();
    // Whatever else is left in the queue is handled as the main loop would: no second chooser.
    handle_pending_events();
    const std::string err = testing::internal::GetCapturedStderr();
    set_chooser_answer_hook(nullptr);
    EXPECT_EQ(answers_given, 1);
    EXPECT_EQ(err, "THREAD SAFETY: Fileselector is in use!\n");
    EXPECT_EQ(chooser_in_use(), 0);
}

// ---- the mesh window's commands while the chooser they opened waits

// Writes a small character file for the commands to load.
std::string write_small_model(const std::string &path) {
    tkm_fixture fixture;
    fixture.bones = chain_skeleton(3);
    EXPECT_EQ(write_bytes(path, encode_tkm(fixture)), 0);
    return path;
}

std::vector<unsigned char> bytes_of(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(GtkChooser, RemovePressedWhileTheSaveChooserWaitsLeavesTheTargetAndSaysWhy) {
    std::string model = write_small_model(directory + "/source.tkm");
    testing::internal::CaptureStdout();
    ASSERT_EQ(load_mesh_file(model.c_str(), static_cast<uint16_t>(directory.size() + 1)), 0);
    testing::internal::GetCapturedStdout();
    open_mesh_window();
    GtkWidget *mesh_window = app_state.mesh_window;
    const std::string target = directory + "/target.tkm";
    std::ofstream(target) << "the user's model";

    bool removed = false;
    when_chooser_shows([&](GtkFileChooserDialog *dialog) {
        gtk_button_clicked(GTK_BUTTON(get_dlg_item(mesh_window, mesh_remove_button))); // Remove
        removed = app_state.mesh == nullptr;
        gtk_file_chooser_set_filename(GTK_FILE_CHOOSER(dialog), target.c_str());
        respond_later(dialog, GTK_RESPONSE_ACCEPT);
    });
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    gtk_button_clicked(GTK_BUTTON(get_dlg_item(mesh_window, mesh_save_button))); // Save
    std::string err = testing::internal::GetCapturedStderr();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(removed);
    EXPECT_EQ(err, "Not saved: the mesh was removed or replaced while the file chooser was open\n");
    EXPECT_EQ(out, "");
    const std::string old_text = "the user's model";
    EXPECT_EQ(bytes_of(target), std::vector<unsigned char>(old_text.begin(), old_text.end()));
    // Nothing but the two files: no scratch file was written either.
    int files = 0;
    for (const auto &entry : std::filesystem::directory_iterator(directory))
        files += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 2);

    // The same for an animation chosen for a mesh that is removed meanwhile.
    testing::internal::CaptureStdout();
    ASSERT_EQ(load_mesh_file(model.c_str(), static_cast<uint16_t>(directory.size() + 1)), 0);
    testing::internal::GetCapturedStdout();
    when_chooser_shows([&](GtkFileChooserDialog *dialog) {
        gtk_button_clicked(GTK_BUTTON(get_dlg_item(mesh_window, mesh_remove_button)));
        gtk_file_chooser_set_filename(GTK_FILE_CHOOSER(dialog), model.c_str());
        respond_later(dialog, GTK_RESPONSE_ACCEPT);
    });
    testing::internal::CaptureStderr();
    load_animation_command();
    err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "Animation not loaded: the mesh was removed while the file chooser was open\n");
    gtk_widget_destroy(mesh_window);
    release_animation(app_state.animation);
    app_state.animation = nullptr;
    std::filesystem::remove_all(directory);
}

// ---- the background command, answered through the seam

std::string seam_answer;
std::string seam_directory;
chooser_reply answer_background(const chooser_request &request) {
    seam_directory = request.initial_directory;
    chooser_reply reply;
    reply.accepted = 1;
    reply.path = seam_answer;
    return reply;
}

// A 2x2 24-bit bitmap with the classic header, which the image library reads.
void write_small_bmp(const std::string &path) {
    std::vector<unsigned char> bytes = {'B', 'M'};
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; i++)
            bytes.push_back(static_cast<unsigned char>(v >> (8 * i)));
    };
    auto u16 = [&](uint16_t v) {
        bytes.push_back(v & 0xFF);
        bytes.push_back(v >> 8);
    };
    u32(54 + 16);
    u32(0);
    u32(54);
    u32(40);
    u32(2);
    u32(2);
    u16(1);
    u16(24);
    u32(0);
    u32(16);
    u32(2835);
    u32(2835);
    u32(0);
    u32(0);
    for (int row = 0; row < 2; row++) {
        for (int i = 0; i < 6; i++)
            bytes.push_back(200);
        bytes.push_back(0);
        bytes.push_back(0);
    }
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()), bytes.size());
}

TEST_F(GtkChooser, BackgroundThatFailsKeepsTheFlagButRemembersTheDirectory) {
    set_chooser_answer_hook(answer_background);
    app_state.background_directory = "";
    app_state.show_background = 0;
    seam_answer = directory + "/broken.bmp";
    std::ofstream(seam_answer) << "not an image";
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    background_command();
    testing::internal::GetCapturedStdout();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Error loading background: "), std::string::npos) << err;
    EXPECT_EQ(seam_directory, "");
    EXPECT_EQ(app_state.show_background, 0);
    EXPECT_EQ(app_state.background_directory, directory);
    EXPECT_STREQ(app_state.chosen_path, directory.c_str());

    seam_answer = directory + "/bg.bmp";
    write_small_bmp(seam_answer);
    testing::internal::CaptureStdout();
    background_command();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(seam_directory, directory);
    EXPECT_EQ(app_state.show_background, 1);
    EXPECT_STREQ(get_dlg_item_text(app_state.menu_window, menu_background_field), "bg.bmp");
    set_chooser_answer_hook(nullptr);
    app_state.show_background = 0;
    std::remove((directory + "/broken.bmp").c_str());
    std::remove(seam_answer.c_str());
}

} // namespace
