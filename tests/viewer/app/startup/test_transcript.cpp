// SPDX-License-Identifier: MIT
// Runs the real viewer and compares its console transcript line by line: start-up, a window
// closed as a user closes it, shut-down, and the exit codes of the two start-up failures.
#include <gtest/gtest.h>
#include <chrono>
#include <functional>
#include <poll.h>
#include <regex>
#include <signal.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "tests/common/temp_dir.h"
#include "tests/fixtures/tkm_builder.h"
#include "exec_viewer.h"
#include "x11_window.h"

namespace {

struct run_result {
    int exit_code = -1;
    std::vector<std::string> lines;
};

// Starts tarvik with args and extra environment; when close is set, closes its window once it
// appears; act, when given, runs once the menu window is up. Reads standard output to the end
// and waits for the exit.
run_result run_viewer(const std::vector<std::string> &args, const std::vector<std::string> &env,
                      bool close_it, std::function<void(pid_t)> act = nullptr) {
    int out[2];
    EXPECT_EQ(pipe(out), 0);
    pid_t child = fork();
    if (child == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        // As started from a console: the quit signals at their defaults.
        signal(SIGINT, SIG_DFL);
        signal(SIGTERM, SIG_DFL);
        exec_viewer(args, env);
    }
    close(out[1]);
    // Read to the end; while the viewer runs, close its window the way a user would, again
    // every second in case the first request reached a window of an earlier run.
    std::string text;
    char buffer[4096];
    auto started = std::chrono::steady_clock::now();
    auto last_close = started - std::chrono::seconds(10);
    for (;;) {
        auto now = std::chrono::steady_clock::now();
        if (now - started > std::chrono::seconds(40)) {
            ADD_FAILURE() << "the viewer did not finish";
            kill(child, SIGKILL);
            break;
        }
        if (close_it && now - started > std::chrono::milliseconds(500) &&
            now - last_close > std::chrono::seconds(1)) {
            if (unsigned long window = find_window("TarvikViewer", 100)) close_window(window);
            last_close = now;
        }
        if (act && find_window("TarvikMenu", 0)) {
            act(child);
            act = nullptr;
        }
        pollfd ready{out[0], POLLIN, 0};
        if (poll(&ready, 1, 100) == 0) continue;
        ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n <= 0) break;
        text.append(buffer, static_cast<size_t>(n));
    }
    close(out[0]);
    int status = 0;
    waitpid(child, &status, 0);
    run_result result;
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        result.lines.push_back(line);
    if (!text.empty() && text.back() != '\n') result.lines.back() += "<no newline>";
    return result;
}

// Each expected line is a regular expression for the whole line.
void expect_lines(const run_result &run, const std::vector<std::string> &expected) {
    ASSERT_EQ(run.lines.size(), expected.size()) << [&] {
        std::string all;
        for (const auto &line : run.lines)
            all += line + "\n";
        return all;
    }();
    for (size_t i = 0; i < expected.size(); i++)
        EXPECT_TRUE(std::regex_match(run.lines[i], std::regex(expected[i])))
            << "line " << i + 1 << ": \"" << run.lines[i] << "\" against " << expected[i];
}

const std::vector<std::string> start_up = {
    "Processing command line: OK",
    "SDL initialisation: version [0-9]+\\.[0-9]+\\.[0-9]+!",
    "Creating surface: [0-9]+ bpp window with handle 0x[0-9a-f]+",
    "Initialising 640x480 OpenGL window:",
    "  Shading: flat",
    "  Lighting: ambient, local, two sided",
    "  Viewport: 640x480",
    "  Depth testing and culling etc: GL_LEQUAL depth testing, GL_CW/GL_BACK culling",
    "  Polygon mode: filled front, line back",
    "  Point size and line width",
    "  Blending",
    "  Texturing: decal",
    "OpenGL is ready\\.",
    "Initialising DevIL: OK",
    "Initialising GUI: OK!",
};

const std::vector<std::string> shut_down = {
    "Freeing surface: OK!",
    "GUI shutdown: OK!",
    "SDL shutdown: OK!",
};

std::vector<std::string> transcript(const std::string &joysticks) {
    std::vector<std::string> all = start_up;
    all.push_back(joysticks);
    all.insert(all.end(), shut_down.begin(), shut_down.end());
    return all;
}

} // namespace

