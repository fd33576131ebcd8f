// SPDX-License-Identifier: MIT
// Loading TKA animations against a mesh: frames, animated bones, strings, and damaged files.
#include <gtest/gtest.h>

#include "tests/fixtures/mesh_loading.h"
#include "viewer/anim/tka_format.h"
#include "viewer/anim/tka_loader.h"

namespace {

using namespace tkm_fixture;

struct TkaLoader : testing::Test {
    temp_dir dir;
    int code = -1;
    mesh_ptr mesh;
    void SetUp() override {
        mesh = read_mesh_bytes(dir, tkm_bytes(small_tkm()), &code, "gun.tkm");
        ASSERT_EQ(code, 0);
    }
    animation_ptr load(const tka_description &d) {
        return load_animation_bytes(dir, tka_bytes(d), mesh.get(), &code);
    }
    int code_of(const tka_description &d) {
        load(d);
        return code;
    }
};

const float *world(const tka_animation &a, int bone, int frame) {
    return a.bones[bone].frame_worlds + 16 * frame;
}

TEST_F(TkaLoader, EveryBoneAnimatedWhenTheListIsEmpty) {
    animation_ptr a = load(small_tka(3));
    ASSERT_EQ(code, 0);
    EXPECT_STREQ(a->name, "swing");
    EXPECT_EQ(a->header_word, 0x0011);
    ASSERT_EQ(a->num_frames, 3);
    ASSERT_EQ(a->num_animated, 2);
    EXPECT_EQ(a->animated_bones[0], 0);
    EXPECT_EQ(a->animated_bones[1], 1);
    EXPECT_EQ(a->bones[0].animated, 1u);
    EXPECT_EQ(a->bones[1].animated, 1u);
    EXPECT_EQ(a->frames[2].aux_vector1[0], 2.0f);
    EXPECT_EQ(a->frames[1].aux_rotation[3], 1.0f);
    EXPECT_EQ(a->frames[0].num_frame_strings, 0);
    // Frame 0: nothing turned; the child sits at the root's (2,0,0) plus its own (0,1,0).
    EXPECT_NEAR(world(*a, 1, 0)[12], 2.0f, 1e-6);
    EXPECT_NEAR(world(*a, 1, 0)[13], 1.0f, 1e-6);
    EXPECT_NEAR(world(*a, 1, 0)[0], 1.0f, 1e-6);
    // Frame 1: the root turns x onto -y, which carries the child's (0,1,0) onto (1,0,0).
    EXPECT_NEAR(world(*a, 0, 1)[1], -1.0f, 1e-6);
    EXPECT_NEAR(world(*a, 1, 1)[12], 3.0f, 1e-6);
    EXPECT_NEAR(world(*a, 1, 1)[13], 0.0f, 1e-6);
    EXPECT_NEAR(a->bones[1].frame_locals[16 * 1 + 13], 1.0f, 1e-6);
}

TEST_F(TkaLoader, UnlistedBonesKeepTheMeshBindRotation) {
    tka_description d = small_tka(2);
    d.animated = {0};
    for (auto &frame : d.frames)
        frame.rotations.resize(1);
    animation_ptr a = load(d);
    ASSERT_EQ(code, 0);
    EXPECT_EQ(a->num_animated, 1);
    EXPECT_EQ(a->bones[1].animated, 0u);
    for (int f = 0; f < 2; ++f)
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(a->bones[1].frame_rotations[4 * f + k], mesh->bones[1].rotation[k]);
}

TEST_F(TkaLoader, OwnParentsAndTheMeshPositionsAreUsed) {
    tka_description d = small_tka(1);
    d.bones[0].name = "other";
    d.bones[1].parent = 0xFFFF;         // the child is a root in the animation
    d.bones[1].position = {50, 50, 50}; // never used: the mesh's positions are
    animation_ptr a = load(d);
    ASSERT_EQ(code, 0);
    EXPECT_NEAR(world(*a, 1, 0)[12], 0.0f, 1e-6);
    EXPECT_NEAR(world(*a, 1, 0)[13], 1.0f, 1e-6);
}

TEST_F(TkaLoader, FramesCarryStringsWhenTheHeaderWordSaysSo) {
    tka_description d = small_tka(2);
    d.header_word = 0x0012;
    d.frames[0].strings = {std::string("hit\0", 4), std::string(1, '\0')};
    animation_ptr a = load(d);
    ASSERT_EQ(code, 0);
    ASSERT_EQ(a->frames[0].num_frame_strings, 2);
    EXPECT_STREQ(a->frames[0].frame_strings[0].text, "hit");
    EXPECT_EQ(a->frames[0].frame_strings[0].length, 3);
    EXPECT_STREQ(a->frames[0].frame_strings[1].text, "");
    EXPECT_EQ(a->frames[0].frame_strings[1].length, 0);
    EXPECT_EQ(a->frames[1].num_frame_strings, 0);
    EXPECT_EQ(a->frames[1].frame_strings, nullptr);

    // A string stored without its own zero still reads as a terminated text.
    d.frames[0].strings = {"abc"};
    a = load(d);
    ASSERT_EQ(code, 0);
    EXPECT_STREQ(a->frames[0].frame_strings[0].text, "abc");

    d.frames[0].strings = {""};
    testing::internal::CaptureStderr();
    EXPECT_EQ(code_of(d), 16);
    testing::internal::GetCapturedStderr();

    // 0x11 and 0x10: no string counts in the frames at all.
    for (uint16_t word : {0x0011, 0x0010}) {
        tka_description plain = small_tka(2);
        plain.header_word = word;
        a = load(plain);
        ASSERT_EQ(code, 0);
        EXPECT_EQ(a->frames[1].num_frame_strings, 0);
    }
}

// Nothing could be posed from an animation without frames: it is refused with its own code and
// a line that names the file, whatever else it holds.
TEST_F(TkaLoader, FilesWithoutFramesAreRefused) {
    tkm_mesh empty{};
    tka_description bare; // the smallest such file, for a mesh without bones
    const std::vector<uint8_t> bytes = tka_bytes(bare);
    ASSERT_EQ(bytes.size(), 39u);
    tka_description strings = small_tka(0);
    strings.header_word = 0x0012;
    tka_description listed = small_tka(0);
    listed.animated = {1};
    struct {
        std::vector<uint8_t> file;
        const tkm_mesh *mesh;
    } cases[] = {{tka_bytes(small_tka(0)), mesh.get()},
                 {bytes, &empty},
                 {tka_bytes(strings), mesh.get()},
                 {tka_bytes(listed), mesh.get()}};
    for (const auto &c : cases) {
        testing::internal::CaptureStderr();
        animation_ptr a = load_animation_bytes(dir, c.file, c.mesh, &code);
        EXPECT_EQ(code, tka_code_no_frames);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), dir / "fixture.tka" + " has no frames\n");
        EXPECT_EQ(a->num_frames, 0);
        EXPECT_EQ(a->frames, nullptr);
    }
    // One frame is enough.
    EXPECT_EQ(code_of(small_tka(1)), 0);
}

