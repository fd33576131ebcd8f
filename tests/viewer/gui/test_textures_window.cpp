// SPDX-License-Identifier: MIT
// The textures window for real: list marks, browsing with the chooser seam, replacement with the
// selection kept, showing only the selection, and every refusal with its message.
#include <gtest/gtest.h>

#include "tests/viewer/gui/gui_fixture.h"
#include "viewer/gui/file_chooser.h"
#include "viewer/gui/textures_window.h"
#include "viewer/gui/control_ids.h"

namespace {

chooser_request seen_request{};
std::string seen_title;
std::string seen_directory;
std::vector<std::string> seen_filters;
const char *browse_answer = "C:\\art\\new.bmp";

chooser_reply answer_browse(const chooser_request &request) {
    seen_request = request;
    seen_title = request.title;
    seen_directory = request.initial_directory;
    seen_filters.clear();
    for (const file_filter &f : request.filters)
        seen_filters.push_back(std::string(f.description) + "|" + f.patterns);
    chooser_reply reply;
    reply.filter_index = 2;
    if (browse_answer) {
        reply.accepted = 1;
        reply.path = browse_answer;
    }
    return reply;
}

std::vector<std::string> list_lines() {
    std::vector<std::string> lines;
    GtkWidget *list = get_texture_list_box();
    if (!list) return lines;
    GtkTreeModel *model = gtk_tree_view_get_model(GTK_TREE_VIEW(list));
    GtkTreeIter iter;
    for (gboolean ok = gtk_tree_model_get_iter_first(model, &iter); ok;
         ok = gtk_tree_model_iter_next(model, &iter)) {
        gchar *text = nullptr;
        guint index = 0;
        gtk_tree_model_get(model, &iter, 0, &text, 1, &index, -1);
        lines.push_back(std::string(text) + "#" + std::to_string(index));
        g_free(text);
    }
    return lines;
}

std::vector<int> selected_rows() {
    std::vector<int> rows;
    GtkTreeSelection *selection =
        gtk_tree_view_get_selection(GTK_TREE_VIEW(get_texture_list_box()));
    GList *paths = gtk_tree_selection_get_selected_rows(selection, nullptr);
    for (GList *p = paths; p; p = p->next)
        rows.push_back(gtk_tree_path_get_indices(static_cast<GtkTreePath *>(p->data))[0]);
    g_list_free_full(paths, reinterpret_cast<GDestroyNotify>(gtk_tree_path_free));
    return rows;
}

void select_rows(std::initializer_list<int> rows) {
    GtkTreeSelection *selection =
        gtk_tree_view_get_selection(GTK_TREE_VIEW(get_texture_list_box()));
    gtk_tree_selection_unselect_all(selection);
    for (int row : rows) {
        GtkTreePath *path = gtk_tree_path_new_from_indices(row, -1);
        gtk_tree_selection_select_path(selection, path);
        gtk_tree_path_free(path);
    }
}

class TexturesWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!start_viewer_windows()) GTEST_SKIP() << "no display";
        set_chooser_answer_hook(answer_browse);
        browse_answer = "C:\\art\\new.bmp";
        app_state.show_textures = 1;
        app_state.mesh = make_textured_mesh({"skin.bmp", "missing.tga", "vest.bmp"}, {1, 0, 1});
        open_mesh_window();
        press_button(app_state.mesh_window, mesh_textures_button);
        ASSERT_NE(app_state.textures_window, nullptr);
    }
    void TearDown() override {
        set_chooser_answer_hook(nullptr);
        if (app_state.mesh_window) gtk_widget_destroy(app_state.mesh_window);
        if (app_state.textures_window) gtk_widget_destroy(app_state.textures_window);
        settle();
        release_mesh(app_state.mesh);
        app_state.mesh = nullptr;
    }
    GtkWidget *window() { return app_state.textures_window; }
};

