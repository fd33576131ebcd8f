// SPDX-License-Identifier: MIT
// Writing TKA files: what the loader read comes back the same, and a failed write leaves the
// target.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>

#include "support/scratch_write.h"
#include "tests/common/dir_names.h"
#include "tests/fixtures/mesh_loading.h"
#include "viewer/anim/tka_writer.h"
#include "viewer/anim/tka_loader.h"

namespace {

using namespace tkm_fixture;

// Everything a TKA file carries of an animation loaded against one mesh.
void expect_same_animation(const tka_animation &a, const tka_animation &b) {
    EXPECT_EQ(a.header_word, b.header_word);
    ASSERT_EQ(a.name_length, b.name_length);
    EXPECT_EQ(std::memcmp(a.name, b.name, a.name_length), 0);
    ASSERT_EQ(a.num_bones, b.num_bones);
    for (uint16_t i = 0; i < a.num_bones; i++) {
        const tkm_bone &x = a.bones[i], &y = b.bones[i];
        EXPECT_STREQ(x.name, y.name);
        EXPECT_EQ(x.parent, y.parent);
        EXPECT_EQ(std::memcmp(x.position, y.position, sizeof x.position), 0);
        EXPECT_EQ(std::memcmp(x.rotation, y.rotation, sizeof x.rotation), 0);
        EXPECT_EQ(x.animated, y.animated);
        EXPECT_EQ(std::memcmp(x.frame_rotations, y.frame_rotations, 16 * size_t{a.num_frames}), 0)
            << i;
        EXPECT_EQ(std::memcmp(x.frame_worlds, y.frame_worlds, 64 * size_t{a.num_frames}), 0) << i;
    }
    ASSERT_EQ(a.num_animated, b.num_animated);
    EXPECT_EQ(std::memcmp(a.animated_bones, b.animated_bones, 2 * size_t{a.num_animated}), 0);
    ASSERT_EQ(a.num_frames, b.num_frames);
    for (uint16_t f = 0; f < a.num_frames; f++) {
        const tka_frame &x = a.frames[f], &y = b.frames[f];
        EXPECT_EQ(std::memcmp(x.aux_vector1, y.aux_vector1, 12), 0);
        EXPECT_EQ(std::memcmp(x.aux_rotation, y.aux_rotation, 16), 0);
        EXPECT_EQ(std::memcmp(x.aux_vector2, y.aux_vector2, 12), 0);
        ASSERT_EQ(x.num_frame_strings, y.num_frame_strings);
        for (uint16_t s = 0; s < x.num_frame_strings; s++) {
            ASSERT_EQ(x.frame_strings[s].length, y.frame_strings[s].length);
            EXPECT_EQ(std::memcmp(x.frame_strings[s].text, y.frame_strings[s].text,
                                  x.frame_strings[s].length + 1u),
                      0);
        }
    }
}

TEST(write_tka, what_the_loader_read_reads_back_and_writes_the_same) {
    struct file_case {
        const char *what;
        tka_description file;
    };
    std::vector<file_case> cases;
    cases.push_back({"every bone, from an empty list", small_tka(3)});
    tka_description listed = small_tka(2);
    listed.animated = {1};
    for (auto &frame : listed.frames)
        frame.rotations = {{0.6f, 0, 0, 0.8f}};
    cases.push_back({"only the barrel", listed});
    tka_description strings = small_tka(2);
    strings.header_word = 0x0012;
    strings.frames[0].strings = {std::string("hit\0", 4), "x", std::string(1, '\0')};
    strings.frames[1].aux_vector2 = {1, -2, 3};
    cases.push_back({"frame strings", strings});
    tka_description twice = small_tka(1);
    twice.animated = {0, 0};
    twice.frames[0].rotations = {{1, 0, 0, 0}, {0, 1, 0, 0}};
    cases.push_back({"a bone listed twice", twice});

    temp_dir dir;
    int code = -1;
    mesh_ptr mesh = read_mesh_bytes(dir, tkm_bytes(small_tkm()), &code, "gun.tkm");
    ASSERT_EQ(code, 0);
    for (const file_case &c : cases) {
        animation_ptr read = load_animation_bytes(dir, tka_bytes(c.file), mesh.get(), &code);
        ASSERT_EQ(code, 0) << c.what;
        const std::string first = dir / "first.tka", second = dir / "second.tka";
        ASSERT_EQ(write_tka(read.get(), first.c_str()), 0) << c.what;
        animation_ptr again(create_animation());
        ASSERT_EQ(load_tka(again.get(), mesh.get(), first.c_str()), 0) << c.what;
        SCOPED_TRACE(c.what);
        expect_same_animation(*read, *again);
        ASSERT_EQ(write_tka(again.get(), second.c_str()), 0) << c.what;
        EXPECT_EQ(read_all(first), read_all(second)) << c.what;
    }
}

TEST(write_tka, a_failed_write_leaves_the_target_and_no_scratch_file) {
    temp_dir dir;
    int code = -1;
    mesh_ptr mesh = read_mesh_bytes(dir, tkm_bytes(small_tkm()), &code, "gun.tkm");
    animation_ptr animation = load_animation_bytes(dir, tka_bytes(small_tka(2)), mesh.get(), &code);
    ASSERT_EQ(code, 0);
    const std::string target = dir / "walk.tka";
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    ASSERT_TRUE(write_fixture(target, old));
    // An animated bone that the skeleton does not have cannot be written.
    animation->animated_bones[1] = 9;
    EXPECT_EQ(write_tka(animation.get(), target.c_str()), 8);
    EXPECT_EQ(read_all(target), old);
    size_t files = 0;
    for (const auto &entry : std::filesystem::directory_iterator(dir.path)) {
        (void)entry;
        files++;
    }
    EXPECT_EQ(files, 3u) << "gun.tkm, fixture.tka and walk.tka only";
    testing::internal::CaptureStderr();
    EXPECT_EQ(write_tka(animation.get(), (dir / "missing/walk.tka").c_str()), 1);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(errno, ENOENT);
}

TEST(write_tka, a_refused_write_gives_the_reason_and_leaves_the_target_alone) {
    temp_dir dir;
    int code = -1;
    mesh_ptr mesh = read_mesh_bytes(dir, tkm_bytes(small_tkm()), &code, "gun.tkm");
    animation_ptr animation = load_animation_bytes(dir, tka_bytes(small_tka(2)), mesh.get(), &code);
    ASSERT_EQ(code, 0);
    const std::string target = dir / "walk.tka";
    ASSERT_EQ(write_tka(animation.get(), target.c_str()), 0);
    const uint64_t size = read_all(target).size();
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    ASSERT_TRUE(write_fixture(target, old));
    const std::set<std::string> before = names_in(dir.path);
    for (int reason : {ENOSPC, EFBIG, EIO})
        for (uint64_t limit : {uint64_t(0), size / 2, size - 1}) {
            SCOPED_TRACE(std::string(std::strerror(reason)) + " after " + std::to_string(limit));
            scratch_faults faults{limit, reason, 0, nullptr, nullptr};
            set_scratch_faults(&faults);
            code = write_tka(animation.get(), target.c_str());
            const int said = errno;
            set_scratch_faults(nullptr);
            EXPECT_EQ(code,
                      tka_code_no_frames); // buffered: the refusal comes as the file is completed
            EXPECT_EQ(said, reason);
            EXPECT_EQ(read_all(target), old);
            EXPECT_EQ(names_in(dir.path), before);
        }
}

} // namespace
