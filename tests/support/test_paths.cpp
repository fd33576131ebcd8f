// SPDX-License-Identifier: MIT
// Path pieces, environment expansion, bounded copies and string equality.
#include <cstdlib>
#include <cstring>

#include "support_test.h"

namespace {

// Takes a block returned by get_dirname/get_basename and gives its text, releasing the block.
std::string take(char *block) {
    EXPECT_NE(block, nullptr);
    std::string text = block ? block : "";
    cleanup_one(block);
    return text;
}

} // namespace

// The environment as the expansion reads it, on either system.
void set_variable(const char *name, const char *value) {
#ifdef _WIN32
    _putenv_s(name, value ? value : "");
#else
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
#endif
}

TEST(paths, file_extension_points_after_the_last_dot) {
    const char *model = "model.tkm";
    EXPECT_EQ(file_extension(model), model + 6);
    const char *bare = "model";
    EXPECT_EQ(file_extension(bare), bare);
    const char *dot_first = ".tkm";
    EXPECT_STREQ(file_extension(dot_first), "tkm");
    const char *empty = "";
    EXPECT_EQ(file_extension(empty), empty);
    EXPECT_STREQ(file_extension("dir.old\\model"), "old\\model");
    EXPECT_STREQ(file_extension("a.b.c"), "c");
    EXPECT_EQ(file_extension(nullptr), nullptr);
}

TEST(paths, dirname_keeps_its_final_separator) {
    EXPECT_EQ(take(get_dirname("C:\\meshes\\model.tkm")), "C:\\meshes\\");
    EXPECT_EQ(take(get_dirname("model.tkm")), "");
    EXPECT_EQ(take(get_dirname("/x")), "/");
    EXPECT_EQ(take(get_dirname("a/b\\c")), "a/b\\");
    EXPECT_EQ(take(get_dirname("/home/user/m.tkm")), "/home/user/");
#ifdef _WIN32
    // A drive's current folder: a scratch file beside "D:m.tkm" must be "D:<name>", not a stream.
    EXPECT_EQ(take(get_dirname("D:m.tkm")), "D:");
#else
    EXPECT_EQ(take(get_dirname("D:m.tkm")), "");
#endif
}

TEST(paths, basename_is_the_part_after_the_last_separator) {
    EXPECT_EQ(take(get_basename("C:\\meshes\\model.tkm")), "model.tkm");
    EXPECT_EQ(take(get_basename("a/b\\c")), "c");
    EXPECT_EQ(take(get_basename("model.tkm")), "model.tkm");
    EXPECT_EQ(take(get_basename("dir\\")), "");
#ifdef _WIN32
    EXPECT_EQ(take(get_basename("D:m.tkm")), "m.tkm");
#else
    EXPECT_EQ(take(get_basename("D:m.tkm")), "D:m.tkm");
#endif
}

TEST(paths, canonical_path_expands_defined_references_only) {
    set_variable("TARVIK_TEST_ROOT", "/data/swat");
    set_variable("TARVIK_TEST_UNSET", nullptr);
    char out[64];
    std::memset(out, '#', sizeof out);
    EXPECT_EQ(canonical_path(out, "%TARVIK_TEST_ROOT%\\meshes", sizeof out), 18u);
    EXPECT_STREQ(out, "/data/swat\\meshes");
    EXPECT_EQ(canonical_path(out, "%TARVIK_TEST_UNSET%/x", sizeof out), 22u);
    EXPECT_STREQ(out, "%TARVIK_TEST_UNSET%/x");
    EXPECT_EQ(canonical_path(out, "100% sure", sizeof out), 10u);
    EXPECT_STREQ(out, "100% sure");
    EXPECT_EQ(canonical_path(out, "a%%b", sizeof out), 5u);
    EXPECT_STREQ(out, "a%%b");
    EXPECT_EQ(canonical_path(out, "", sizeof out), 1u);
    EXPECT_STREQ(out, "");
}

TEST(paths, canonical_path_that_does_not_fit_leaves_the_destination_alone) {
    set_variable("TARVIK_TEST_ROOT", "/data/swat");
    char out[8];
    std::memset(out, '#', sizeof out);
    EXPECT_EQ(canonical_path(out, "%TARVIK_TEST_ROOT%", sizeof out), 11u);
    EXPECT_EQ(std::string(out, sizeof out), "########");
    char exact[11];
    EXPECT_EQ(canonical_path(exact, "%TARVIK_TEST_ROOT%", sizeof exact), 11u);
    EXPECT_STREQ(exact, "/data/swat");
}

TEST(paths, environment_path_copies_within_its_bound) {
    char out[8];
    EXPECT_EQ(environment_path("abc", out, sizeof out), 3);
    EXPECT_STREQ(out, "abc");
    EXPECT_EQ(environment_path("%PATH%", out, sizeof out), 6);
    EXPECT_STREQ(out, "%PATH%");
    // Exactly the buffer's size: no room for the terminator.
    EXPECT_EQ(environment_path("12345678", out, sizeof out), 8);
    EXPECT_EQ(out[7], '\0');
    EXPECT_LT(environment_path("123456789", out, sizeof out), 0);
    EXPECT_EQ(out[7], '\0');
}

TEST(strings, equals_is_exact_and_equiv_ignores_case) {
    EXPECT_EQ(str_equiv("MUZZLE", "muzzle"), 1);
    EXPECT_EQ(str_equals("MUZZLE", "muzzle"), 0);
    EXPECT_EQ(str_equals("muzzle", "muzzle"), 1);
    EXPECT_EQ(str_equals("muzz", "muzzle"), 0);
    EXPECT_EQ(str_equiv("muzzle", "muzz"), 0);
    EXPECT_EQ(str_equiv("FlashLight", "FLASHLIGHT"), 1);
    EXPECT_EQ(str_equiv("", ""), 1);
    EXPECT_EQ(str_equiv("\xC4", "\xE4"), 0);
    EXPECT_EQ(str_equiv("\xC4x", "\xC4X"), 1);
}