TEST(transcript, start_up_and_shut_down_when_the_window_is_closed) {
    run_result run = run_viewer({}, {}, true);
    EXPECT_EQ(run.exit_code, 0);
    expect_lines(run, transcript("Checking joysticks: 0"));
}

TEST(transcript, joysticks_disabled_and_unknown_arguments_ignored) {
    run_result run = run_viewer({"--nojoystick", "--bones", "model.tkm", "--NOMESH"}, {}, true);
    EXPECT_EQ(run.exit_code, 0);
    expect_lines(run, transcript("Checking joysticks: disabled"));
}

TEST(transcript, files_named_on_the_command_line_load_before_the_loop) {
    temp_dir dir;
    tkm_fixture::tkm_description body = tkm_fixture::small_tkm();
    body.grips.clear();
    ASSERT_TRUE(tkm_fixture::write_fixture(dir / "body.tkm", tkm_fixture::tkm_bytes(body)));
    ASSERT_TRUE(tkm_fixture::write_fixture(dir / "swing.tka",
                                           tkm_fixture::tka_bytes(tkm_fixture::small_tka(3))));
    const std::string folder = std::regex_replace(dir.path.string(), std::regex("[.+]"), "\\$&");
    // With --nomesh (an option among the files) the viewer draws nothing: this is about loading.
    // A viewer that draws and is closed at once can leave blocks of Mesa's GL driver, unloaded at
    // shut-down, that the leak checker can no longer attribute (or suppress).
    run_result run = run_viewer(
        {"--nojoystick", dir / "body.tkm", "--nomesh", dir / "missing.tkm", dir / "swing.tka"}, {},
        true);
    EXPECT_EQ(run.exit_code, 0);
    std::vector<std::string> expected = start_up;
    expected.insert(expected.end(),
                    {"Checking joysticks: disabled", "Loading mesh: " + folder + "/body\\.tkm",
                     "Can't load texture \"skin\\.bmp\"", "load_textures\\(\\) returned 1",
                     "Loading mesh: " + folder + "/swing\\.tka"});
    expected.insert(expected.end(), shut_down.begin(), shut_down.end());
    expect_lines(run, expected);
}

TEST(transcript, no_opengl_window_ends_with_code_two) {
    run_result run = run_viewer({}, {"SDL_VIDEODRIVER=dummy"}, false);
    EXPECT_EQ(run.exit_code, 2);
    expect_lines(run, {start_up[0], start_up[1], "Creating surface: failed!"});
}

TEST(transcript, sdl_that_cannot_start_ends_with_code_one) {
    run_result run = run_viewer({}, {"SDL_VIDEODRIVER=x11", "DISPLAY=:4095"}, false);
    EXPECT_EQ(run.exit_code, 1);
    expect_lines(run, {start_up[0], "SDL initialisation: failed!"});
}

namespace {

// Opens the mesh chooser with the m key in the OpenGL window, as a user would; true once shown.
bool open_mesh_chooser() {
    unsigned long view = find_window("TarvikViewer", 5000);
    if (!view) return false;
    std::string id = std::to_string(view);
    if (std::system(("xdotool windowfocus " + id + " key m").c_str()) != 0) return false;
    return find_window("Load TarvikMesh", 10000) != 0;
}

} // namespace

TEST(transcript, either_quit_signal_ends_the_program_in_order_chooser_open_or_not) {
    const struct {
        int signal_number;
        const char *situation;
    } rows[] = {
        {SIGINT, "chooser"},
        {SIGTERM, "chooser"},
        {SIGTERM, "idle"},
        {SIGINT, "iconified"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(std::string(strsignal(row.signal_number)) + " with " + row.situation);
        std::string situation = row.situation;
        bool prepared = false;
        run_result run = run_viewer({}, {}, false, [&](pid_t viewer) {
            if (situation == "chooser") prepared = open_mesh_chooser();
            if (situation == "iconified") {
                unsigned long view = find_window("TarvikViewer", 5000);
                prepared = view && unmap_window(view);
                usleep(300000); // the loop has gone to sleep by now
            }
            if (situation == "idle") prepared = true;
            kill(viewer, row.signal_number);
        });
        EXPECT_TRUE(prepared);
        EXPECT_EQ(run.exit_code, 0);
        expect_lines(run, transcript("Checking joysticks: 0"));
    }
}
