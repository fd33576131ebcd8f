// SPDX-License-Identifier: MIT
// tkmtool check run as a program over folders of files built from the formats' definitions: each
// finding code, both reports, the exit statuses, the folder walk and that nothing is written.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>

#include "tests/fixtures/gltf_import_builder.h"
#include "tests/fixtures/ms3d_builder.h"
#include "tests/tools/tkmtool/tkmtool_run.h"

namespace {

using json = nlohmann::json;
namespace fs = std::filesystem;

// A skeleton of count bones in one chain named b0, b1, ...
std::vector<bone_description> chain_bones(int count) {
    std::vector<bone_description> bones;
    for (int i = 0; i < count; ++i)
        bones.push_back(
            {"b" + std::to_string(i), uint16_t(i ? i - 1 : 0xFFFF), {0, 1, 0}, {0, 0, 0, 1}});
    return bones;
}

// small_tkm with its one texture beside it, so that only the change a case makes is found.
tkm_description clean_gun() {
    tkm_description d = small_tkm();
    d.texture_names = {"skin.bmp"};
    return d;
}

struct Check : Tkmtool {
    // check --json over args: the parsed document, with the run's status and standard error.
    json run_json(std::vector<std::string> args, run_result *result = nullptr) {
        args.insert(args.begin(), {"check", "--json"});
        run_result r = run(args);
        if (result) *result = r;
        return json::parse(r.out, nullptr, false);
    }
    std::string folder(const std::string &name) {
        fs::create_directories(dir.path / name);
        return dir / name;
    }
};

// The findings of one code in a report.
std::vector<json> findings_of(const json &report, const std::string &code) {
    std::vector<json> found;
    if (!report.is_object()) return found;
    for (const json &entry : report["findings"])
        if (entry["code"] == code) found.push_back(entry);
    return found;
}

// One case: files to write into a fresh folder, and the code (with its severity, as the check's
// definition gives it) that checking the folder must report for the file named.
struct code_case {
    const char *code;
    const char *severity;
    const char *file;  // the file the finding is on, in the folder
    const char *words; // in its message
    std::map<std::string, std::vector<uint8_t>> files;
};

std::vector<uint8_t> tkm_with(void (*change)(tkm_description &)) {
    tkm_description d = clean_gun();
    change(d);
    return tkm_bytes(d);
}

std::vector<uint8_t> tka_with(void (*change)(tka_description &)) {
    tka_description d = small_tka(3);
    change(d);
    return tka_bytes(d);
}

const float nan_value = std::numeric_limits<float>::quiet_NaN();
const float infinite = std::numeric_limits<float>::infinity();

std::vector<code_case> code_cases() {
    const std::vector<uint8_t> skin = {'B', 'M'};
    const std::vector<uint8_t> gun = tkm_bytes(clean_gun());
    gltf_fixture::model glb_model = gltf_fixture::chain_model(2);
    const std::vector<uint8_t> glb = gltf_fixture::glb(gltf_fixture::build(glb_model));
    ms3d_fixture::model unbound = ms3d_fixture::triangle_model();
    unbound.vertices[0].bone = -1;
    return {
        {"UNKNOWN_FORMAT",
         "error",
         "junk.tkm",
         "not a TKM, TKA, Milkshape or glTF",
         {{"junk.tkm", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l',
                        'd', '!', '!', '!', '!', '!', '!', '!', '!', '!'}}}},
        {"MISNAMED_FILE", "warning", "rifle.tkm", "glTF", {{"rifle.tkm", glb}}},
        {"TEXTURE_NOT_FOUND", "warning", "gun.tkm", "skin.bmp", {{"gun.tkm", gun}}},
        {"UNKNOWN_BONE_COUNT",
         "warning",
         "three.tkm",
         "3 bones",
         {{"three.tkm", tkm_with([](tkm_description &d) { d.bones = chain_bones(3); })},
          {"skin.bmp", skin}}},
        {"WEAPON_WITHOUT_GRIPS",
         "error",
         "gun.tkm",
         "no grips",
         {{"gun.tkm", tkm_with([](tkm_description &d) { d.grips.clear(); })}, {"skin.bmp", skin}}},
        {"CHARACTER_WITHOUT_GRIPPERS",
         "error",
         "officer.tkm",
         "no grippers",
         {{"officer.tkm", tkm_with([](tkm_description &d) {
               d.bones = chain_bones(52);
               d.grips.clear();
           })},
          {"skin.bmp", skin}}},
        {"NON_FINITE_NUMBER",
         "error",
         "gun.tkm",
         "vertex 2 of 4",
         {{"gun.tkm", tkm_with([](tkm_description &d) { d.vertices[2][1] = nan_value; })},
          {"skin.bmp", skin}}},
        {"NON_FINITE_NUMBER",
         "error",
         "swing.tka",
         "frame 1 of 3",
         {{"swing.tka",
           tka_with([](tka_description &d) { d.frames[1].rotations[1][0] = infinite; })}}},
        {"NON_UNIT_QUATERNION",
         "warning",
         "gun.tkm",
         "bone 1 of 2 (barrel)",
         {{"gun.tkm", tkm_with([](tkm_description &d) {
               d.bones[1].rotation = {0, 0, 0, 1.002f};
           })},
          {"skin.bmp", skin}}},
        {"UNCARRIED_VERTEX",
         "error",
         "gun.tkm",
         "corner 2 of 4 is on vertex 2",
         {{"gun.tkm", tkm_with([](tkm_description &d) {
               d.runs = {{0, 0, 2}, {1, 3, 1}};
           })},
          {"skin.bmp", skin}}},
        {"AT_FORMAT_LIMIT",
         "information",
         "big.tkm",
         "65535 vertices",
         {{"big.tkm", tkm_with([](tkm_description &d) {
               d.vertices.assign(65535, {0, 0, 0});
               d.runs = {{0, 0, 65535}};
           })},
          {"skin.bmp", skin}}},
        {"ANIMATION_FITS",
         "information",
         "swing.tka",
         "gun.tkm",
         {{"gun.tkm", gun}, {"swing.tka", tka_bytes(small_tka(3))}}},
        {"ANIMATION_FITS_NO_MESH",
         "warning",
         "walk.tka",
         "3 bones, but gun.tkm has 2",
         {{"gun.tkm", gun}, {"walk.tka", tka_with([](tka_description &d) {
                                 d.bones = chain_bones(3);
                                 for (auto &frame : d.frames)
                                     frame.rotations.assign(3, {0, 0, 0, 1});
                             })}}},
        {"ANIMATION_FITS_NO_MESH",
         "warning",
         "swing.tka",
         "bone 1 is barrel here, but b1",
         {{"gun.tkm", tkm_with([](tkm_description &d) { d.bones[1].name = "b1"; })},
          {"swing.tka", tka_bytes(small_tka(3))}}},
        {"CONVERT_REFUSED",
         "error",
         "loose.ms3d",
         "convert refuses",
         {{"loose.ms3d", ms3d_fixture::bytes(unbound)}}},
        {"CONVERT_NOTE",
         "warning",
         "chain.ms3d",
         "convert says",
         {{"chain.ms3d", ms3d_fixture::bytes(ms3d_fixture::chain_model(52))}}},
    };
}

