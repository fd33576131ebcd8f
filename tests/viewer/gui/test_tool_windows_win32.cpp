// SPDX-License-Identifier: MIT
// The tool windows on Windows, for real (under Wine on a display of their own): every window and
// control against its template (caption, class, text, style and rectangle in dialog units through
// MapDialogRect), the menu's pictures where they belong, and mouse clicks through the system's
// input on the pictures, check boxes and buttons, seen in app_state and in the OpenGL picture.
// Runs in the samples' folder with the officer, the walk and the background.
//
// Index: templates | set-up | helpers | the windows as built | what the controls do
#include <gtest/gtest.h>

#include <windows.h>

#include <GL/gl.h>

#include <string>
#include <vector>

#include "viewer/anim/animation.h"
#include "viewer/app/app_state.h"
#include "viewer/app/commands.h"
#include "viewer/app/layer_wiring.h"
#include "viewer/app/startup.h"
#include "viewer/gui/textures_window.h"
#include "viewer/gui/tool_windows.h"
#include "viewer/mesh/mesh.h"
#include "viewer/render/background.h"
#include "viewer/render/draw.h"
#include "viewer/render/gl_window.h"
#include "viewer/textures/image_loading.h"
#include "viewer/window/window.h"
#include "viewer/files/wide_text_win32.h"

namespace {

// ---- templates: the windows as their definition gives them, in dialog units

enum expected_kind { picture_control, push_button, check_box, label, edit, list_box };

struct expected_control {
    int id; // -1: a label found by its text
    expected_kind kind;
    const char *text;
    int x, y, width, height;
};

struct expected_window {
    const char *caption;
    int width, height;
    bool close_box;
    std::vector<expected_control> controls;
};

const expected_window menu_template = {"TarvikMenu",
                                       161,
                                       71,
                                       false,
                                       {{1014, picture_control, "", 7, 10, 48, 34},
                                        {1013, picture_control, "", 58, 10, 48, 34},
                                        {1000, picture_control, "", 108, 10, 48, 34},
                                        {1003, push_button, "&Background", 7, 47, 47, 17},
                                        {1010, edit, "", 58, 47, 74, 17},
                                        {1031, picture_control, "", 135, 47, 21, 20}}};

const expected_window mesh_template = {"TarvikMesh",
                                       210,
                                       87,
                                       true,
                                       {{-1, label, "Mesh: ", 7, 7, 36, 8},
                                        {1007, label, "", 44, 7, 148, 8},
                                        {-1, label, "Polygons:", 7, 17, 32, 8},
                                        {1017, label, "", 44, 17, 17, 8},
                                        {-1, label, "Bones:", 69, 17, 23, 8},
                                        {1018, label, "", 95, 17, 17, 8},
                                        {-1, label, "Class:", 117, 17, 20, 8},
                                        {1019, label, "", 142, 17, 50, 8},
                                        {1001, push_button, "Load", 7, 32, 45, 18},
                                        {1003, push_button, "Save", 57, 32, 45, 18},
                                        {1006, push_button, "Remove", 107, 32, 45, 18},
                                        {1004, push_button, "Textures", 157, 32, 45, 18},
                                        {1021, check_box, "Bones", 7, 56, 36, 10},
                                        {1022, check_box, "Mesh", 61, 56, 33, 10},
                                        {1023, check_box, "Textures", 108, 56, 43, 10},
                                        {1028, check_box, "Normals", 158, 56, 43, 10},
                                        {1024, check_box, "Hit detect", 7, 70, 47, 10},
                                        {1026, check_box, "Wire", 61, 70, 42, 10},
                                        {1027, check_box, "AA", 108, 70, 25, 10},
                                        {1029, check_box, "Background", 158, 70, 55, 10}}};

const expected_window animation_template = {"TarvikAnimation",
                                            160,
                                            57,
                                            true,
                                            {{-1, label, "Animation: ", 7, 7, 36, 8},
                                             {1008, label, "", 43, 7, 110, 8},
                                             {-1, label, "Frames:", 7, 17, 26, 8},
                                             {1016, label, "", 43, 17, 17, 8},
                                             {-1, label, "Current frame:", 65, 17, 45, 8},
                                             {1017, label, "", 115, 17, 17, 8},
                                             {1002, push_button, "Load", 7, 32, 36, 18},
                                             {1003, push_button, "Reset", 47, 32, 36, 18},
                                             {1024, push_button, "Play", 89, 32, 24, 18},
                                             {1022, push_button, "<", 117, 32, 16, 18},
                                             {1023, push_button, ">", 137, 32, 16, 18}}};

const expected_window textures_template = {
    "TarvikTextures",
    179,
    181,
    true,
    {{-1, label, "Current mesh:", 7, 7, 44, 8},
     {1005, push_button, "&Reload textures", 7, 18, 79, 17},
     {1008, push_button, "Show only &selected", 93, 18, 79, 17},
     {-1, label, "Select textures to replace:", 7, 41, 83, 8},
     {1004, list_box, "", 7, 52, 165, 67},
     {-1, label, "Selected textures will be replaced with this file:", 7, 125, 146, 8},
     {1012, edit, "", 7, 137, 165, 13},
     {1006, push_button, "&Browse for texture", 7, 157, 79, 17},
     {1007, push_button, "Replace textures", 93, 157, 79, 17}}};

// ---- set-up

HWND hwnd(native_window window) {
    return static_cast<HWND>(window);
}

HWND gl_hwnd() {
    return reinterpret_cast<HWND>(window_owner_handle(app_state.window));
}

// Runs the viewer's loop for a while: the windows' messages, the OpenGL window's events and the
// animation timer's ticks.
void pump(int milliseconds = 150) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(milliseconds);
    do {
        handle_pending_events();
        service_animation_timer();
        Sleep(5);
    } while (static_cast<LONG>(end - GetTickCount()) > 0);
}