TEST_F(TexturesWindow, OpeningListsTheTexturesWithTheirMarks) {
    EXPECT_EQ(list_lines(),
              (std::vector<std::string>{"  skin.bmp#0", "! missing.tga#1", "  vest.bmp#2"}));
    GtkTreeSelection *selection =
        gtk_tree_view_get_selection(GTK_TREE_VIEW(get_texture_list_box()));
    EXPECT_EQ(gtk_tree_selection_get_mode(selection), GTK_SELECTION_MULTIPLE);
    EXPECT_STREQ(
        gtk_button_get_label(GTK_BUTTON(get_dlg_item(window(), textures_show_selected_button))),
        "Show only _selected");
}

TEST_F(TexturesWindow, RebuiltListKeepsTheGivenSelection) {
    const uint32_t selection[] = {2, 0x10000}; // only the low 16 bits count
    gui_generate_textures_list(app_state.mesh, 2, selection);
    EXPECT_EQ(selected_rows(), (std::vector<int>{0, 2}));
    gui_generate_textures_list(app_state.mesh, 0, nullptr);
    EXPECT_TRUE(selected_rows().empty());
    // No window: nothing happens, nothing is reported.
    GtkWidget *kept = app_state.textures_window;
    app_state.textures_window = nullptr;
    testing::internal::CaptureStderr();
    gui_generate_textures_list(app_state.mesh, 0, nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    app_state.textures_window = kept;
}

TEST_F(TexturesWindow, BrowseFillsTheEditBoxAndRemembersTheDirectory) {
    app_state.texture_directory = "/start/here";
    app_state.texture_filter_index = 1;
    press_button(window(), textures_browse_button);
    EXPECT_EQ(seen_title, "Choose a new texture");
    EXPECT_EQ(seen_directory, "/start/here");
    EXPECT_EQ(seen_request.save, 0);
    EXPECT_EQ(seen_filters, (std::vector<std::string>{"All supported image files|*.bmp;*.tga",
                                                      "Bitmap files|*.bmp", "Targa files|*.tga",
                                                      "All files|*.*"}));
    EXPECT_EQ(app_state.texture_filter_index, 2u);
    EXPECT_STREQ(get_dlg_item_text(window(), textures_replacement_field), "C:\\art\\new.bmp");
    EXPECT_EQ(app_state.texture_directory, "C:\\art");

    browse_answer = nullptr; // cancelled: the box keeps its text
    press_button(window(), textures_browse_button);
    EXPECT_STREQ(get_dlg_item_text(window(), textures_replacement_field), "C:\\art\\new.bmp");
    EXPECT_EQ(app_state.texture_directory, "C:\\art");
}

TEST_F(TexturesWindow, ReloadShowsWhatLoadedNowAndKeepsTheSelection) {
    // None of the files exists: after the reload every line is marked as not loaded.
    select_rows({0, 2});
    testing::internal::CaptureStdout();
    press_button(window(), textures_reload_button);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(list_lines(),
              (std::vector<std::string>{"! skin.bmp#0", "! missing.tga#1", "! vest.bmp#2"}));
    EXPECT_EQ(selected_rows(), (std::vector<int>{0, 2}));
}

TEST_F(TexturesWindow, BrowseAfterTheWindowClosedInTheChooserSaysWhy) {
    set_chooser_answer_hook([](const chooser_request &) {
        // The user closes the textures window while the chooser is open.
        gtk_widget_destroy(app_state.textures_window);
        chooser_reply reply;
        reply.accepted = 1;
        reply.path = "/art/late.bmp";
        return reply;
    });
    testing::internal::CaptureStderr();
    browse_for_texture();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(app_state.textures_window, nullptr);
    EXPECT_EQ(err, "Can't set edit box to new texture name: 2!\n");
    EXPECT_EQ(app_state.texture_directory, "/art");
}

TEST_F(TexturesWindow, ReplaceGivesTheSelectedTexturesThePathAndKeepsThemSelected) {
    press_button(window(), textures_browse_button);
    select_rows({0, 2});
    press_button(window(), textures_replace_button);
    for (int i : {0, 2}) {
        EXPECT_STREQ(app_state.mesh->texture_names[i].path, "C:\\art\\new.bmp");
        EXPECT_STREQ(app_state.mesh->texture_names[i].base, "new.bmp");
    }
    EXPECT_STREQ(app_state.mesh->texture_names[1].base, "missing.tga");
    // The image is nowhere to be found, so the reloaded list marks it.
    EXPECT_EQ(list_lines(),
              (std::vector<std::string>{"! new.bmp#0", "! missing.tga#1", "! new.bmp#2"}));
    EXPECT_EQ(selected_rows(), (std::vector<int>{0, 2}));
}

TEST_F(TexturesWindow, ReplaceRefusalsReportAndChangeNothing) {
    tkm_mesh *mesh = app_state.mesh;
    // Nothing selected.
    press_button(window(), textures_browse_button);
    select_rows({});
    testing::internal::CaptureStderr();
    replace_textures(mesh);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "No textures selected for replacement!\n");
    // No replacement chosen.
    set_dlg_item_text(window(), textures_replacement_field, "");
    select_rows({1});
    testing::internal::CaptureStderr();
    press_button(window(), textures_replace_button);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "No replacement texture name!\n");
    EXPECT_STREQ(mesh->texture_names[1].base, "missing.tga");
    // No mesh.
    testing::internal::CaptureStderr();
    replace_textures(nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "No mesh loaded!\n");
    // Empty list.
    gtk_list_store_clear(
        GTK_LIST_STORE(gtk_tree_view_get_model(GTK_TREE_VIEW(get_texture_list_box()))));
    testing::internal::CaptureStderr();
    replace_textures(mesh);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "No textures loaded!\n");
    // No window at all: the list-box lookup reports.
    GtkWidget *kept = app_state.textures_window;
    app_state.textures_window = nullptr;
    testing::internal::CaptureStderr();
    replace_textures(mesh);
    EXPECT_EQ(testing::internal::GetCapturedStderr().rfind("Can't get listbox handle: ", 0), 0u);
    app_state.textures_window = kept;
}

