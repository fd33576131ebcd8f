// SPDX-License-Identifier: MIT
// The per-thread message sink of the viewer's copy: order, length and isolation between threads.
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

#include "support_test.h"

extern "C" {
#include "message_sink.h"
}

namespace {
struct collected {
    std::vector<std::pair<message_outlet, std::string>> messages;
};
void collect(message_outlet outlet, const char *text, void *user) {
    static_cast<collected *>(user)->messages.emplace_back(outlet, text);
}
} // namespace

// A sink takes both outlets' messages in the order they were made, whole however long, and the
// streams see none of them until it is removed.
TEST(messages, a_sink_takes_the_threads_messages_in_order_and_whole) {
    collected got;
    std::string long_path(3000, 'x');
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    set_message_sink(collect, &got);
    EXPECT_EQ(real_purr("%s\n", "first"), 6);
    EXPECT_EQ(real_meow("%s is not a TKM\n", long_path.c_str()),
              int(long_path.size() + std::strlen(" is not a TKM\n")));
    EXPECT_EQ(real_purr("third %d\n", 3), 8);
    void *user = nullptr;
    EXPECT_EQ(current_message_sink(&user), &collect);
    EXPECT_EQ(user, &got);
    set_message_sink(nullptr, &got);
    EXPECT_EQ(current_message_sink(&user), nullptr);
    EXPECT_EQ(user, nullptr);
    real_meow("after\n");
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "after\n");
    ASSERT_EQ(got.messages.size(), 3u);
    EXPECT_EQ(got.messages[0], std::make_pair(message_information, std::string("first\n")));
    EXPECT_EQ(got.messages[1], std::make_pair(message_error, long_path + " is not a TKM\n"));
    EXPECT_EQ(got.messages[2], std::make_pair(message_information, std::string("third 3\n")));
}

// Threads reading files side by side each keep their own messages.
TEST(messages, each_thread_has_its_own_sink) {
    constexpr int num_threads = 4;
    constexpr int num_messages = 200;
    std::vector<collected> got(num_threads);
    std::vector<std::thread> threads;
    for (int t = 0; t < num_threads; ++t)
        threads.emplace_back([t, &got] {
            set_message_sink(collect, &got[t]);
            for (int i = 0; i < num_messages; ++i)
                real_meow("thread %d message %d\n", t, i);
            set_message_sink(nullptr, nullptr);
        });
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(current_message_sink(nullptr), nullptr);
    for (int t = 0; t < num_threads; ++t) {
        ASSERT_EQ(got[t].messages.size(), size_t{num_messages});
        for (int i = 0; i < num_messages; ++i)
            EXPECT_EQ(got[t].messages[i].second,
                      "thread " + std::to_string(t) + " message " + std::to_string(i) + "\n");
    }
}
