// SPDX-License-Identifier: MIT
// A model file's format told by its first bytes: each format under every wrong name is read as
// what it is, with a warning that names the file, what it is and what its name says; a cut
// signature leaves the choice to the name; a file of no known format is refused in one line.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "viewer/formats/model_sniff.h"

namespace {

using bytes = std::vector<uint8_t>;

// The leading bytes of each format as its own layout gives them, with a few octets after them.
struct format_start {
    const char *format; // the table's name for it
    const char *is;     // the warning's words for it
    bytes start;        // a file start of the format
    size_t deciding;    // octets needed before it is told
};

const std::vector<format_start> &format_starts() {
    static const std::vector<format_start> starts = {
        // TKM magic (its first eleven octets are compared), then header_word 1029.
        {"TarvikMesh",
         "a TKM model",
         {0x72, 0xF6, 0x63, 0x1E, 0x5E, 0x47, 0xD2, 0x11, 0x87, 0x99, 0x00, 0x20, 0xAF, 0xE6, 0x36,
          0xEE, 0x05, 0x04},
         11},
        // Milkshape id, then version 4 as a little-endian u32.
        {"Milkshape",
         "a Milkshape model",
         {'M', 'S', '3', 'D', '0', '0', '0', '0', '0', '0', 4, 0, 0, 0},
         10},
        // GLB: magic, version 2, total length.
        {"glTF", "a glTF model", {'g', 'l', 'T', 'F', 2, 0, 0, 0, 20, 0, 0, 0}, 8},
        // JSON glTF after a UTF-8 BOM and white space.
        {"glTF",
         "a glTF model",
         {0xEF, 0xBB, 0xBF, ' ', '\r', '\n', '\t', '{', '"', 'a', 's', 's', 'e', 't', '"'},
         8},
    };
    return starts;
}

// A name and what it says, as the warning words it; null: it says nothing.
struct name_case {
    const char *name;
    const char *says_format; // the table's name of the format the name says, or null
    const char *says;        // the warning's words for it
};

constexpr name_case names[] = {
    {"model.dat", nullptr, nullptr},          {"model.tkm", "TarvikMesh", "TKM"},
    {"model.MS3D", "Milkshape", "Milkshape"}, {"model.glb", "glTF", "glTF"},
    {"model", "TarvikMesh", "TKM"}, // a name without a dot has always been a TKM's
};

std::string write(const temp_dir &dir, const std::string &name, const bytes &content) {
    const std::string path = dir / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char *>(content.data()), std::streamsize(content.size()));
    return path;
}

// The format chosen for the file and what was said on standard error.
std::pair<const model_format *, std::string> choose(const std::string &path) {
    testing::internal::CaptureStderr();
    const model_format *format = choose_model_format(path.c_str());
    return {format, testing::internal::GetCapturedStderr()};
}

TEST(ModelSniff, EachFormatUnderEveryNameIsReadAsWhatItIs) {
    temp_dir dir;
    for (const format_start &start : format_starts())
        for (const name_case &name : names) {
            const std::string path = write(dir, name.name, start.start);
            auto [format, err] = choose(path);
            ASSERT_NE(format, nullptr) << start.is << " as " << name.name;
            EXPECT_STREQ(format->name, start.format) << name.name;
            std::string expected;
            if (!name.says_format)
                expected = "Warning: " + path + " is " + start.is + "; its name does not say so\n";
            else if (std::string(name.says_format) != start.format)
                expected = "Warning: " + path + " is " + start.is + ", though its name says " +
                           name.says + "\n";
            EXPECT_EQ(err, expected) << start.is << " as " << name.name;
            EXPECT_EQ(recognise_model_format(start.start.data(), start.start.size()), format);
        }
}

TEST(ModelSniff, ACutSignatureLeavesTheChoiceToTheName) {
    temp_dir dir;
    for (const format_start &start : format_starts())
        for (size_t size = 0; size < start.deciding; size++) {
            const bytes cut(start.start.begin(), start.start.begin() + long(size));
            EXPECT_EQ(recognise_model_format(cut.data(), cut.size()), nullptr) << size;
            EXPECT_FALSE(sniff_model_content(cut.data(), cut.size()).told) << size;
            for (const name_case &name : names) {
                auto [format, err] = choose(write(dir, name.name, cut));
                const char *expected = name.says_format ? name.says_format : "TarvikMesh";
                ASSERT_NE(format, nullptr) << name.name;
                EXPECT_STREQ(format->name, expected) << size << " octets as " << name.name;
                EXPECT_EQ(err, "") << size << " octets as " << name.name;
            }
        }
    EXPECT_EQ(recognise_model_format(nullptr, 0), nullptr);
}

TEST(ModelSniff, NearMissesAreNoFormat) {
    struct near_miss {
        const char *what;
        bytes content;
    };
    const std::vector<near_miss> misses = {
        {"TKM magic with its byte 3 changed",
         {0x72, 0xF6, 0x63, 0x1F, 0x5E, 0x47, 0xD2, 0x11, 0x87, 0x99, 0x00, 0x20}},
        {"Milkshape id in lower case", {'m', 's', '3', 'd', '0', '0', '0', '0', '0', '0', 4, 0}},
        {"GLB of version 3", {'g', 'l', 'T', 'F', 3, 0, 0, 0, 20, 0, 0, 0}},
        {"a JSON array", {' ', '[', '1', ']', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '}},
        {"text", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '\n'}},
    };
    temp_dir dir;
    for (const near_miss &miss : misses) {
        const model_content content = sniff_model_content(miss.content.data(), miss.content.size());
        EXPECT_TRUE(content.told) << miss.what;
        EXPECT_EQ(content.format, nullptr) << miss.what;
        // No known content and no known name: one line, and no reader.
        const std::string path = write(dir, "notes.txt", miss.content);
        auto [format, err] = choose(path);
        EXPECT_EQ(format, nullptr) << miss.what;
        EXPECT_EQ(err, "Error loading model: " + path + " is not a TKM, Milkshape or glTF model\n")
            << miss.what;
        // A known name takes it to that reader, whose own words say what is wrong.
        auto [named, named_err] = choose(write(dir, "notes.ms3d", miss.content));
        ASSERT_NE(named, nullptr) << miss.what;
        EXPECT_STREQ(named->name, "Milkshape") << miss.what;
        EXPECT_EQ(named_err, "") << miss.what;
    }
}

TEST(ModelSniff, AFileThatCannotBeReadLeavesTheChoiceToTheName) {
    temp_dir dir;
    std::filesystem::create_directory(dir.path / "folder.glb");
    // Its reader tells why; a name of no format is read as TKM, as it always was.
    const std::pair<const char *, const char *> cases[] = {{"missing.ms3d", "Milkshape"},
                                                           {"folder.glb", "glTF"},
                                                           {"missing.dat", "TarvikMesh"},
                                                           {"missing", "TarvikMesh"}};
    for (const auto &[name, expected] : cases) {
        auto [format, err] = choose(dir / name);
        ASSERT_NE(format, nullptr) << name;
        EXPECT_STREQ(format->name, expected) << name;
        EXPECT_EQ(err, "") << name;
    }
}

} // namespace