void place(native_window window, int x, int y) {
    SetWindowPos(hwnd(window), HWND_TOP, x, y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    pump(50);
}

// Where the OpenGL window and the menu were when the menu opened.
RECT view_at_start{}, menu_at_start{};

// The OpenGL window, the tool windows and the scene once per process, as start-up makes them.
int start_viewer() {
    static int started = -1;
    if (started >= 0) return started;
    started = 0;
    if (window_system_init() != window_ok) return 0;
    app_state.window = create_gl_window(app_state.window_width, app_state.window_height);
    if (!app_state.window) return 0;
    init_image_loading();
    wire_viewer_layers();
    create_tool_windows();
    start_animation_timer();
    if (!app_state.menu_window) return 0;
    if (load_mesh_file("SWT_Officer.tkm", 0) != 0 || load_animation_file("SWT_Walk.tka", 0) != 0)
        return 0;
    if (load_background("background.bmp") != 0) return 0;
    app_state.show_background = 0;
    GetWindowRect(gl_hwnd(), &view_at_start);
    GetWindowRect(hwnd(app_state.menu_window), &menu_at_start);
    // Apart, so that a click lands on the window meant.
    SetWindowPos(gl_hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE);
    place(app_state.menu_window, 700, 0);
    started = 1;
    return started;
}

class ToolWindowsWin32 : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(start_viewer()) << "the viewer's windows did not start"; }
};

// ---- helpers

std::string text_of(HWND window) {
    wchar_t text[256] = L"";
    GetWindowTextW(window, text, static_cast<int>(std::size(text)));
    return utf8_text(text);
}

std::wstring class_of(HWND window) {
    wchar_t name[64] = L"";
    GetClassNameW(window, name, static_cast<int>(std::size(name)));
    return name;
}

// The rectangle of units x, y, width, height in the dialog's pixels, as the dialog manager places
// a control: its position and its size each mapped on their own.
RECT dialog_rect(HWND dialog, int x, int y, int width, int height) {
    RECT units{x, y, width, height};
    MapDialogRect(dialog, &units);
    return {units.left, units.top, units.left + units.right, units.top + units.bottom};
}

// The control's rectangle in the dialog's client co-ordinates.
RECT client_rect_of(HWND dialog, HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT *>(&rect), 2);
    return rect;
}