TEST_F(Check, EachCodeComesFromItsFault) {
    int n = 0;
    for (const code_case &c : code_cases()) {
        std::string here = folder("case" + std::to_string(n++));
        for (const auto &[name, bytes] : c.files)
            ASSERT_TRUE(write_fixture(here + "/" + name, bytes));
        json report = run_json({here});
        ASSERT_TRUE(report.is_object()) << c.code;
        bool seen = false;
        for (const json &found : findings_of(report, c.code)) {
            if (found["file"] != here + "/" + c.file) continue;
            EXPECT_EQ(found["severity"], c.severity) << c.code;
            if (found["message"].get<std::string>().find(c.words) != std::string::npos) seen = true;
        }
        EXPECT_TRUE(seen) << c.code << " on " << c.file << " with \"" << c.words << "\":\n"
                          << report.dump(1);
    }
}

// What a clean file must not be told: the faults of the cases above stay unreported on the
// files without them.
TEST_F(Check, CleanFilesHaveOnlyTheirPairing) {
    std::string here = folder("clean");
    ASSERT_TRUE(write_fixture(here + "/gun.tkm", tkm_bytes(clean_gun())));
    ASSERT_TRUE(write_fixture(here + "/SKIN.BMP", {'B', 'M'})); // found in any letter case
    ASSERT_TRUE(write_fixture(here + "/swing.tka", tka_bytes(small_tka(3))));
    // Off by less than the tolerance: rounding, not a fault.
    tkm_description near_unit = clean_gun();
    near_unit.bones[1].rotation = {0, 0, 0, 1.0005f};
    ASSERT_TRUE(write_fixture(here + "/near.tkm", tkm_bytes(near_unit)));
    ASSERT_TRUE(write_fixture(here + "/notes.txt", {'h', 'i'})); // not a model: skipped
    run_result r;
    json report = run_json({here}, &r);
    EXPECT_EQ(r.status, 0) << r.out;
    ASSERT_TRUE(report.is_object()) << r.out;
    for (const json &found : report["findings"])
        EXPECT_EQ(found["code"], "ANIMATION_FITS") << found.dump();
    EXPECT_EQ(report["summary"]["files"], 3);
    EXPECT_EQ(report["summary"]["errors"], 0);
    EXPECT_EQ(report["summary"]["warnings"], 0);
    std::vector<json> fits = findings_of(report, "ANIMATION_FITS");
    ASSERT_EQ(fits.size(), 1u);
    EXPECT_NE(fits[0]["message"].get<std::string>().find("gun.tkm, near.tkm"), std::string::npos);
}

