// SPDX-License-Identifier: MIT
// Zero-filled blocks and block arrays, with failing makers.
#include <cstring>

#include "support_test.h"

namespace {

int made = 0;
int fail_at = 0;

// A maker that fails on its fail_at-th call (1-based).
void *counting_maker() {
    made++;
    if (made == fail_at) return nullptr;
    return alloc_one(16);
}

} // namespace

TEST(memory, blocks_are_zero_filled_and_empty_ones_are_valid) {
    auto *block = static_cast<unsigned char *>(alloc_one(64));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 64; i++)
        EXPECT_EQ(block[i], 0);
    EXPECT_NE(cleanup_one(block), 0);
    void *empty = alloc_one(0);
    EXPECT_NE(empty, nullptr);
    cleanup_one(empty);
    EXPECT_EQ(cleanup_one(nullptr), 0);
}

TEST(memory, alloc_lots_makes_every_entry) {
    void **array = alloc_lots(5, 8, nullptr);
    ASSERT_NE(array, nullptr);
    for (int i = 0; i < 5; i++) {
        ASSERT_NE(array[i], nullptr);
        EXPECT_EQ(static_cast<unsigned char *>(array[i])[7], 0);
    }
    cleanup_lots(5, array);
    void **none = alloc_lots(0, 8, nullptr);
    EXPECT_NE(none, nullptr);
    cleanup_lots(0, none);
}

TEST(memory, alloc_lots_whose_maker_fails_gives_null) {
    made = 0;
    fail_at = 3;
    EXPECT_EQ(alloc_lots(5, 16, counting_maker), nullptr);
    EXPECT_EQ(made, 3);
}

TEST(memory, alloc_more_grows_and_copies_the_old_entries) {
    void **old = alloc_lots(2, 4, nullptr);
    ASSERT_NE(old, nullptr);
    std::memcpy(old[0], "abc", 4);
    std::memcpy(old[1], "xyz", 4);
    void **grown = alloc_more(3, 4, nullptr, 2, old);
    ASSERT_NE(grown, nullptr);
    EXPECT_STREQ(static_cast<char *>(grown[0]), "abc");
    EXPECT_STREQ(static_cast<char *>(grown[1]), "xyz");
    for (int i = 2; i < 5; i++)
        EXPECT_EQ(static_cast<char *>(grown[i])[0], 0);
    cleanup_lots(5, grown);
}

TEST(memory, alloc_more_whose_maker_fails_keeps_the_old_array) {
    void **old = alloc_lots(2, 16, nullptr);
    std::memcpy(old[1], "kept", 5);
    made = 0;
    fail_at = 2;
    EXPECT_EQ(alloc_more(3, 16, counting_maker, 2, old), nullptr);
    EXPECT_STREQ(static_cast<char *>(old[1]), "kept");
    cleanup_lots(2, old);
}

TEST(memory, cleanup_lots_skips_null_entries) {
    void **array = alloc_lots(3, 4, nullptr);
    cleanup_one(array[1]);
    array[1] = nullptr;
    cleanup_lots(3, array);
    cleanup_lots(0, nullptr);
    SUCCEED() << "the sanitizer build checks that nothing was released twice";
}