// An empty file, or one shorter than the magic, is "not a TKM" like a wrong magic (the text the
// mesh reader uses too), even when it holds the compared first eleven octets.
TEST_F(TkaLoader, EmptyAndShortFilesAreNotATkm) {
    const std::vector<uint8_t> whole = tka_bytes(small_tka(1));
    for (size_t size : {0, 1, 10, 11, 15}) {
        testing::internal::CaptureStderr();
        load_animation_bytes(dir, std::vector<uint8_t>(whole.begin(), whole.begin() + long(size)),
                             mesh.get(), &code);
        EXPECT_EQ(code, tka_code_not_usable) << size << " octets";
        EXPECT_EQ(testing::internal::GetCapturedStderr(), dir / "fixture.tka" + " is not a TKM\n")
            << size << " octets";
    }
    load_animation_bytes(dir, std::vector<uint8_t>(whole.begin(), whole.begin() + 16), mesh.get(),
                         &code);
    EXPECT_EQ(code, tka_code_header_word);
}

TEST_F(TkaLoader, MagicAndBoneCountAreChecked) {
    tka_description d = small_tka(1);
    for (int i = 11; i < 16; ++i)
        d.magic[i] = 0;
    EXPECT_EQ(code_of(d), 0);

    d = small_tka(1);
    d.magic[0] = 0x72;
    testing::internal::CaptureStderr();
    EXPECT_EQ(code_of(d), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), dir / "fixture.tka" + " is not a TKM\n");

    d = small_tka(1);
    d.bones.push_back(bone_description{});
    testing::internal::CaptureStdout();
    EXPECT_EQ(code_of(d), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Number of bones in animation (3) doesn't match mesh (2)\n");

    animation_ptr a(create_animation());
    EXPECT_EQ(load_tka(a.get(), mesh.get(), (dir / "absent.tka").c_str()), 1);
}

TEST_F(TkaLoader, AnimatedIndexBeyondTheSkeletonIsRefused) {
    tka_description d = small_tka(1);
    d.animated = {2};
    EXPECT_EQ(code_of(d), 8);
}

TEST_F(TkaLoader, FileEndingEarlyFailsWithTheCodeOfTheShortField) {
    tka_description d = small_tka(3);
    d.header_word = 0x0002;
    d.frames[1].strings = {std::string("ab\0", 3), "xyz"};
    d.animated = {1, 0};
    labelled_bytes file = tka_bytes_labelled(d);
    for (size_t cut = 0; cut < file.bytes.size(); ++cut) {
        std::vector<uint8_t> part(file.bytes.begin(), file.bytes.begin() + long(cut));
        testing::internal::CaptureStderr();
        load_animation_bytes(dir, part, mesh.get(), &code);
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(code, file.codes[cut]) << "file cut after " << cut << " octets";
    }
    load_animation_bytes(dir, file.bytes, mesh.get(), &code);
    EXPECT_EQ(code, 0);
}

TEST_F(TkaLoader, FramesClaimedBeyondTheFileAreNotAllocated) {
    tka_description d = small_tka(2);
    labelled_bytes file = tka_bytes_labelled(d);
    // The frame count is the last field labelled 9 (bone parents carry that code too).
    size_t count_at = 0;
    for (size_t i = 0; i < file.codes.size(); ++i)
        if (file.codes[i] == tka_code_frame_count) count_at = i - 1;
    file.bytes[count_at] = 0xFF;
    file.bytes[count_at + 1] = 0xFF;
    load_animation_bytes(dir, file.bytes, mesh.get(), &code);
    EXPECT_EQ(code, tka_code_aux_vector1); // the third frame's first field is where the file ends
}

} // namespace