TEST_F(Check, ReadFailureNamesTheOctetAndTheReadersLine) {
    std::string broken = broken_mesh();
    const long size = long(fs::file_size(broken));
    run_result r = run({"check", broken});
    EXPECT_EQ(r.status, 1);
    // The reader stops where the file ends, inside the vertex it was reading.
    const std::string expected_start = broken + ":" + std::to_string(size) + ": error: ";
    EXPECT_EQ(r.out.rfind(expected_start, 0), 0u) << r.out;
    EXPECT_NE(r.out.find("[READ_FAILED]\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("code 19"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("vertex 0 of 4"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find(broken, 1), std::string::npos) << "the path once, at the start: " << r.out;
    EXPECT_EQ(r.out.substr(r.out.find('\n') + 1), "Checked 1 file: 1 error, 0 warnings\n");
    json report = run_json({broken});
    std::vector<json> failed = findings_of(report, "READ_FAILED");
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0]["offset"], size);
    EXPECT_TRUE(failed[0]["pointer"].is_null());
}

TEST_F(Check, NamedPathsAreErrorsWhenUnreadableOrOfNoFormat) {
    std::string notes = dir / "notes.txt";
    ASSERT_TRUE(write_fixture(notes, {'n', 'o', 't', ' ', 'a', ' ', 'm', 'o', 'd', 'e',
                                      'l', '.', '.', '.', '.', '.', '.', '.', '.', '.'}));
    run_result r = run({"check", dir / "missing.tkm", notes, gun});
    EXPECT_EQ(r.status, 1);
    // In the order given, the summary after them.
    const std::string missing_line = dir / "missing.tkm" +
                                     ": error: the file cannot be read: No such file or "
                                     "directory [FILE_UNREADABLE]\n";
    EXPECT_EQ(r.out.rfind(missing_line, 0), 0u) << r.out;
    size_t unknown = r.out.find(notes + ": error: ");
    size_t gun_line = r.out.find(gun + ": ");
    EXPECT_NE(unknown, std::string::npos) << r.out;
    EXPECT_NE(r.out.find("[UNKNOWN_FORMAT]"), std::string::npos) << r.out;
    EXPECT_LT(unknown, gun_line) << r.out;
    EXPECT_NE(r.out.find("Checked 2 files: 2 errors, 1 warning\n"), std::string::npos) << r.out;
}

TEST_F(Check, ExitStatuses) {
    std::string here = folder("warned");
    ASSERT_TRUE(write_fixture(here + "/gun.tkm", tkm_bytes(small_tkm()))); // texture missing
    ASSERT_TRUE(write_fixture(dir / "skin.bmp", {'B', 'M'}));
    struct status_case {
        std::vector<std::string> args;
        int status;
    };
    const status_case cases[] = {
        {{"check", gun, swing}, 0},             // information only
        {{"check", here}, 0},                   // a warning
        {{"check", "--werror", here}, 1},       // a warning counted as an error
        {{"check", "--werror", gun, swing}, 0}, // information is no warning
        {{"check", broken_mesh()}, 1},          // an error
        {{"check"}, 2},                         // no PATH
        {{"check", "--bogus", gun}, 2},         // unknown option
        {{"check", "--json"}, 2},
    };
    for (const status_case &c : cases) {
        run_result r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.back() << "\n" << r.out << r.err;
    }
}