// A left click through the system's input at the centre of window (or the point given in it).
void click(HWND window, int x = -1, int y = -1) {
    RECT rect;
    GetWindowRect(window, &rect);
    POINT at{x < 0 ? (rect.left + rect.right) / 2 : rect.left + x,
             y < 0 ? (rect.top + rect.bottom) / 2 : rect.top + y};
    SetCursorPos(at.x, at.y);
    pump(30);
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_MOUSE;
    input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, input, sizeof(INPUT));
    pump();
}

void click_control(native_window window, int id) {
    HWND control = GetDlgItem(hwnd(window), id);
    ASSERT_NE(control, nullptr) << "control " << id;
    click(control);
}

// The OpenGL view as the next frame draws it.
std::vector<uint8_t> picture() {
    draw_scene();
    std::vector<uint8_t> pixels(static_cast<size_t>(app_state.window_width) *
                                app_state.window_height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, app_state.window_width, app_state.window_height, GL_RGB, GL_UNSIGNED_BYTE,
                 pixels.data());
    return pixels;
}

size_t differing(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b) {
    size_t count = 0;
    for (size_t i = 0; i + 2 < a.size() && i + 2 < b.size(); i += 3)
        if (a[i] != b[i] || a[i + 1] != b[i + 1] || a[i + 2] != b[i + 2]) count++;
    return count;
}

// Top-level windows of this process with the caption.
int windows_captioned(const char *caption) {
    struct search {
        std::wstring caption;
        int found;
    } state{wide_text(caption), 0};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM data) -> BOOL {
            auto *s = reinterpret_cast<search *>(data);
            wchar_t text[64] = L"";
            GetWindowTextW(window, text, 64);
            if (IsWindow(window) && s->caption == text) s->found++;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&state));
    return state.found;
}

void open_mesh_and_animation_windows() {
    if (!app_state.mesh_window) click_control(app_state.menu_window, 1014);
    ASSERT_TRUE(app_state.mesh_window);
    place(app_state.mesh_window, 700, 150);
    if (!app_state.animation_window) click_control(app_state.menu_window, 1013);
    ASSERT_TRUE(app_state.animation_window);
    place(app_state.animation_window, 700, 330);
}

// The label of dialog whose text is text, or null.
HWND label_with_text(HWND dialog, const char *text) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (class_of(child) == L"Static" && text_of(child) == text) return child;
    return nullptr;
}

void check_against_template(HWND dialog, const expected_window &expected) {
    ASSERT_NE(dialog, nullptr) << expected.caption;
    EXPECT_EQ(text_of(dialog), expected.caption);
    const LONG style = GetWindowLongW(dialog, GWL_STYLE);
    EXPECT_TRUE(style & WS_POPUP) << expected.caption;
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION) << expected.caption;
    EXPECT_EQ((style & WS_SYSMENU) != 0, expected.close_box) << expected.caption;
    RECT client;
    GetClientRect(dialog, &client);
    const RECT size = dialog_rect(dialog, 0, 0, expected.width, expected.height);
    EXPECT_EQ(client.right, size.right) << expected.caption;
    EXPECT_EQ(client.bottom, size.bottom) << expected.caption;
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_EQ(utf8_text(font.lfFaceName), "MS Sans Serif") << expected.caption;

    for (const expected_control &c : expected.controls) {
        SCOPED_TRACE(std::string(expected.caption) + " control " + std::to_string(c.id) + " " +
                     c.text);
        HWND control = c.id < 0 ? label_with_text(dialog, c.text) : GetDlgItem(dialog, c.id);
        ASSERT_NE(control, nullptr);
        const LONG control_style = GetWindowLongW(control, GWL_STYLE);
        EXPECT_TRUE(control_style & WS_CHILD);
        EXPECT_TRUE(control_style & WS_VISIBLE);
        // The fields (labels with an id) show what is loaded by now.
        if (c.kind != label || c.id < 0) {
            EXPECT_EQ(text_of(control), c.text);
        }
        switch (c.kind) {
        case picture_control:
            EXPECT_EQ(class_of(control), L"Static");
            EXPECT_TRUE(control_style & SS_NOTIFY) << "a picture must report its clicks";
            break;
        case push_button:
            EXPECT_EQ(class_of(control), L"Button");
            EXPECT_EQ(control_style & BS_TYPEMASK, BS_PUSHBUTTON);
            break;
        case check_box:
            EXPECT_EQ(class_of(control), L"Button");
            EXPECT_EQ(control_style & BS_TYPEMASK, BS_AUTOCHECKBOX);
            break;
        case label:
            EXPECT_EQ(class_of(control), L"Static");
            break;
        case edit:
            EXPECT_EQ(class_of(control), L"Edit");
            EXPECT_TRUE(control_style & ES_READONLY);
            break;
        case list_box:
            EXPECT_EQ(class_of(control), L"ListBox");
            EXPECT_TRUE(control_style & (LBS_EXTENDEDSEL | LBS_MULTIPLESEL));
            EXPECT_FALSE(control_style & LBS_SORT);
            // The scroll bar shows once the lines outgrow the box.
            for (int i = 0; i < 30; i++)
                SendMessageW(control, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"line"));
            EXPECT_TRUE(GetWindowLongW(control, GWL_STYLE) & WS_VSCROLL);
            gui_generate_textures_list(app_state.mesh, 0, nullptr);
            break;
        }
        const RECT want = dialog_rect(dialog, c.x, c.y, c.width, c.height);
        const RECT got = client_rect_of(dialog, control);
        EXPECT_EQ(got.left, want.left);
        EXPECT_EQ(got.top, want.top);
        EXPECT_EQ(got.right, want.right);
        EXPECT_EQ(got.bottom, want.bottom);
    }
}

