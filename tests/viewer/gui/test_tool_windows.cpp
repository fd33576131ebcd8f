// SPDX-License-Identifier: MIT
// The tool windows for real under X: the menu window and its pictures, the mesh window's boxes
// and buttons, the animation window's Reset, the exit picture, and the program icon.
#include <gtest/gtest.h>

#include "tests/viewer/gui/gui_fixture.h"
#include "viewer/anim/animation.h"
#include "viewer/app/posing.h"
#include "viewer/app/startup.h"
#include "viewer/app/view_commands.h"
#include "viewer/gui/control_ids.h"

// X11 last: its macros (None, Bool) collide with GoogleTest's names.
#include <GL/gl.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <unistd.h>

namespace {

class ToolWindows : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!start_viewer_windows()) GTEST_SKIP() << "no display";
        settle();
    }
    void TearDown() override {
        for (GtkWidget *window :
             {app_state.textures_window, app_state.mesh_window, app_state.animation_window})
            if (window) gtk_widget_destroy(window);
        settle();
    }
};

GdkPixbuf *picture_of(int id) {
    auto *builder = static_cast<GtkBuilder *>(
        g_object_get_data(G_OBJECT(app_state.menu_window), dialog_builder_key));
    std::string name = "c" + std::to_string(id) + "_image";
    GObject *image = gtk_builder_get_object(builder, name.c_str());
    return image ? gtk_image_get_pixbuf(GTK_IMAGE(image)) : nullptr;
}

TEST_F(ToolWindows, StartUpShowsTheMenuWithItsPicturesAndSetsTheChooserDefaults) {
    GtkWidget *menu = app_state.menu_window;
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(gtk_widget_get_visible(menu));
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(menu)), "TarvikMenu");
    EXPECT_FALSE(gtk_window_get_deletable(GTK_WINDOW(menu)));
    const struct {
        int id, width, height;
    } pictures[] = {{menu_mesh_picture, 64, 48},
                    {menu_animation_picture, 64, 48},
                    {menu_exit_picture, 64, 48},
                    {menu_screenshot_picture, 28, 28}};
    for (const auto &p : pictures) {
        GdkPixbuf *pixbuf = picture_of(p.id);
        ASSERT_NE(pixbuf, nullptr) << p.id;
        EXPECT_EQ(gdk_pixbuf_get_width(pixbuf), p.width) << p.id;
        EXPECT_EQ(gdk_pixbuf_get_height(pixbuf), p.height) << p.id;
    }
    GtkWidget *background = get_dlg_item(menu, menu_background_button);
    ASSERT_NE(background, nullptr);
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(background)), "_Background");
    EXPECT_TRUE(gtk_button_get_use_underline(GTK_BUTTON(background)));
    GtkWidget *field = get_dlg_item(menu, menu_background_field);
    ASSERT_TRUE(field && GTK_IS_ENTRY(field));
    EXPECT_FALSE(gtk_editable_get_editable(GTK_EDITABLE(field)));

    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    for (const std::string *dir : {&app_state.mesh_directory, &app_state.animation_directory,
                                   &app_state.texture_directory, &app_state.screenshot_directory})
        EXPECT_EQ(*dir, cwd);
    EXPECT_EQ(app_state.background_directory, "");
    EXPECT_EQ(app_state.mesh_filter_index, 1u);
    EXPECT_EQ(app_state.screenshot_filter_index, 1u);
    EXPECT_NE(app_state.instance_handle, nullptr);
}

TEST_F(ToolWindows, MenuWindowIsTransientForTheOpenGLWindowAndCannotBeClosed) {
    GtkWidget *menu = app_state.menu_window;
    ASSERT_NE(menu, nullptr);
    Display *display = window_sdl_wm_info(app_state.window)->info.x11.display;
    Window transient_for = 0;
    ASSERT_TRUE(XGetTransientForHint(GDK_WINDOW_XDISPLAY(gtk_widget_get_window(menu)),
                                     GDK_WINDOW_XID(gtk_widget_get_window(menu)), &transient_for));
    EXPECT_EQ(transient_for, window_sdl_wm_info(app_state.window)->info.x11.wmwindow);
    (void)display;
    close_window(menu);
    EXPECT_EQ(app_state.menu_window, menu);
    EXPECT_TRUE(gtk_widget_get_visible(menu));
}

