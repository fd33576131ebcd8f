// SPDX-License-Identifier: MIT
// Shared helpers of the Milkshape tests: reading fixtures and converting them.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "fixtures/ms3d_builder.h"
#include "viewer/mesh/mesh.h"
#include "viewer/ms3d/ms3d_convert.h"
#include "viewer/ms3d/ms3d_model.h"
#include "viewer/ms3d/ms3d_reader.h"
#include "viewer/scene/scene.h"
#include "viewer/scene/tkm_builder.h"

struct model_deleter {
    void operator()(ms3d_model *model) const { release_ms3d(model); }
};
struct mesh_deleter {
    void operator()(tkm_mesh *mesh) const { release_mesh(mesh); }
};
using model_ptr = std::unique_ptr<ms3d_model, model_deleter>;
using mesh_ptr = std::unique_ptr<tkm_mesh, mesh_deleter>;

// Reads bytes through a real file, the optional blocks as asked; *code gets read_ms3d's result.
inline model_ptr read_bytes(const std::vector<uint8_t> &bytes, int *code,
                            ms3d_extras_reading reading = ms3d_extras_strict) {
    ms3d_fixture::temp_file file(bytes);
    model_ptr model(create_ms3d());
    *code = read_ms3d(model.get(), file.path.c_str(), reading);
    return model;
}

// Reads a fixture that must be read successfully.
inline model_ptr read_fixture(const ms3d_fixture::model &fixture) {
    int code = -100;
    model_ptr model = read_bytes(ms3d_fixture::bytes(fixture), &code);
    EXPECT_EQ(code, 0);
    return model;
}

// The result of converting a fixture, with what it printed.
struct conversion {
    int result = -100;
    mesh_ptr mesh;
    std::string out;
    std::string err;
};

inline conversion convert_fixture(const ms3d_fixture::model &fixture,
                                  merge_method method = merge_method::grid) {
    conversion c;
    model_ptr model = read_fixture(fixture);
    c.mesh.reset(create_mesh());
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    c.result = convert_ms3d(c.mesh.get(), model.get(), method);
    c.out = testing::internal::GetCapturedStdout();
    c.err = testing::internal::GetCapturedStderr();
    return c;
}

// How many times needle occurs in text.
inline int count_of(const std::string &text, const std::string &needle) {
    int n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
        n++;
    return n;
}