// ---- the windows as built

TEST_F(ToolWindowsWin32, EachWindowIsItsTemplate) {
    open_mesh_and_animation_windows();
    click_control(app_state.mesh_window, 1004);
    ASSERT_TRUE(app_state.textures_window);
    place(app_state.textures_window, 0, 540);
    check_against_template(hwnd(app_state.menu_window), menu_template);
    check_against_template(hwnd(app_state.mesh_window), mesh_template);
    check_against_template(hwnd(app_state.animation_window), animation_template);
    check_against_template(hwnd(app_state.textures_window), textures_template);
    // The menu belongs to the OpenGL window, the textures window to the mesh window it came from.
    EXPECT_EQ(GetWindow(hwnd(app_state.menu_window), GW_OWNER), gl_hwnd());
    EXPECT_EQ(GetWindow(hwnd(app_state.mesh_window), GW_OWNER), hwnd(app_state.menu_window));
    EXPECT_EQ(GetWindow(hwnd(app_state.textures_window), GW_OWNER), hwnd(app_state.mesh_window));
}

TEST_F(ToolWindowsWin32, MenuPicturesAreDrawnUnscaledAtTheirControls) {
    HWND menu = hwnd(app_state.menu_window);
    RedrawWindow(menu, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    pump(100);
    const struct {
        int control, resource, width, height;
    } pictures[] = {
        {1014, 111, 64, 48}, {1013, 110, 64, 48}, {1000, 114, 64, 48}, {1031, 126, 28, 28}};
    HDC screen = GetDC(menu);
    HDC memory = CreateCompatibleDC(screen);
    for (const auto &p : pictures) {
        SCOPED_TRACE("picture " + std::to_string(p.resource));
        HBITMAP bitmap = LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(p.resource));
        ASSERT_NE(bitmap, nullptr);
        BITMAP info{};
        GetObjectW(bitmap, sizeof info, &info);
        EXPECT_EQ(info.bmWidth, p.width);
        EXPECT_EQ(info.bmHeight, p.height);
        HGDIOBJ old = SelectObject(memory, bitmap);
        const RECT at = client_rect_of(menu, GetDlgItem(menu, p.control));
        // The corners and a point inside: the picture's own pixels, where its control starts.
        const POINT points[] = {{0, 0},
                                {p.width - 1, 0},
                                {0, p.height - 1},
                                {p.width - 1, p.height - 1},
                                {p.width / 2, p.height / 3}};
        int same = 0;
        for (const POINT &point : points)
            same += GetPixel(screen, at.left + point.x, at.top + point.y) ==
                    GetPixel(memory, point.x, point.y);
        EXPECT_EQ(same, static_cast<int>(std::size(points)));
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(menu, screen);
}

TEST_F(ToolWindowsWin32, ProgramIconIsTheOpenGLWindowsClassIcon) {
    HICON icon = reinterpret_cast<HICON>(GetClassLongPtrW(gl_hwnd(), GCLP_HICON));
    ASSERT_NE(icon, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP colour{};
    GetObjectW(info.hbmColor, sizeof colour, &colour);
    EXPECT_EQ(colour.bmWidth, 32); // the program's artwork, not the system's default
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
}

bool overlap(HWND a, HWND b) {
    RECT ra, rb, common;
    GetWindowRect(a, &ra);
    GetWindowRect(b, &rb);
    return IntersectRect(&common, &ra, &rb);
}

// A dialog starts at its owner's corner: over the view, and over the window it was opened from.
TEST_F(ToolWindowsWin32, NewWindowsStartBesideTheViewAndBelowOneAnother) {
    RECT common;
    EXPECT_FALSE(IntersectRect(&common, &view_at_start, &menu_at_start))
        << "the menu started over the OpenGL window";
    for (native_window *open :
         {&app_state.textures_window, &app_state.mesh_window, &app_state.animation_window})
        if (*open) SendMessageW(hwnd(*open), WM_SYSCOMMAND, SC_CLOSE, 0);
    pump();
    click_control(app_state.menu_window, 1014);
    ASSERT_TRUE(app_state.mesh_window);
    click_control(app_state.menu_window, 1013);
    ASSERT_TRUE(app_state.animation_window);
    click_control(app_state.mesh_window, 1004);
    ASSERT_TRUE(app_state.textures_window);
    const HWND windows[] = {hwnd(app_state.menu_window), hwnd(app_state.mesh_window),
                            hwnd(app_state.animation_window), hwnd(app_state.textures_window)};
    for (size_t i = 0; i < std::size(windows); i++)
        for (size_t j = i + 1; j < std::size(windows); j++)
            EXPECT_FALSE(overlap(windows[i], windows[j]))
                << text_of(windows[i]) << " and " << text_of(windows[j]) << " overlap";
}

// ---- what the controls do

TEST_F(ToolWindowsWin32, MeshPictureTwiceGivesOneWindowAndResetsTheCameraEachTime) {
    open_mesh_and_animation_windows();
    for (int round = 0; round < 2; round++) {
        app_state.camera_orientation[0] = 0.5f;
        click_control(app_state.menu_window, 1014);
        EXPECT_EQ(app_state.camera_orientation[0], 0.0f) << round;
        EXPECT_EQ(app_state.camera_orientation[3], 1.0f) << round;
        EXPECT_EQ(windows_captioned("TarvikMesh"), 1) << round;
    }
    click_control(app_state.menu_window, 1013);
    EXPECT_EQ(windows_captioned("TarvikAnimation"), 1);
    // The mesh window shows the officer as loaded.
    HWND mesh = hwnd(app_state.mesh_window);
    EXPECT_EQ(text_of(GetDlgItem(mesh, 1007)), "SWT_Officer.tkm");
    EXPECT_EQ(text_of(GetDlgItem(mesh, 1017)), "216");
    EXPECT_EQ(text_of(GetDlgItem(mesh, 1018)), "52");
    EXPECT_EQ(text_of(GetDlgItem(mesh, 1019)), "officer");
}

// Every check box flips its flag, shows it, and changes the picture; a second click puts both
// back. AA smooths lines, so it is tried in the wire view.
TEST_F(ToolWindowsWin32, EachCheckBoxTogglesItsFlagAndThePicture) {
    open_mesh_and_animation_windows();
    HWND mesh = hwnd(app_state.mesh_window);
    app_state.animation_paused = 1;
    const struct {
        int id;
        int (*flag)();
        int needs; // a box to check first, or 0
    } boxes[] = {
        {1021, [] { return static_cast<int>(app_state.show_bones); }, 0},
        {1022, [] { return static_cast<int>(app_state.show_mesh); }, 0},
        {1023, [] { return static_cast<int>(app_state.show_textures); }, 0},
        {1028, [] { return static_cast<int>(app_state.show_normals); }, 0},
        // The hit regions' colours show where no texture covers them.
        {1024, [] { return static_cast<int>(app_state.show_hit_detection); }, 1023},
        {1026, [] { return static_cast<int>(app_state.mesh_primitive == GL_LINE_STRIP); }, 0},
        {1027, [] { return static_cast<int>(app_state.line_smoothing); }, 1026},
        {1029, [] { return static_cast<int>(app_state.show_background); }, 0},
    };
    for (const auto &box : boxes) {
        SCOPED_TRACE("box " + std::to_string(box.id));
        if (box.needs) click_control(app_state.mesh_window, box.needs);
        const int before = box.flag();
        const std::vector<uint8_t> first = picture();
        click_control(app_state.mesh_window, box.id);
        EXPECT_EQ(box.flag(), !before);
        EXPECT_EQ(IsDlgButtonChecked(mesh, box.id) == BST_CHECKED, box.flag() != 0);
        EXPECT_GT(differing(first, picture()), 10u) << "the picture did not change";
        click_control(app_state.mesh_window, box.id);
        EXPECT_EQ(box.flag(), before);
        EXPECT_EQ(IsDlgButtonChecked(mesh, box.id) == BST_CHECKED, before != 0);
        EXPECT_EQ(differing(first, picture()), 0u) << "the picture did not come back";
        if (box.needs) click_control(app_state.mesh_window, box.needs);
    }
    // The textures box turns the textures and the white materials off together.
    const uint32_t textures = app_state.show_textures, white = app_state.white_materials;
    click_control(app_state.mesh_window, 1023);
    EXPECT_EQ(app_state.show_textures, !textures);
    EXPECT_EQ(app_state.white_materials, !white);
    click_control(app_state.mesh_window, 1023);
}

TEST_F(ToolWindowsWin32, PlayAndTheFrameStepsMoveTheFrameShown) {
    open_mesh_and_animation_windows();
    HWND animation = hwnd(app_state.animation_window);
    ASSERT_TRUE(app_state.animation);
    const int frames = static_cast<int>(app_state.animation->num_frames);
    ASSERT_GT(frames, 2);
    EXPECT_EQ(text_of(GetDlgItem(animation, 1008)), "SWT_Walk.tka");
    EXPECT_EQ(text_of(GetDlgItem(animation, 1016)), std::to_string(frames));
    app_state.animation_paused = 1;
    const uint32_t start = app_state.current_frame;
    const std::vector<uint8_t> first = picture();
    click_control(app_state.animation_window, 1023); // >
    EXPECT_EQ(app_state.current_frame, (start + 1) % frames);
    EXPECT_EQ(text_of(GetDlgItem(animation, 1017)), std::to_string(app_state.current_frame + 1));
    EXPECT_GT(differing(first, picture()), 0u) << "the next frame looks the same";
    click_control(app_state.animation_window, 1022); // <
    EXPECT_EQ(app_state.current_frame, start);
    EXPECT_EQ(text_of(GetDlgItem(animation, 1017)), std::to_string(start + 1));
    click_control(app_state.animation_window, 1022);
    EXPECT_EQ(app_state.current_frame, (start + frames - 1) % frames);

    click_control(app_state.animation_window, 1024); // Play
    EXPECT_EQ(app_state.animation_paused, 0u);
    const uint32_t playing_from = app_state.current_frame;
    pump(600); // the timer steps a frame every 100 ms
    EXPECT_NE(app_state.current_frame, playing_from);
    click_control(app_state.animation_window, 1024);
    EXPECT_EQ(app_state.animation_paused, 1u);
    const uint32_t stopped_at = app_state.current_frame;
    pump(300);
    EXPECT_EQ(app_state.current_frame, stopped_at);
    EXPECT_EQ(text_of(GetDlgItem(animation, 1017)), std::to_string(stopped_at + 1));
}

std::vector<std::string> list_lines(HWND list) {
    std::vector<std::string> lines;
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; i++) {
        std::wstring line(static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
        SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line.data()));
        lines.push_back(utf8_text(line.c_str()));
    }
    return lines;
}

