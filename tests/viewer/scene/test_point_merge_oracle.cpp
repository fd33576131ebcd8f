// SPDX-License-Identifier: MIT
// The grid merges against the plain scans they replace: on generated models up to the format's
// limits, converting with either gives the same mesh, byte for byte.
#include "viewer/ms3d/ms3d_test.h"

#include <cstring>
#include <limits>

#include "viewer/scene/point_merge.h"

namespace fx = ms3d_fixture;

namespace {

template <typename T> bool same_array(const T *a, const T *b, uint32_t count) {
    return count == 0 || std::memcmp(a, b, count * sizeof(T)) == 0;
}

void expect_same_mesh(const tkm_mesh &a, const tkm_mesh &b) {
    ASSERT_EQ(a.num_vertices, b.num_vertices);
    EXPECT_TRUE(same_array(a.vertices, b.vertices, a.num_vertices));
    ASSERT_EQ(a.num_runs, b.num_runs);
    EXPECT_TRUE(same_array(a.runs, b.runs, a.num_runs));
    ASSERT_EQ(a.num_texcoords, b.num_texcoords);
    EXPECT_TRUE(same_array(a.texcoords, b.texcoords, a.num_texcoords));
    ASSERT_EQ(a.num_corners, b.num_corners);
    EXPECT_TRUE(same_array(a.corners, b.corners, a.num_corners));
    ASSERT_EQ(a.num_triangles, b.num_triangles);
    EXPECT_TRUE(same_array(a.triangles, b.triangles, a.num_triangles));
    ASSERT_EQ(a.num_material_runs, b.num_material_runs);
    EXPECT_TRUE(same_array(a.material_runs, b.material_runs, a.num_material_runs));
}

struct both {
    conversion grid, scan;
};

both convert_both_ways(const fx::model &m) {
    both result;
    result.grid = convert_fixture(m, merge_method::grid);
    result.scan = convert_fixture(m, merge_method::scan);
    return result;
}

TEST(merge_oracle, small_models_of_many_shapes) {
    for (uint32_t seed = 1; seed <= 40; seed++) {
        SCOPED_TRACE(seed);
        const uint16_t vertices = uint16_t(3 + seed * 37 % 500);
        const uint16_t triangles = uint16_t(1 + seed * 53 % 300);
        both c = convert_both_ways(fx::generated_model(vertices, triangles, 52, seed));
        ASSERT_EQ(c.grid.result, 0) << c.grid.err;
        ASSERT_EQ(c.scan.result, 0) << c.scan.err;
        EXPECT_LT(c.grid.mesh->num_vertices, vertices) << "the fixture must make merges";
        EXPECT_LT(c.grid.mesh->num_texcoords, 3 * triangles);
        expect_same_mesh(*c.grid.mesh, *c.scan.mesh);
    }
}

TEST(merge_oracle, at_the_formats_limits) {
    both c = convert_both_ways(fx::generated_model(65535, 21845, 52, 2026));
    ASSERT_EQ(c.grid.result, 0) << c.grid.err;
    ASSERT_EQ(c.scan.result, 0) << c.scan.err;
    EXPECT_EQ(c.grid.mesh->num_corners, 65535);
    EXPECT_LT(c.grid.mesh->num_vertices, 50000);
    EXPECT_LT(c.grid.mesh->num_texcoords, 40000);
    expect_same_mesh(*c.grid.mesh, *c.scan.mesh);
}

// Direct checks of the grid on the cases where a cell-based search could go wrong.
TEST(merge_oracle, grid_edges) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    // Across a cell boundary (0.001 wide), at the tolerance, with huge and odd coordinates.
    const std::vector<float> points = {
        0.00099f,    0,   0,   0.00101f, 0,   0, // neighbours across a boundary: merged
        -0.0000499f, 0,   0,   0.00005f, 0,   0, // across zero: merged
        5,           5,   5,   5.0002f,  5,   5, // too far
        5.00009f,    5,   5,                     // near the kept 5 only
        3e38f,       1,   1,   3e38f,    1,   1, // huge and equal
        -3e38f,      1,   1,                     // huge and far: the difference overflows
        nan,         5,   5,                     // matches the first kept point near (?, 5, 5)
        7,           inf, 7,   7,        inf, 7, // inf - inf is not a number: merged
        1,           2,   nan,                   // the scan decides; compared with every kept point
    };
    const uint32_t count = uint32_t(points.size() / 3);
    const point_merge merge = merge_nearly_equal_points(points.data(), count);
    // The plain scan, as the oracle.
    std::vector<uint32_t> kept, expected(count);
    for (uint32_t i = 0; i < count; i++) {
        bool found = false;
        for (uint32_t r = 0; r < kept.size(); r++)
            if (vec3_nearly_equal(&points[3 * i], &points[3 * kept[r]])) {
                expected[i] = r;
                found = true;
                break;
            }
        if (!found) {
            expected[i] = uint32_t(kept.size());
            kept.push_back(i);
        }
    }
    EXPECT_EQ(merge.num_kept, kept.size());
    EXPECT_EQ(merge.new_index, expected);
    EXPECT_EQ(merge.new_index[1], 0u);
    EXPECT_EQ(merge.new_index[3], merge.new_index[2]);
    EXPECT_NE(merge.new_index[5], merge.new_index[4]);
    EXPECT_EQ(merge.new_index[6], merge.new_index[4]);
    EXPECT_EQ(merge.new_index[8], merge.new_index[7]);
    EXPECT_NE(merge.new_index[9], merge.new_index[7]);
    EXPECT_EQ(merge.new_index[10], merge.new_index[4]);
    EXPECT_EQ(merge.new_index[12], merge.new_index[11]);
}

} // namespace
