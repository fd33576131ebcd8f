// SPDX-License-Identifier: MIT
// choose_file's own logic behind a seam that answers in place of the GTK dialog: what the dialog
// is asked, the filter index written back, the default extension, the in-use refusal, and paths
// that do not fit.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "viewer/app/app_state.h"
#include "viewer/gui/file_chooser.h"

namespace {

constexpr file_filter mesh_filters[] = {
    {"Model files", "*.tkm;*.ms3d"},
    {"TarvikMesh files", "*.tkm"},
    {"All files", "*.*"},
};

struct recorded_request {
    int32_t save = -1;
    std::vector<std::string> descriptions;
    std::vector<std::string> patterns;
    std::string title;
    std::string directory;
    uint32_t filter_index = 0;
    int32_t in_use = 0;
};

recorded_request last_request;
chooser_reply next_reply;
int calls = 0;

chooser_reply record_and_answer(const chooser_request &request) {
    calls++;
    last_request = recorded_request{};
    last_request.save = request.save;
    for (const file_filter &filter : request.filters) {
        last_request.descriptions.push_back(filter.description);
        last_request.patterns.push_back(filter.patterns);
    }
    last_request.title = request.title;
    last_request.directory = request.initial_directory;
    last_request.filter_index = request.filter_index;
    last_request.in_use = chooser_in_use();
    return next_reply;
}

chooser_reply accept(const std::string &path, uint32_t filter) {
    chooser_reply reply;
    reply.accepted = 1;
    reply.path = path;
    reply.filter_index = filter;
    return reply;
}

chooser_reply cancel(uint32_t filter) {
    chooser_reply reply;
    reply.filter_index = filter;
    return reply;
}

class FileChooser : public ::testing::Test {
  protected:
    void SetUp() override {
        calls = 0;
        set_chooser_answer_hook(record_and_answer);
        std::strcpy(app_state.chosen_path, "left over");
        app_state.chosen_name_offset = 3;
    }
    void TearDown() override { set_chooser_answer_hook(nullptr); }
};

TEST_F(FileChooser, OpenRequestCarriesFiltersTitleDirectoryAndIndex) {
    next_reply = accept("/models/swat/SWT_officer.tkm", 2);
    uint32_t index = 2;
    ASSERT_EQ(choose_file(nullptr, mesh_filters, "Load TarvikMesh", "/models", &index), 1);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(last_request.save, 0);
    EXPECT_EQ(last_request.descriptions,
              (std::vector<std::string>{"Model files", "TarvikMesh files", "All files"}));
    EXPECT_EQ(last_request.patterns, (std::vector<std::string>{"*.tkm;*.ms3d", "*.tkm", "*.*"}));
    EXPECT_EQ(last_request.title, "Load TarvikMesh");
    EXPECT_EQ(last_request.directory, "/models");
    EXPECT_EQ(last_request.filter_index, 2u);
    EXPECT_EQ(last_request.in_use, 1);
    EXPECT_EQ(chooser_in_use(), 0);
    EXPECT_STREQ(app_state.chosen_path, "/models/swat/SWT_officer.tkm");
    EXPECT_EQ(app_state.chosen_name_offset, 13);
    EXPECT_EQ(chosen_directory(), "/models/swat");
}

TEST_F(FileChooser, FilterIndexIsWrittenBackOnAcceptAndOnCancel) {
    uint32_t index = 1;
    next_reply = accept("/a/b.tkm", 3);
    EXPECT_EQ(choose_file(nullptr, mesh_filters, "t", "", &index), 1);
    EXPECT_EQ(index, 3u);

    next_reply = cancel(2);
    EXPECT_EQ(choose_file("bmp", mesh_filters, "t", "", &index), 0);
    EXPECT_EQ(last_request.filter_index, 3u);
    EXPECT_EQ(index, 2u);
    EXPECT_STREQ(app_state.chosen_path, "");
}

TEST_F(FileChooser, WithoutAnIndexTheFirstFilterIsShown) {
    next_reply = cancel(3);
    EXPECT_EQ(choose_file(nullptr, mesh_filters, "t", nullptr, nullptr), 0);
    EXPECT_EQ(last_request.filter_index, 1u);
    EXPECT_EQ(last_request.directory, "");
}

TEST_F(FileChooser, SaveAddsTheDefaultExtensionOnlyWhenTheNameHasNone) {
    struct row {
        const char *typed;
        const char *stored;
    };
    const row rows[] = {
        {"/shots/shot", "/shots/shot.bmp"},
        {"/shots/shot.png", "/shots/shot.png"},
        {"/shots.d/shot", "/shots.d/shot.bmp"}, // a dot in the directory is not an extension
        {"C:\\shots.d\\shot", "C:\\shots.d\\shot.bmp"},
    };
    for (const row &r : rows) {
        next_reply = accept(r.typed, 1);
        ASSERT_EQ(choose_file("bmp", mesh_filters, "t", "", nullptr), 1) << r.typed;
        EXPECT_EQ(last_request.save, 1);
        EXPECT_STREQ(app_state.chosen_path, r.stored);
    }
    next_reply = accept("/models/plain", 1);
    ASSERT_EQ(choose_file(nullptr, mesh_filters, "t", "", nullptr), 1);
    EXPECT_STREQ(app_state.chosen_path, "/models/plain");
}

TEST_F(FileChooser, WindowsSeparatorsSplitNameAndDirectory) {
    next_reply = accept("C:\\art\\new.bmp", 1);
    ASSERT_EQ(choose_file(nullptr, mesh_filters, "t", "", nullptr), 1);
    EXPECT_EQ(app_state.chosen_name_offset, 7);
    EXPECT_EQ(chosen_directory(), "C:\\art");
}

chooser_reply answer_with_nested_call(const chooser_request &request) {
    // A second command started while the first chooser is shown.
    testing::internal::CaptureStderr();
    uint32_t index = 7;
    int32_t nested = choose_file(nullptr, request.filters, "second", "", &index);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(nested, 0);
    EXPECT_EQ(index, 7u);
    EXPECT_EQ(err, "THREAD SAFETY: Fileselector is in use!\n");
    EXPECT_EQ(chooser_in_use(), 1);
    return accept("/first/answer.tka", 1);
}

TEST_F(FileChooser, SecondChooserIsRefusedAndTheFirstAnswerStands) {
    set_chooser_answer_hook(answer_with_nested_call);
    ASSERT_EQ(choose_file(nullptr, mesh_filters, "first", "", nullptr), 1);
    EXPECT_STREQ(app_state.chosen_path, "/first/answer.tka");
    EXPECT_EQ(chooser_in_use(), 0);
}

TEST_F(FileChooser, PathThatDoesNotFitIsRefusedNotCut) {
    std::string path = "/" + std::string(path_capacity + 10, 'd') + "/file.tkm";
    next_reply = accept(path, 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(choose_file(nullptr, mesh_filters, "t", "", nullptr), 0);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("too long"), std::string::npos) << err;
    EXPECT_STREQ(app_state.chosen_path, "");

    // Longer than the old 260 characters but within this platform's paths: kept whole.
    std::string long_path = "/" + std::string(400, 'x') + "/file.tkm";
    next_reply = accept(long_path, 1);
    ASSERT_EQ(choose_file(nullptr, mesh_filters, "t", "", nullptr), 1);
    EXPECT_EQ(std::string(app_state.chosen_path), long_path);
    EXPECT_EQ(app_state.chosen_name_offset, 402);
}

TEST_F(FileChooser, FileInTheRootKeepsTheRootAsItsDirectory) {
    next_reply = accept("/top.tkm", 1);
    ASSERT_EQ(choose_file(nullptr, mesh_filters, "t", "", nullptr), 1);
    EXPECT_EQ(app_state.chosen_name_offset, 1);
    EXPECT_EQ(chosen_directory(), "/");
    next_reply = accept("bare.tkm", 1);
    ASSERT_EQ(choose_file(nullptr, mesh_filters, "t", "", nullptr), 1);
    EXPECT_EQ(app_state.chosen_name_offset, 0);
    EXPECT_EQ(chosen_directory(), "");
}

TEST_F(FileChooser, AcceptWithoutAPathCountsAsCancel) {
    next_reply = accept("", 1);
    EXPECT_EQ(choose_file(nullptr, mesh_filters, "t", "", nullptr), 0);
    EXPECT_STREQ(app_state.chosen_path, "");
}

} // namespace