TEST_F(TexturesWindow, ShowOnlySelectedHidesTheRest) {
    select_rows({0});
    testing::internal::CaptureStdout();
    press_button(window(), textures_show_selected_button);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Showing only selected textures:\n  Texture 0: skin.bmp\n");
    EXPECT_EQ(app_state.mesh->texture_names[0].hidden, 0u);
    EXPECT_EQ(app_state.mesh->texture_names[1].hidden, 1u);
    EXPECT_EQ(app_state.mesh->texture_names[2].hidden, 1u);

    select_rows({});
    testing::internal::CaptureStderr();
    press_button(window(), textures_show_selected_button);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "No textures selected to show!\n");
    EXPECT_EQ(app_state.mesh->texture_names[1].hidden, 1u);

    select_rows({0, 1, 2});
    testing::internal::CaptureStdout();
    press_button(window(), textures_show_selected_button);
    testing::internal::GetCapturedStdout();
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(app_state.mesh->texture_names[i].hidden, 0u);
}

TEST_F(TexturesWindow, ListOfAnotherMeshNeverWritesPastTheCharacterMesh) {
    // A weapon loaded after the character fills the list with its own textures.
    tkm_mesh *weapon = make_textured_mesh({"a.bmp", "b.bmp", "c.bmp", "d.bmp", "e.bmp"}, {});
    app_state.show_textures = 0;
    gui_generate_textures_list(weapon, 0, nullptr);
    select_rows({4});
    press_button(window(), textures_browse_button);
    testing::internal::CaptureStderr();
    press_button(window(), textures_replace_button);
    testing::internal::GetCapturedStderr();
    for (int i = 0; i < 3; i++)
        EXPECT_STRNE(app_state.mesh->texture_names[i].base, "new.bmp");
    release_mesh(weapon);
}

} // namespace
