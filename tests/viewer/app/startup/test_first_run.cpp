// SPDX-License-Identifier: MIT
// The first run as a user meets it: --help and --version, unknown options, and a start without a
// display, which must leave the terminal exactly as it was (the viewer runs in a pseudo-terminal
// here and every byte it writes there is compared).
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "tarvik_version.h"
#include "exec_viewer.h"
#include "tests/common/temp_dir.h"
#include "viewer/app/program_info.h"

namespace {

struct terminal_run {
    int exit_code = -1;
    std::string bytes;       // everything the viewer wrote to its terminal, both streams
    bool same_modes = false; // the terminal's modes afterwards equal those before
};

// Runs tarvik in a new pseudo-terminal with the display variables removed and env added, and
// reads the terminal until the program has ended.
terminal_run run_in_terminal(const std::vector<std::string> &args,
                             const std::vector<std::string> &env) {
    terminal_run run;
    int master = -1;
    pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
    if (child < 0) {
        ADD_FAILURE() << "forkpty failed";
        return run;
    }
    if (child == 0) {
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER", "XAUTHORITY"})
            unsetenv(name);
        exec_viewer(args, env);
    }
    termios before{};
    tcgetattr(master, &before);
    char buffer[4096];
    const auto started = std::chrono::steady_clock::now();
    for (;;) {
        if (std::chrono::steady_clock::now() - started > std::chrono::seconds(30)) {
            ADD_FAILURE() << "the viewer did not finish";
            kill(child, SIGKILL);
            break;
        }
        pollfd ready{master, POLLIN, 0};
        if (poll(&ready, 1, 100) == 0) continue;
        ssize_t n = read(master, buffer, sizeof buffer);
        if (n <= 0) break; // EIO once the last writer has gone
        run.bytes.append(buffer, static_cast<size_t>(n));
    }
    int status = 0;
    waitpid(child, &status, 0);
    run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    termios after{};
    tcgetattr(master, &after);
    run.same_modes = before.c_iflag == after.c_iflag && before.c_oflag == after.c_oflag &&
                     before.c_lflag == after.c_lflag && before.c_cflag == after.c_cflag;
    close(master);
    return run;
}

// Text as a terminal shows it: every newline arrives as carriage return and line feed.
std::string on_terminal(const std::string &text) {
    std::string out;
    for (char c : text)
        out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

const std::string no_display_message =
    "tarvik: no display is set (neither DISPLAY nor WAYLAND_DISPLAY), so the viewer cannot open "
    "its window.\n"
    "To run it on a virtual display:\n"
    "  xvfb-run -a -s \"-screen 0 1280x1024x24 -noreset\" tarvik [OPTION...] [FILE...]\n"
    "To draw a picture of a model without a display:\n"
    "  tkmtool render MESH OUT.png\n";

} // namespace

TEST(first_run, without_a_display_only_the_message_reaches_the_terminal) {
    // Files and options change nothing: the message comes before anything starts.
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{}, {"--bones", "model.tkm"}}) {
        terminal_run run = run_in_terminal(args, {});
        EXPECT_EQ(run.exit_code, 1);
        EXPECT_EQ(run.bytes, on_terminal(no_display_message));
        EXPECT_TRUE(run.same_modes);
    }
}

TEST(first_run, a_display_that_cannot_be_reached_never_lets_sdl_take_the_terminal) {
    // SDL tries its text-mode drivers after X11 unless it is told which one to use.
    terminal_run run = run_in_terminal({}, {"DISPLAY=:4095"});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.bytes, on_terminal("Processing command line: OK\nSDL initialisation: failed!\n"));
    EXPECT_TRUE(run.same_modes);
}

TEST(first_run, help_and_version_print_and_end_without_a_display) {
    terminal_run version = run_in_terminal({"--bones", "--version", "--help"}, {});
    EXPECT_EQ(version.exit_code, 0);
    EXPECT_EQ(version.bytes, on_terminal(std::string("tarvik ") + TARVIK_VERSION + "\n"));

    terminal_run help = run_in_terminal({"--help"}, {});
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_EQ(help.bytes.rfind("Usage: tarvik [OPTION...] [FILE...]\r\n", 0), 0u) << help.bytes;
    for (const char *option : {"--bones", "--nomesh", "--notextures", "--nojoystick", "--help",
                               "--version", "tkmtool render"})
        EXPECT_NE(help.bytes.find(option), std::string::npos) << option;
}

TEST(first_run, an_unknown_option_is_named_and_the_viewer_still_starts) {
    temp_dir dir;
    write_all(dir / "-odd.tkm", {});
    // The dummy video driver starts SDL but gives no OpenGL window: start-up went as far as it can.
    terminal_run run =
        run_in_terminal({"--frobnicate", "--bones", "-x", dir / "-odd.tkm", "-", "--NOMESH"},
                        {"SDL_VIDEODRIVER=dummy"});
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_NE(run.bytes.find("Creating surface: failed!"), std::string::npos) << run.bytes;
    for (const char *word : {"--frobnicate", "-x", "--NOMESH"})
        EXPECT_NE(run.bytes.find(on_terminal(std::string("tarvik: unknown option '") + word +
                                             "' ignored (see tarvik --help)\n")),
                  std::string::npos)
            << word << " in " << run.bytes;
    EXPECT_EQ(run.bytes.find("'--bones'"), std::string::npos) << run.bytes;
    EXPECT_EQ(run.bytes.find("odd.tkm'"), std::string::npos) << run.bytes;
    EXPECT_EQ(run.bytes.find("'-'"), std::string::npos) << run.bytes;
}

namespace {

struct display_case {
    const char *name;
    const char *display, *wayland, *driver; // null: unset
    int32_t usable;
    const char *driver_after; // SDL_VIDEODRIVER afterwards, null: unset
};

const display_case display_cases[] = {
    {"nothing_set", nullptr, nullptr, nullptr, 0, nullptr},
    {"empty_values_count_as_unset", "", "", "", 0, ""},
    {"x11_display", ":0", nullptr, nullptr, 1, "x11"},
    {"wayland_only", nullptr, "wayland-0", nullptr, 1, "x11"},
    {"driver_chosen_without_a_display", nullptr, nullptr, "dummy", 1, "dummy"},
    {"driver_chosen_with_a_display", ":0", nullptr, "aalib", 1, "aalib"},
};

class display_check : public testing::TestWithParam<display_case> {};

void set_or_unset(const char *name, const char *value) {
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

} // namespace

TEST_P(display_check, decides_and_keeps_sdl_on_x11) {
    const display_case &c = GetParam();
    set_or_unset("DISPLAY", c.display);
    set_or_unset("WAYLAND_DISPLAY", c.wayland);
    set_or_unset("SDL_VIDEODRIVER", c.driver);
    testing::internal::CaptureStderr();
    EXPECT_EQ(display_is_usable(), c.usable);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, c.usable ? "" : no_display_message);
    const char *driver = std::getenv("SDL_VIDEODRIVER");
    if (c.driver_after)
        EXPECT_STREQ(driver, c.driver_after);
    else
        EXPECT_EQ(driver, nullptr);
}

INSTANTIATE_TEST_SUITE_P(environments, display_check, testing::ValuesIn(display_cases),
                         [](const testing::TestParamInfo<display_case> &info) {
                             return std::string(info.param.name);
                         });
