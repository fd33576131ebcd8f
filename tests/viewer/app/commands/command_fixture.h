// SPDX-License-Identifier: MIT
// Shared set-up of the command tests: a scripted file chooser, a recorded failure notice, a
// scratch directory and fixture files written byte by byte.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "common/temp_dir.h"
#include "fixtures/gl_fixture.h"
#include "tools/samplegen/byte_writer.h"
#include "tools/samplegen/images.h"
#include "tools/samplegen/tkm_bytes.h"
#include "viewer/anim/animation.h"
#include "viewer/app/app_state.h"
#include "viewer/app/commands.h"
#include "viewer/gui/file_chooser.h"
#include "viewer/mesh/mesh.h"

// What a command asked the chooser for, copied out of the request.
struct seen_request {
    int32_t save = 0;
    std::vector<std::pair<std::string, std::string>> filters;
    std::string title;
    std::string initial_directory;
    uint32_t filter_index = 0;
};

namespace command_fixture {

inline std::deque<chooser_reply> replies;
inline std::vector<seen_request> requests;
inline std::vector<std::pair<std::string, std::string>> notices; // text, caption

inline chooser_reply answer(const chooser_request &request) {
    seen_request seen;
    seen.save = request.save;
    for (const file_filter &filter : request.filters)
        seen.filters.emplace_back(filter.description, filter.patterns);
    seen.title = request.title;
    seen.initial_directory = request.initial_directory;
    seen.filter_index = request.filter_index;
    requests.push_back(seen);
    if (replies.empty()) return {};
    chooser_reply reply = replies.front();
    replies.pop_front();
    return reply;
}

inline void notice(const char *text, const char *caption) {
    notices.emplace_back(text, caption);
}

} // namespace command_fixture

class command_test : public gl_window_test {
  protected:
    temp_dir dir;

    void SetUp() override {
        gl_window_test::SetUp();
        command_fixture::replies.clear();
        command_fixture::requests.clear();
        command_fixture::notices.clear();
        set_chooser_answer_hook(command_fixture::answer);
        set_save_notice_hook(command_fixture::notice);
        app_state.mesh_directory = dir.path.string();
        app_state.animation_directory = dir.path.string();
    }

    void TearDown() override {
        set_chooser_answer_hook(nullptr);
        set_save_notice_hook(nullptr);
        release_models();
    }

    // The next chooser picks path; a later one, if not scripted, is cancelled.
    static void choose(const std::string &path, uint32_t filter_index = 1) {
        chooser_reply reply;
        reply.accepted = 1;
        reply.path = path;
        reply.filter_index = filter_index;
        command_fixture::replies.push_back(reply);
    }

    std::string write_file(const std::string &name, const std::vector<uint8_t> &bytes) {
        std::string path = dir / name;
        EXPECT_EQ(write_bytes(path, bytes), 0) << path;
        return path;
    }

    // A character (no grips) of num_bones bones, written as name.
    std::string character_file(const std::string &name, int num_bones,
                               std::vector<std::string> textures = {}) {
        tkm_fixture fixture;
        fixture.name = name;
        fixture.bones = chain_skeleton(num_bones);
        fixture.texture_names = std::move(textures);
        return write_file(name, encode_tkm(fixture));
    }

    std::string weapon_file(const std::string &name) {
        tkm_fixture fixture;
        fixture.name = name;
        fixture.bones = chain_skeleton(2);
        fixture.grips = {"Grip1", "Grip3"};
        return write_file(name, encode_tkm(fixture));
    }

    std::string animation_file(const std::string &name, int num_bones, int frames) {
        return write_file(name, encode_tka(turning_animation(chain_skeleton(num_bones), frames)));
    }

    // Runs the command with the chooser answering path; returns what it printed.
    template <typename F> std::pair<std::string, std::string> run(F command) {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        command();
        std::fflush(stdout);
        std::fflush(stderr);
        std::string out = testing::internal::GetCapturedStdout();
        std::string err = testing::internal::GetCapturedStderr();
        return {out, err};
    }

    std::pair<std::string, std::string> load_mesh(const std::string &path) {
        choose(path);
        return run(load_mesh_command);
    }

    std::pair<std::string, std::string> load_animation(const std::string &path) {
        choose(path);
        return run(load_animation_command);
    }
};