TEST_F(Check, JsonHoldsTheSameFindingsAsTheLines) {
    std::string here = folder("both");
    ASSERT_TRUE(write_fixture(here + "/gun.tkm", tkm_bytes(small_tkm())));
    ASSERT_TRUE(write_fixture(here + "/swing.tka", tka_bytes(small_tka(3))));
    run_result lines = run({"check", here});
    json report = run_json({here});
    ASSERT_TRUE(report.is_object());
    std::string rebuilt;
    for (const json &found : report["findings"]) {
        for (const char *key :
             {"file", "code", "severity", "message", "offset", "pointer", "record"})
            EXPECT_TRUE(found.contains(key)) << key;
        std::string place =
            found["offset"].is_null() ? "" : ":" + std::to_string(found["offset"].get<long>());
        rebuilt += found["file"].get<std::string>() + place + ": " +
                   found["severity"].get<std::string>() + ": " +
                   found["message"].get<std::string>() + " [" + found["code"].get<std::string>() +
                   "]\n";
    }
    rebuilt += "Checked 2 files: 0 errors, 1 warning, 1 information\n";
    EXPECT_EQ(lines.out, rebuilt);
    EXPECT_EQ(report["summary"]["files"], 2);
    EXPECT_EQ(report["summary"]["warnings"], 1);
    EXPECT_EQ(report["summary"]["information"], 1);
}

TEST_F(Check, MisnamedFilesAreCheckedAsWhatTheyAre) {
    std::string here = folder("misnamed");
    ASSERT_TRUE(write_fixture(here + "/skin.bmp", {'B', 'M'}));
    ASSERT_TRUE(write_fixture(here + "/gun.ms3d", tkm_bytes(clean_gun())));
    ASSERT_TRUE(write_fixture(here + "/gun.dat", tka_bytes(small_tka(3)))); // found by content
    json report = run_json({here});
    std::vector<json> misnamed = findings_of(report, "MISNAMED_FILE");
    ASSERT_EQ(misnamed.size(), 2u) << report.dump(1);
    EXPECT_NE(misnamed[0]["message"].get<std::string>().find("TKA animation"), std::string::npos);
    EXPECT_NE(misnamed[1]["message"].get<std::string>().find("TKM model, though its name says "
                                                             "Milkshape"),
              std::string::npos)
        << misnamed[1].dump();
    // Read by the TKM reader, so no refusal; and the animation still finds its mesh.
    EXPECT_TRUE(findings_of(report, "READ_FAILED").empty()) << report.dump(1);
    EXPECT_TRUE(findings_of(report, "CONVERT_REFUSED").empty()) << report.dump(1);
    EXPECT_EQ(findings_of(report, "ANIMATION_FITS").size(), 1u) << report.dump(1);
}

TEST_F(Check, FoldersAreWalkedInNameOrderAndLoopsOnce) {
    std::string top = folder("mod");
    std::string inner = folder("mod/b");
    ASSERT_TRUE(write_fixture(top + "/c.tkm", tkm_bytes(small_tkm())));
    ASSERT_TRUE(write_fixture(inner + "/a.tkm", tkm_bytes(small_tkm())));
    ASSERT_TRUE(write_fixture(top + "/a.tkm", tkm_bytes(small_tkm())));
    fs::create_directory_symlink("..", inner + "/up"); // mod/b/up is mod again
    fs::create_directory_symlink(".", top + "/self");
    run_result r = run({"check", top});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    // One warning each (the missing texture), in sorted order, each file once.
    const std::string expected_files[] = {top + "/a.tkm", top + "/b/a.tkm", top + "/c.tkm"};
    size_t at = 0;
    for (const std::string &file : expected_files) {
        size_t found = r.out.find(file + ": warning:", at);
        ASSERT_NE(found, std::string::npos) << file << "\n" << r.out;
        at = found + 1;
    }
    EXPECT_NE(r.out.find("Checked 3 files: 0 errors, 3 warnings\n"), std::string::npos) << r.out;
}

