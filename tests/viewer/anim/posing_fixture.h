// SPDX-License-Identifier: MIT
// The two-bone gun mesh the posing tests pose, and the check of a posed vertex.
#pragma once

#include <gtest/gtest.h>

#include "tests/fixtures/mesh_loading.h"

struct posing_fixture : testing::Test {
    temp_dir dir;
    int code = -1;
    tkm_fixture::mesh_ptr mesh;
    void SetUp() override {
        using namespace tkm_fixture;
        mesh = read_mesh_bytes(dir, tkm_bytes(small_tkm()), &code, "gun.tkm");
        ASSERT_EQ(code, 0);
    }
    // small_tka with num_frames frames, loaded against the mesh; code gets the loader's result.
    tkm_fixture::animation_ptr load_swing(int num_frames) {
        using namespace tkm_fixture;
        return load_animation_bytes(dir, tka_bytes(small_tka(num_frames)), mesh.get(), &code);
    }
    void expect_vertex(int index, float x, float y, float z) {
        const float *m = mesh->vertices[index].world;
        EXPECT_NEAR(m[12], x, 1e-5) << "vertex " << index;
        EXPECT_NEAR(m[13], y, 1e-5) << "vertex " << index;
        EXPECT_NEAR(m[14], z, 1e-5) << "vertex " << index;
    }
};
