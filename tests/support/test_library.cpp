// SPDX-License-Identifier: MIT
// Loading shared libraries into a list and finding functions in list order.
#include "support_test.h"

extern "C" {
#include "library.h"
}

namespace {

using probe_function = int (*)();

int call(void *address) {
    return reinterpret_cast<probe_function>(address)();
}

} // namespace

TEST(library, an_empty_list_finds_nothing) {
    library_list list{7, nullptr};
    EXPECT_EQ(initialise_library_list(&list), 0);
    EXPECT_EQ(list.count, 0u);
    EXPECT_EQ(list.libraries, nullptr);
    EXPECT_EQ(find_function("probe_value", &list), nullptr);
    EXPECT_EQ(find_function(nullptr, &list), nullptr);
    EXPECT_EQ(find_function("probe_value", nullptr), nullptr);
    EXPECT_EQ(alloc_libraries(0), nullptr);
}

TEST(library, the_first_loaded_library_wins) {
    library_list list;
    initialise_library_list(&list);
    library_handle first = load_library(PROBE_FIRST, &list);
    library_handle second = load_library(PROBE_SECOND, &list);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    ASSERT_EQ(list.count, 2u);
    EXPECT_EQ(list.libraries[0], first);
    EXPECT_EQ(list.libraries[1], second);
    EXPECT_EQ(call(find_function("probe_value", &list)), 1);
    EXPECT_EQ(call(get_function("probe_value", second)), 2);
    EXPECT_EQ(get_function("no_such_function", first), nullptr);
    EXPECT_EQ(get_function(nullptr, first), nullptr);
    EXPECT_EQ(get_function("probe_value", nullptr), nullptr);

    // Unloading the first leaves the second as the only entry, now found first.
    EXPECT_EQ(unload_library(first, &list), 0);
    ASSERT_EQ(list.count, 1u);
    EXPECT_EQ(list.libraries[0], second);
    EXPECT_EQ(call(find_function("probe_value", &list)), 2);

    EXPECT_EQ(unload_library(second, &list), 0);
    EXPECT_EQ(list.count, 0u);
    EXPECT_EQ(list.libraries, nullptr);

    library_handle again = load_library(PROBE_FIRST, &list);
    ASSERT_EQ(list.count, 1u);
    EXPECT_EQ(list.libraries[0], again);
    unload_library(again, &list);
}

TEST(library, a_missing_library_leaves_the_list_unchanged) {
    library_list list;
    initialise_library_list(&list);
    library_handle first = load_library(PROBE_FIRST, &list);
    EXPECT_EQ(load_library("libtarvik-no-such-library.so", &list), nullptr);
    EXPECT_EQ(load_library(nullptr, &list), nullptr);
    EXPECT_EQ(list.count, 1u);
    unload_library(first, &list);
}

TEST(library, unloading_an_unlisted_library_keeps_the_list) {
    library_list list;
    initialise_library_list(&list);
    library_handle listed = load_library(PROBE_FIRST, &list);
    library_handle unlisted = load_library(PROBE_SECOND, nullptr);
    ASSERT_NE(unlisted, nullptr);
    EXPECT_EQ(unload_library(unlisted, &list), 0);
    ASSERT_EQ(list.count, 1u);
    EXPECT_EQ(list.libraries[0], listed);
    EXPECT_EQ(unload_library(nullptr, &list), 0);
    EXPECT_EQ(unload_library(listed, nullptr), 0);
    free(list.libraries);
}
