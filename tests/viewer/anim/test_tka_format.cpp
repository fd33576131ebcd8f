// SPDX-License-Identifier: MIT
// The line that explains a failed TKA load: where the file ends or what was refused, by section.
#include <gtest/gtest.h>

#include <string>

#include "tests/fixtures/mesh_loading.h"
#include "viewer/anim/tka_format.h"
#include "viewer/anim/tka_loader.h"

namespace {

using namespace tkm_fixture;

struct TkaExplanation : testing::Test {
    temp_dir dir;
    mesh_ptr mesh;
    void SetUp() override {
        int code = -1;
        mesh = read_mesh_bytes(dir, tkm_bytes(small_tkm()), &code, "gun.tkm");
        ASSERT_EQ(code, 0);
    }
    int load(const std::vector<uint8_t> &bytes, read_failure *failure) {
        write_fixture(dir / "cut.tka", bytes);
        animation_ptr animation(create_animation());
        return load_tka_explained(animation.get(), mesh.get(), (dir / "cut.tka").c_str(), failure);
    }
};

// Three frames of small_tka's two bones ("root", "barrel"), both listed as animated, each frame
// carrying the string "hi" and its 0.
tka_description listed_tka() {
    tka_description d = small_tka(3);
    d.header_word = 0x0012;
    d.animated = {0, 1};
    for (tka_frame_description &frame : d.frames)
        frame.strings = {std::string("hi\0", 3)};
    return d;
}

struct cut_case {
    int code;
    int nth; // the cut comes before the nth octet the fixture labels with code
    const char *where;
};

// The codes 6 to 11 are both bone-record fields and later ones: the labels count both.
const cut_case cut_cases[] = {
    {tka_code_header_word, 0, ", at the header word"},
    {tka_code_bone_count, 1, ", at the bone count"},
    {tka_code_bone_name, 4 + 1, ", inside bone 1 of 2, at its name"},
    {tka_code_bone_position, 3, ", inside bone 0 of 2 (root), at its position"},
    {tka_code_after_bones, 4, ", at the value after the bones"},
    {tka_code_animated_count, 4 + 1, ", at the animated bone count"},
    {tka_code_animated_bone, 10 + 3, ", inside animated bone 1 of 2, at its bone"},
    {tka_code_frame_count, 4 + 1, ", at the frame count"},
    {tka_code_aux_vector2, 2 * 12 + 1, ", inside frame 2 of 3, at its aux_vector2"},
    {tka_code_frame_rotation, 32 + 20, ", inside frame 1 of 3, at its bone rotations"},
    {tka_code_string_count, 2 * 2 + 1, ", inside frame 2 of 3, at its string count"},
    {tka_code_string_text, 2, ", inside frame 0 of 3, at its string"},
};

TEST_F(TkaExplanation, ACutInEverySectionSaysWhereTheFileEnds) {
    const labelled_bytes file = tka_bytes_labelled(listed_tka());
    for (const cut_case &c : cut_cases) {
        const long offset = nth_octet_labelled(file, c.code, c.nth);
        ASSERT_GE(offset, 0) << "no octet " << c.nth << " of code " << c.code;
        SCOPED_TRACE("code " + std::to_string(c.code) + ", cut at " + std::to_string(offset));
        read_failure failure;
        EXPECT_EQ(load({file.bytes.begin(), file.bytes.begin() + offset}, &failure), c.code);
        EXPECT_EQ(failure.offset, offset);
        EXPECT_EQ(failure.message,
                  dir / "cut.tka" + ": the file ends at octet " + std::to_string(offset) + c.where);
    }
}

TEST_F(TkaExplanation, AnAnimatedBoneOutsideTheSkeletonIsRefusedWhereItStands) {
    tka_description d = listed_tka();
    d.animated[1] = 2;
    const labelled_bytes file = tka_bytes_labelled(d);
    // Reading stopped after the second list entry: the fourteenth octet labelled 8 (the names
    // "root" and "barrel" take ten).
    const long stop = nth_octet_labelled(file, tka_code_animated_bone, 10 + 3) + 1;
    read_failure failure;
    EXPECT_EQ(load(file.bytes, &failure), tka_code_animated_bone);
    EXPECT_FALSE(failure.at_end);
    EXPECT_EQ(failure.message, dir / "cut.tka" +
                                   ": in animated bone 1 of 2, the bone is out of range; reading "
                                   "stopped at octet " +
                                   std::to_string(stop));
}

TEST_F(TkaExplanation, CodesThatPrintTheirOwnMessageExplainNothingMore) {
    tka_description frameless = small_tka(0);
    read_failure failure;
    EXPECT_EQ(load(tka_bytes(frameless), &failure), tka_code_no_frames);
    EXPECT_TRUE(failure.message.empty());
    tka_description one_bone = small_tka(1);
    one_bone.bones.pop_back();
    for (tka_frame_description &frame : one_bone.frames)
        frame.rotations.pop_back();
    EXPECT_EQ(load(tka_bytes(one_bone), &failure), tka_code_not_usable);
    EXPECT_TRUE(failure.message.empty());
}

TEST(TkaCodes, TheSharedCodesAreToldApartBySection) {
    EXPECT_STREQ(tka_code_field(tka_in_bones, 7), "name length");
    EXPECT_STREQ(tka_code_field(tka_in_animated, 7), "animated bone count");
    EXPECT_STREQ(tka_code_field(tka_in_bones, 10), "position");
    EXPECT_STREQ(tka_code_field(tka_in_frames, 10), "aux_vector1");
    EXPECT_EQ(tka_code_field(tka_in_header, 13), nullptr);
    for (int code = 9; code <= 16; ++code)
        EXPECT_NE(tka_code_field(tka_in_frames, code), nullptr) << code;
}

} // namespace