TEST_F(ToolWindowsWin32, TexturesWindowListsTheOfficersTexturesAndReplacesOne) {
    open_mesh_and_animation_windows();
    if (!app_state.textures_window) click_control(app_state.mesh_window, 1004);
    ASSERT_TRUE(app_state.textures_window);
    place(app_state.textures_window, 0, 540);
    HWND textures = hwnd(app_state.textures_window);
    HWND list = GetDlgItem(textures, 1004);
    // The officer's two textures, in the model's order, both loaded ("  ").
    EXPECT_EQ(list_lines(list),
              (std::vector<std::string>{"  swat_uniform.bmp", "  swat_face.tga"}));

    // The face (the second line) takes the rifle's texture.
    RECT line;
    SendMessageW(list, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&line));
    click(list, (line.left + line.right) / 2, (line.top + line.bottom) / 2);
    EXPECT_EQ(SendMessageW(list, LB_GETSEL, 1, 0), 1);
    EXPECT_EQ(SendMessageW(list, LB_GETSEL, 0, 0), 0);
    SetDlgItemTextW(textures, 1012, L"swat_rifle.tga");
    const std::vector<uint8_t> before = picture();
    click_control(app_state.textures_window, 1007); // Replace textures
    EXPECT_EQ(list_lines(list),
              (std::vector<std::string>{"  swat_uniform.bmp", "  swat_rifle.tga"}));
    EXPECT_EQ(SendMessageW(list, LB_GETSEL, 1, 0), 1) << "the replaced line stays selected";
    EXPECT_GT(differing(before, picture()), 50u) << "the face did not change";
    EXPECT_STREQ(app_state.mesh->texture_names[1].path, "swat_rifle.tga");
}