TEST_F(ToolWindows, ProgramIconIsOnTheOpenGLWindow) {
    Display *display = window_sdl_wm_info(app_state.window)->info.x11.display;
    Atom icon = XInternAtom(display, "_NET_WM_ICON", True);
    ASSERT_NE(icon, static_cast<Atom>(None));
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    ASSERT_EQ(XGetWindowProperty(display, window_sdl_wm_info(app_state.window)->info.x11.wmwindow,
                                 icon, 0, 4096, False, XA_CARDINAL, &type, &format, &count, &after,
                                 &data),
              Success);
    ASSERT_NE(data, nullptr);
    const unsigned long *values = reinterpret_cast<const unsigned long *>(data);
    ASSERT_GE(count, 2u);
    EXPECT_EQ(values[0], 32u);
    EXPECT_EQ(values[1], 32u);
    EXPECT_EQ(count, 2u + 32u * 32u);
    // Corners are transparent, the middle is not (Xlib hands 32-bit items back sign-extended).
    EXPECT_EQ((values[2] & 0xFFFFFFFFu) >> 24, 0u);
    EXPECT_EQ((values[2 + 16 * 32 + 16] & 0xFFFFFFFFu) >> 24, 255u);
    XFree(data);
}

TEST_F(ToolWindows, MeshPictureTwiceGivesOneWindowAndResetsTheCameraEachTime) {
    app_state.camera_orientation[0] = 0.5f;
    app_state.camera_orientation[3] = 0.5f;
    press_picture(app_state.menu_window, menu_mesh_picture);
    GtkWidget *first = app_state.mesh_window;
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(first)), "TarvikMesh");
    EXPECT_EQ(app_state.camera_orientation[0], 0.0f);
    EXPECT_EQ(app_state.camera_orientation[3], 1.0f);

    app_state.camera_orientation[1] = 0.7f;
    testing::internal::CaptureStderr();
    press_picture(app_state.menu_window, menu_mesh_picture);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(app_state.mesh_window, first);
    EXPECT_EQ(app_state.camera_orientation[1], 0.0f);
    int mesh_windows = 0;
    GList *toplevels = gtk_window_list_toplevels();
    for (GList *w = toplevels; w; w = w->next)
        if (g_strcmp0(gtk_window_get_title(GTK_WINDOW(w->data)), "TarvikMesh") == 0) mesh_windows++;
    g_list_free(toplevels);
    EXPECT_EQ(mesh_windows, 1);

    close_window(first);
    EXPECT_EQ(app_state.mesh_window, nullptr);
    press_picture(app_state.menu_window, menu_mesh_picture);
    EXPECT_NE(app_state.mesh_window, nullptr);
}

TEST_F(ToolWindows, EachCheckBoxFlipsItsFlagAndShowsIt) {
    press_picture(app_state.menu_window, menu_mesh_picture);
    GtkWidget *mesh = app_state.mesh_window;
    ASSERT_NE(mesh, nullptr);
    struct row {
        int id;
        int32_t *flag;
    };
    const row rows[] = {{mesh_bones_box, &app_state.show_bones},
                        {mesh_mesh_box, &app_state.show_mesh},
                        {mesh_textures_box, &app_state.show_textures},
                        {mesh_normals_box, &app_state.show_normals},
                        {mesh_hit_detection_box, &app_state.show_hit_detection},
                        {mesh_line_smoothing_box, &app_state.line_smoothing},
                        {mesh_background_box, &app_state.show_background}};
    for (const row &r : rows) {
        int32_t before = *r.flag != 0;
        EXPECT_EQ(is_dlg_button_checked(mesh, r.id), before) << r.id;
        press_button(mesh, r.id);
        EXPECT_EQ(*r.flag != 0, !before) << r.id;
        EXPECT_EQ(is_dlg_button_checked(mesh, r.id), !before) << r.id;
        press_button(mesh, r.id);
        EXPECT_EQ(*r.flag != 0, before) << r.id;
        EXPECT_EQ(is_dlg_button_checked(mesh, r.id), before) << r.id;
    }
}

