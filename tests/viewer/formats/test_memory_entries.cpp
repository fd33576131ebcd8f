// SPDX-License-Identifier: MIT
// Each binary reader's memory entry and its file entry agree on every cut and every corrupted
// octet of a fixture: the same code and the same failure record. A file that cannot be opened
// carries the system's reason, and the load path says it in the system's words.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/fixtures/mesh_loading.h"
#include "tests/fixtures/ms3d_builder.h"
#include "viewer/formats/model_formats.h"
#include "viewer/formats/model_load.h"
#include "viewer/ms3d/ms3d_reader.h"
#include "viewer/scene/scene.h"

namespace {

using namespace tkm_fixture;

// The two-bone mesh the animations are loaded against.
const tkm_mesh *gun() {
    static mesh_ptr mesh = [] {
        const std::vector<uint8_t> bytes = tkm_bytes(small_tkm());
        mesh_ptr m(create_mesh());
        EXPECT_EQ(read_tkm_memory(m.get(), bytes.data(), bytes.size(), "gun.tkm"), 0);
        return m;
    }();
    return mesh.get();
}

int tkm_file(const char *path, read_failure *failure) {
    mesh_ptr mesh(create_mesh());
    return read_tkm_explained(mesh.get(), path, failure);
}
int tkm_memory(const std::vector<uint8_t> &bytes, const char *path, read_failure *failure) {
    mesh_ptr mesh(create_mesh());
    return read_tkm_memory(mesh.get(), bytes.data(), bytes.size(), path, failure);
}
int tka_file(const char *path, read_failure *failure) {
    animation_ptr animation(create_animation());
    return load_tka_explained(animation.get(), gun(), path, failure);
}
int tka_memory(const std::vector<uint8_t> &bytes, const char *path, read_failure *failure) {
    animation_ptr animation(create_animation());
    return load_tka_memory(animation.get(), gun(), bytes.data(), bytes.size(), path, failure);
}
int ms3d_file(const char *path, read_failure *failure) {
    ms3d_model *model = create_ms3d();
    const int code = read_ms3d_explained(model, path, failure);
    release_ms3d(model);
    return code;
}
int ms3d_memory(const std::vector<uint8_t> &bytes, const char *path, read_failure *failure) {
    ms3d_model *model = create_ms3d();
    const int code = read_ms3d_memory(model, bytes.data(), bytes.size(), path, failure);
    release_ms3d(model);
    return code;
}

struct reader_row {
    const char *name; // the fixture's file name
    std::vector<uint8_t> (*whole)();
    int (*from_file)(const char *path, read_failure *failure);
    int (*from_memory)(const std::vector<uint8_t> &bytes, const char *path, read_failure *failure);
    int open_code; // the code of a file that cannot be opened
};

std::vector<uint8_t> whole_tkm() {
    return tkm_bytes(small_tkm());
}
std::vector<uint8_t> whole_tka() {
    return tka_bytes(small_tka(3));
}
// A wider animation: its sentence goes to the information outlet, the others' to the errors.
std::vector<uint8_t> wider_tka() {
    tka_description d = small_tka(1);
    d.bones.push_back(bone_description{});
    return tka_bytes(d);
}
std::vector<uint8_t> whole_ms3d() {
    return ms3d_fixture::bytes(ms3d_fixture::triangle_model());
}

const reader_row readers[] = {
    {"cut.tkm", whole_tkm, tkm_file, tkm_memory, 1},
    {"cut.tka", whole_tka, tka_file, tka_memory, 1},
    {"wide.tka", wider_tka, tka_file, tka_memory, 1},
    {"cut.ms3d", whole_ms3d, ms3d_file, ms3d_memory, 1},
};

void expect_same(const reader_row &row, const temp_dir &dir, const std::vector<uint8_t> &bytes,
                 const std::string &what) {
    const std::string path = dir / row.name;
    write_fixture(path, bytes);
    read_failure by_file, by_memory;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int file_code = row.from_file(path.c_str(), &by_file);
    const int memory_code = row.from_memory(bytes, path.c_str(), &by_memory);
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    SCOPED_TRACE(std::string(row.name) + ", " + what);
    // With a record to fill, a reader prints nothing: its sentence is in the record.
    EXPECT_EQ(out + err, "");
    EXPECT_EQ(file_code, memory_code);
    EXPECT_EQ(by_file.code, by_memory.code);
    EXPECT_EQ(by_file.field, by_memory.field);
    EXPECT_EQ(by_file.offset, by_memory.offset);
    EXPECT_EQ(by_file.at_end, by_memory.at_end);
    EXPECT_EQ(by_file.message, by_memory.message);
    EXPECT_EQ(by_file.notice, by_memory.notice);
    EXPECT_EQ(by_file.notice_outlet, by_memory.notice_outlet);
    EXPECT_EQ(by_file.reason, 0);
    EXPECT_EQ(by_memory.reason, 0);
    // A cut or corrupted read that fails says so: a code, and an offset within the file.
    if (file_code != 0) {
        EXPECT_LE(by_memory.offset, static_cast<int64_t>(bytes.size()));
        EXPECT_TRUE(!by_memory.message.empty() || !by_memory.notice.empty() || file_code == 1 ||
                    by_memory.field == nullptr);
    }
}

TEST(memory_entries, agree_with_the_file_entries_on_every_cut) {
    temp_dir dir;
    for (const reader_row &row : readers) {
        const std::vector<uint8_t> whole = row.whole();
        for (size_t size = 0; size < whole.size(); ++size)
            expect_same(row, dir, {whole.begin(), whole.begin() + long(size)},
                        "cut at " + std::to_string(size));
    }
}

TEST(memory_entries, agree_with_the_file_entries_on_every_corrupted_octet) {
    temp_dir dir;
    for (const reader_row &row : readers) {
        const std::vector<uint8_t> whole = row.whole();
        for (size_t at = 0; at < whole.size(); ++at)
            for (uint8_t flip : {uint8_t{0xff}, uint8_t{0x01}}) {
                std::vector<uint8_t> bytes = whole;
                bytes[at] ^= flip;
                expect_same(row, dir, bytes,
                            "octet " + std::to_string(at) + " xor " + std::to_string(flip));
            }
    }
}

// The sentences a reader hands over in its record, each through the outlet it has always used.
TEST(memory_entries, hand_their_own_sentence_to_the_caller) {
    struct notice_case {
        const reader_row &row;
        std::vector<uint8_t> bytes;
        std::string notice;
        int outlet;
    };
    std::vector<uint8_t> wrong_magic = whole_tkm();
    wrong_magic[0] ^= 1;
    tka_description no_frames = small_tka(0);
    const notice_case cases[] = {
        {readers[0], wrong_magic, "x is not a TKM", failure_outlet_error},
        {readers[0], {}, "x is not a TKM", failure_outlet_error},
        {readers[1], tka_bytes(no_frames), "x has no frames", failure_outlet_error},
        {readers[2], wider_tka(), "Number of bones in animation (3) doesn't match mesh (2)",
         failure_outlet_information},
    };
    for (const notice_case &c : cases) {
        read_failure failure;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        EXPECT_NE(c.row.from_memory(c.bytes, "x", &failure), 0) << c.notice;
        EXPECT_EQ(testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr(),
                  "");
        EXPECT_EQ(failure.notice, c.notice);
        EXPECT_EQ(failure.notice_outlet, c.outlet) << c.notice;
    }
}

// A missing file and a directory: the record carries the system's own error number.
TEST(memory_entries, a_file_that_cannot_be_opened_gives_the_systems_reason) {
    temp_dir dir;
    struct place_case {
        std::string path;
        int reason;
    };
    const place_case places[] = {{dir / "missing.model", ENOENT},
                                 {dir.path.generic_string(), EISDIR}};
    for (const reader_row &row : readers)
        for (const place_case &p : places) {
            read_failure failure;
            testing::internal::CaptureStderr();
            EXPECT_EQ(row.from_file(p.path.c_str(), &failure), row.open_code) << row.name;
            testing::internal::GetCapturedStderr();
            EXPECT_EQ(failure.reason, p.reason) << row.name << " " << p.path;
        }
}

// The mesh load path prints the reason in the system's words after the code.
TEST(memory_entries, the_load_path_prints_the_systems_words) {
    temp_dir dir;
    const std::string missing = dir / "missing.tkm";
    struct place_case {
        std::string path;
        int reason;
    };
    const place_case places[] = {{missing, ENOENT}, {dir / "folder.tkm", EISDIR}};
    std::filesystem::create_directory(dir / "folder.tkm");
    for (const place_case &p : places) {
        mesh_ptr mesh(create_mesh());
        scene_model scene;
        model_read_notes notes;
        testing::internal::CaptureStderr();
        EXPECT_EQ(load_model_mesh(p.path.c_str(), mesh.get(), &scene, &notes), 1);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(notes.failure.reason, p.reason);
        const std::string line =
            "Error loading TarvikMesh: 1 (" + std::string(std::strerror(p.reason)) + ")\n";
        EXPECT_NE(err.find(line), std::string::npos) << err;
    }
}

} // namespace
