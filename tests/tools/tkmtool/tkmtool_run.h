// SPDX-License-Identifier: MIT
// tkmtool run as a program from the tests: a directory holding a small weapon, a three-frame
// animation of its skeleton and the means to break the weapon.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fixtures/tkm_builder.h"
#include "tests/tools/tkmtool/tool_runner.h"

using namespace tkm_fixture;

using run_result = tool_result;

struct Tkmtool : testing::Test {
    temp_dir dir;
    std::string gun = dir / "gun.tkm";
    std::string swing = dir / "swing.tka";
    void SetUp() override {
        ASSERT_TRUE(write_fixture(gun, tkm_bytes(small_tkm())));
        ASSERT_TRUE(write_fixture(swing, tka_bytes(small_tka(3))));
    }
    // Runs tkmtool with args, from the directory cwd when one is given.
    run_result run(const std::vector<std::string> &args, const std::string &cwd = "") {
        return run_tool(dir, TKMTOOL_PATH, args, cwd);
    }
    // The small weapon cut inside its first vertex position (code 19).
    std::string broken_mesh() {
        labelled_bytes file = tkm_bytes_labelled(small_tkm());
        size_t cut = 0;
        while (file.codes[cut] != 19)
            ++cut;
        std::string path = dir / "broken.tkm";
        write_fixture(path,
                      std::vector<uint8_t>(file.bytes.begin(), file.bytes.begin() + long(cut) + 5));
        return path;
    }
};