TEST_F(ToolWindows, TexturesBoxTurnsTexturesAndWhiteMaterialsOffTogether) {
    press_picture(app_state.menu_window, menu_mesh_picture);
    app_state.show_textures = 1;
    app_state.white_materials = 1;
    sync_mesh_checkboxes();
    press_button(app_state.mesh_window, mesh_textures_box);
    EXPECT_EQ(app_state.show_textures, 0);
    EXPECT_EQ(app_state.white_materials, 0);
    EXPECT_FALSE(is_dlg_button_checked(app_state.mesh_window, mesh_textures_box));
}

TEST_F(ToolWindows, WireBoxSwitchesThePrimitive) {
    press_picture(app_state.menu_window, menu_mesh_picture);
    app_state.mesh_primitive = GL_TRIANGLES;
    sync_mesh_checkboxes();
    press_button(app_state.mesh_window, mesh_wireframe_box);
    EXPECT_EQ(app_state.mesh_primitive, static_cast<uint32_t>(GL_LINE_STRIP));
    EXPECT_TRUE(is_dlg_button_checked(app_state.mesh_window, mesh_wireframe_box));
    press_button(app_state.mesh_window, mesh_wireframe_box);
    EXPECT_EQ(app_state.mesh_primitive, static_cast<uint32_t>(GL_TRIANGLES));
    EXPECT_FALSE(is_dlg_button_checked(app_state.mesh_window, mesh_wireframe_box));
}

TEST_F(ToolWindows, ToggleFromTheKeyboardFlipsOnceAndMovesTheBox) {
    press_picture(app_state.menu_window, menu_mesh_picture);
    int32_t before = app_state.show_normals;
    toggle_normals();
    settle();
    EXPECT_EQ(app_state.show_normals, !before);
    EXPECT_EQ(is_dlg_button_checked(app_state.mesh_window, mesh_normals_box), !before);
    toggle_normals();
    settle();
    EXPECT_EQ(app_state.show_normals, before);
}

TEST_F(ToolWindows, TogglesSetTheirOpenGLState) {
    app_state.show_hit_detection = 0;
    toggle_hit_detection();
    EXPECT_EQ(app_state.show_hit_detection, 1);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    toggle_hit_detection();
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));

    int32_t smoothing = app_state.line_smoothing;
    toggle_line_smoothing();
    EXPECT_EQ(glIsEnabled(GL_LINE_SMOOTH) != 0, !smoothing);
    toggle_line_smoothing();

    int32_t culling = app_state.cull_back_faces;
    toggle_culling();
    EXPECT_EQ(app_state.cull_back_faces != 0, !culling);
    EXPECT_EQ(glIsEnabled(GL_CULL_FACE) != 0, !culling);
    toggle_culling();
    EXPECT_EQ(glIsEnabled(GL_CULL_FACE) != 0, culling != 0);
}

TEST_F(ToolWindows, RemoveReleasesTheMeshAndEmptiesTheFields) {
    press_picture(app_state.menu_window, menu_mesh_picture);
    GtkWidget *mesh = app_state.mesh_window;
    app_state.mesh = make_boned_mesh(2);
    tka_animation *animation = app_state.animation;
    for (int id : {mesh_name_field, mesh_triangles_field, mesh_bones_field, mesh_class_field})
        set_dlg_item_text(mesh, id, "something");
    press_button(mesh, mesh_remove_button);
    EXPECT_EQ(app_state.mesh, nullptr);
    EXPECT_EQ(app_state.animation, animation);
    for (int id : {mesh_name_field, mesh_triangles_field, mesh_bones_field, mesh_class_field})
        EXPECT_STREQ(get_dlg_item_text(mesh, id), "") << id;
    // Nothing to remove: still harmless.
    press_button(mesh, mesh_remove_button);
    EXPECT_EQ(app_state.mesh, nullptr);
}