TEST_F(Check, UnreadableFolderIsAFinding) {
    std::string top = folder("mod");
    std::string locked = folder("mod/locked");
    ASSERT_TRUE(write_fixture(locked + "/a.tkm", tkm_bytes(small_tkm())));
    ASSERT_EQ(chmod(locked.c_str(), 0), 0);
    std::vector<std::string> args = {"check", top};
    if (geteuid() == 0) {
        // Root lists any folder: run as nobody, who may enter the test's folder but not locked.
        if (std::system("command -v setpriv >/dev/null") != 0)
            GTEST_SKIP() << "running as root without setpriv: no folder is unreadable to root";
        ASSERT_EQ(chmod(dir.path.c_str(), 0755), 0);
        ASSERT_EQ(chmod(top.c_str(), 0755), 0);
        args = {"check", top};
        run_result r = run_tool(
            dir, "setpriv",
            {"--reuid=65534", "--regid=65534", "--clear-groups", TKMTOOL_PATH, "check", top});
        chmod(locked.c_str(), 0755);
        EXPECT_EQ(r.status, 1) << r.out << r.err;
        EXPECT_EQ(r.out, locked + ": error: the folder cannot be listed: Permission denied "
                                  "[FOLDER_UNREADABLE]\nChecked 0 files: 1 error, 0 warnings\n");
        return;
    }
    run_result r = run(args);
    chmod(locked.c_str(), 0755);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, locked + ": error: the folder cannot be listed: Permission denied "
                              "[FOLDER_UNREADABLE]\nChecked 0 files: 1 error, 0 warnings\n");
}

// Every file and its octets under root.
std::map<std::string, std::vector<unsigned char>> snapshot(const fs::path &root) {
    std::map<std::string, std::vector<unsigned char>> files;
    for (const auto &entry : fs::recursive_directory_iterator(root))
        files[entry.path().generic_string()] = entry.is_regular_file()
                                                   ? read_all(entry.path().string())
                                                   : std::vector<unsigned char>{};
    return files;
}

TEST_F(Check, NothingIsWritten) {
    std::string here = folder("mod");
    gltf_fixture::model textured = gltf_fixture::chain_model(2);
    gltf_fixture::image skin;
    skin.name = "skin";
    skin.bytes = gltf_fixture::png(2, 2, {200, 10, 10});
    textured.images = {skin};
    textured.materials[0].image = 0;
    ASSERT_TRUE(
        write_fixture(here + "/officer.glb", gltf_fixture::glb(gltf_fixture::build(textured))));
    ASSERT_TRUE(
        write_fixture(here + "/officer.gltf", gltf_fixture::gltf(gltf_fixture::build(textured))));
    ASSERT_TRUE(
        write_fixture(here + "/tri.ms3d", ms3d_fixture::bytes(ms3d_fixture::triangle_model())));
    ASSERT_TRUE(write_fixture(here + "/gun.tkm", tkm_bytes(small_tkm())));
    auto before = snapshot(dir.path / "mod");
    run_result r = run({"check", here}, here);
    EXPECT_LE(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("Checked 4 files"), std::string::npos) << r.out;
    EXPECT_TRUE(snapshot(dir.path / "mod") == before) << r.out;
}

TEST_F(Check, FuzzCorporaNeverCrashIt) {
    run_result r = run({"check", std::string(TARVIK_SOURCE_DIR) + "/fuzz/corpus"});
    EXPECT_TRUE(r.status == 0 || r.status == 1) << r.status << "\n" << r.err.substr(0, 2000);
    EXPECT_NE(r.out.find("\nChecked "), std::string::npos);
}

// A conversion's words that another finding already gives are not repeated as a note.
TEST_F(Check, ConversionNotesRepeatNoFinding) {
    std::string here = folder("mod");
    ASSERT_TRUE(
        write_fixture(here + "/three.ms3d", ms3d_fixture::bytes(ms3d_fixture::chain_model(3))));
    json report = run_json({here});
    EXPECT_EQ(findings_of(report, "UNKNOWN_BONE_COUNT").size(), 1u) << report.dump(1);
    EXPECT_TRUE(findings_of(report, "CONVERT_NOTE").empty()) << report.dump(1);
}

// The progress line is for a person at a terminal: none in a file, one erased in place at one.
TEST_F(Check, ProgressOnlyOnATerminal) {
    run_result plain = run({"check", gun});
    EXPECT_EQ(plain.err, "");
    if (std::system("command -v script >/dev/null") != 0)
        GTEST_SKIP() << "no script(1) to give tkmtool a terminal";
    run_result shown = run_tool(
        dir, "script",
        {"-qec", shell_quoted(TKMTOOL_PATH) + " check " + shell_quoted(gun) + " 2>&1 >/dev/null",
         "/dev/null"});
    EXPECT_NE(shown.out.find("\rchecked 1 of 1 files"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("\r\033[K"), std::string::npos) << shown.out;
}

} // namespace