TEST_F(ToolWindowsWin32, TabMovesTheFocusInsideAToolWindow) {
    open_mesh_and_animation_windows();
    HWND mesh = hwnd(app_state.mesh_window);
    SetForegroundWindow(mesh);
    SetFocus(GetDlgItem(mesh, 1001));
    pump(50);
    ASSERT_EQ(GetFocus(), GetDlgItem(mesh, 1001));
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = VK_TAB;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
    pump();
    EXPECT_EQ(GetFocus(), GetDlgItem(mesh, 1003)) << "Tab did not go from Load to Save";
}

TEST_F(ToolWindowsWin32, CloseBoxesEndTheirWindowsButNotTheMenu) {
    open_mesh_and_animation_windows();
    if (!app_state.textures_window) click_control(app_state.mesh_window, 1004);
    ASSERT_TRUE(app_state.textures_window);
    // The textures window goes with the mesh window it belongs to, and its handle with it.
    SendMessageW(hwnd(app_state.mesh_window), WM_SYSCOMMAND, SC_CLOSE, 0);
    pump();
    EXPECT_FALSE(app_state.mesh_window);
    EXPECT_FALSE(app_state.textures_window);
    EXPECT_EQ(windows_captioned("TarvikTextures"), 0);
    SendMessageW(hwnd(app_state.animation_window), WM_SYSCOMMAND, SC_CLOSE, 0);
    pump();
    EXPECT_FALSE(app_state.animation_window);
    SendMessageW(hwnd(app_state.menu_window), WM_CLOSE, 0, 0);
    pump();
    EXPECT_TRUE(app_state.menu_window);
    EXPECT_TRUE(IsWindowVisible(hwnd(app_state.menu_window)));
    // Opened again, each is a window of its own.
    open_mesh_and_animation_windows();
    EXPECT_EQ(windows_captioned("TarvikMesh"), 1);
}

// Last: it asks the program to end.
TEST_F(ToolWindowsWin32, ZExitPictureEndsTheMainLoop) {
    ASSERT_EQ(app_state.quit_requested, 0u);
    click_control(app_state.menu_window, 1000);
    EXPECT_EQ(app_state.quit_requested, 1u);
}

} // namespace