TEST_F(ToolWindows, AnimationPictureOpensOneWindowWithItsControls) {
    press_picture(app_state.menu_window, menu_animation_picture);
    GtkWidget *window = app_state.animation_window;
    ASSERT_NE(window, nullptr);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)), "TarvikAnimation");
    press_picture(app_state.menu_window, menu_animation_picture);
    EXPECT_EQ(app_state.animation_window, window);
    int32_t paused = app_state.animation_paused;
    press_button(window, animation_play_button);
    EXPECT_EQ(app_state.animation_paused, !paused);
    press_button(window, animation_play_button);
    EXPECT_EQ(app_state.animation_paused, paused);
    close_window(window);
    EXPECT_EQ(app_state.animation_window, nullptr);
}

TEST_F(ToolWindows, ResetWithoutAMeshDoesNothing) {
    press_picture(app_state.menu_window, menu_animation_picture);
    GtkWidget *window = app_state.animation_window;
    tkm_mesh *kept_mesh = app_state.mesh;
    app_state.mesh = nullptr;
    tka_animation *animation = create_animation();
    app_state.animation = animation;
    app_state.current_frame = 3;
    set_dlg_item_text(window, animation_name_field, "walk.tka");
    press_button(window, animation_reset_button);
    EXPECT_EQ(app_state.animation, animation);
    EXPECT_EQ(app_state.current_frame, 3);
    EXPECT_STREQ(get_dlg_item_text(window, animation_name_field), "walk.tka");
    release_animation(animation);
    app_state.animation = nullptr;
    app_state.current_frame = 0;
    app_state.mesh = kept_mesh;
}

TEST_F(ToolWindows, ResetWithAMeshDropsTheAnimationForTheRestPose) {
    press_picture(app_state.menu_window, menu_animation_picture);
    GtkWidget *window = app_state.animation_window;
    app_state.mesh = make_boned_mesh(3);
    tka_animation *loaded = create_animation();
    app_state.animation = loaded;
    app_state.rest_pose_animation = 0;
    app_state.current_frame = 4;
    set_dlg_item_text(window, animation_name_field, "walk.tka");
    set_dlg_item_text(window, animation_frames_field, "12");
    set_dlg_item_text(window, animation_current_frame_field, "5");
    press_button(window, animation_reset_button);
    ASSERT_NE(app_state.animation, nullptr);
    EXPECT_NE(app_state.animation, loaded);
    EXPECT_EQ(app_state.animation->num_frames, 1);
    EXPECT_EQ(app_state.animation->num_bones, 3);
    EXPECT_EQ(app_state.rest_pose_animation, 1);
    EXPECT_EQ(app_state.current_frame, 0);
    for (int id : {animation_name_field, animation_frames_field, animation_current_frame_field})
        EXPECT_STREQ(get_dlg_item_text(window, id), "") << id;

    release_animation(app_state.animation);
    app_state.animation = nullptr;
    release_mesh(app_state.mesh);
    app_state.mesh = nullptr;
}

TEST_F(ToolWindows, TexturesButtonOpensOneTexturesWindowThatGoesWithTheMeshWindow) {
    press_picture(app_state.menu_window, menu_mesh_picture);
    GtkWidget *mesh = app_state.mesh_window;
    press_button(mesh, mesh_textures_button);
    GtkWidget *textures = app_state.textures_window;
    ASSERT_NE(textures, nullptr);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(textures)), "TarvikTextures");
    EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(textures)), GTK_WINDOW(mesh));
    EXPECT_EQ(open_textures_window(mesh), 0);
    EXPECT_EQ(app_state.textures_window, textures);

    close_window(mesh);
    EXPECT_EQ(app_state.mesh_window, nullptr);
    EXPECT_EQ(app_state.textures_window, nullptr);
    // Without a parent (the t key) it opens again.
    EXPECT_EQ(open_textures_window(nullptr), 1);
    EXPECT_NE(app_state.textures_window, nullptr);
}

TEST_F(ToolWindows, MovingAToolWindowDrawsAFrameAtOnce) {
    // A frame outside the animation is put back to 0 by the drawing: the sign that it drew.
    app_state.mesh = make_boned_mesh(1);
    tka_animation *rest = create_animation();
    ASSERT_EQ(build_rest_pose(app_state.mesh, rest), 0);
    app_state.animation = rest;
    app_state.current_frame = 7;
    settle();
    ASSERT_EQ(app_state.current_frame, 7); // nothing draws while the windows sit still

    int x = 0, y = 0;
    gtk_window_get_position(GTK_WINDOW(app_state.menu_window), &x, &y);
    testing::internal::CaptureStdout();
    gtk_window_move(GTK_WINDOW(app_state.menu_window), x + 40, y + 30);
    for (int i = 0; i < 50 && app_state.current_frame != 0; i++)
        settle();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(app_state.current_frame, 0);
    EXPECT_NE(out.find("PANIC! trying to draw"), std::string::npos) << out;

    release_animation(app_state.animation);
    app_state.animation = nullptr;
    release_mesh(app_state.mesh);
    app_state.mesh = nullptr;
}

struct seen_box {
    std::string title, text;
    GtkMessageType type = GTK_MESSAGE_OTHER;
    int found = 0;
};
seen_box seen;

gboolean answer_message_box(gpointer) {
    GList *toplevels = gtk_window_list_toplevels();
    GtkWidget *box = nullptr;
    for (GList *w = toplevels; w; w = w->next)
        if (GTK_IS_MESSAGE_DIALOG(w->data) && gtk_widget_get_mapped(GTK_WIDGET(w->data)))
            box = GTK_WIDGET(w->data);
    g_list_free(toplevels);
    if (!box) return G_SOURCE_CONTINUE;
    seen.found = 1;
    seen.title = gtk_window_get_title(GTK_WINDOW(box));
    gchar *text = nullptr;
    g_object_get(box, "text", &text, "message-type", &seen.type, nullptr);
    seen.text = text ? text : "";
    g_free(text);
    gtk_dialog_response(GTK_DIALOG(box), GTK_RESPONSE_OK);
    return G_SOURCE_REMOVE;
}

TEST_F(ToolWindows, MessageBoxShowsTextAndTitleUntilAnswered) {
    seen = seen_box{};
    g_timeout_add(20, answer_message_box, nullptr);
    show_message_box("Error code: 7!", "Failed to write TKM");
    EXPECT_EQ(seen.found, 1);
    EXPECT_EQ(seen.title, "Failed to write TKM");
    EXPECT_EQ(seen.text, "Error code: 7!");
    EXPECT_EQ(seen.type, GTK_MESSAGE_WARNING);
}

TEST_F(ToolWindows, MessageBoxGivesWayToAQuit) {
    // As a SIGINT arriving while the notice waits: the program must be able to end in order.
    g_timeout_add(
        50,
        [](gpointer) -> gboolean {
            app_state.quit_requested = 1;
            return G_SOURCE_REMOVE;
        },
        nullptr);
    show_message_box("Error code: 7!", "Failed to write TKM");
    EXPECT_EQ(app_state.quit_requested, 1);
    settle();
    GList *toplevels = gtk_window_list_toplevels();
    for (GList *w = toplevels; w; w = w->next)
        EXPECT_FALSE(GTK_IS_MESSAGE_DIALOG(w->data)) << "the notice was left behind";
    g_list_free(toplevels);
    app_state.quit_requested = 0;
}

std::string hooked_text, hooked_caption;
void record_box(const char *text, const char *caption) {
    hooked_text = text;
    hooked_caption = caption;
}

TEST_F(ToolWindows, MessageBoxSeamAnswersInsteadOfTheNotice) {
    set_message_box_hook(record_box);
    show_message_box("Error code: 3!", "Failed to write TKM");
    set_message_box_hook(nullptr);
    EXPECT_EQ(hooked_text, "Error code: 3!");
    EXPECT_EQ(hooked_caption, "Failed to write TKM");
}

gboolean press_exit_later(gpointer) {
    press_picture(app_state.menu_window, menu_exit_picture);
    return G_SOURCE_REMOVE;
}

TEST_F(ToolWindows, ExitPictureEndsTheMainLoop) {
    app_state.quit_requested = 0;
    g_timeout_add(50, press_exit_later, nullptr);
    run_main_loop(); // returns only once the loop has ended
    EXPECT_EQ(app_state.quit_requested, 1);
    app_state.quit_requested = 0;
}

} // namespace
