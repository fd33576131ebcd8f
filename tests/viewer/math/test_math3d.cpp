// SPDX-License-Identifier: MIT
// Vector, matrix and quaternion math against values worked out by hand.
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <vector>

#include "viewer/math/math3d.h"

namespace {

constexpr float tolerance = 1e-6f;

void expect_vec3(const float *actual, float x, float y, float z, float eps = tolerance) {
    EXPECT_NEAR(actual[0], x, eps);
    EXPECT_NEAR(actual[1], y, eps);
    EXPECT_NEAR(actual[2], z, eps);
}

void expect_identity(const float *m, float eps) {
    for (int i = 0; i < 16; i++)
        EXPECT_NEAR(m[i], (i % 5 == 0) ? 1.0f : 0.0f, eps) << "element " << i;
}

// The textbook Hamilton product with sixteen multiplications, scalar last.
void hamilton(float *out, const float *p, const float *q) {
    out[0] = p[3] * q[0] + p[0] * q[3] + p[1] * q[2] - p[2] * q[1];
    out[1] = p[3] * q[1] - p[0] * q[2] + p[1] * q[3] + p[2] * q[0];
    out[2] = p[3] * q[2] + p[0] * q[1] - p[1] * q[0] + p[2] * q[3];
    out[3] = p[3] * q[3] - p[0] * q[0] - p[1] * q[1] - p[2] * q[2];
}

} // namespace

TEST(math, angle_constants_are_the_stored_single_precision_values) {
    EXPECT_EQ(degrees_to_radians, 0.01745329238474369f);
    EXPECT_EQ(radians_to_degrees, 57.2957763671875f);
    // One ulp below the float nearest 180/pi.
    EXPECT_EQ(std::nextafter(radians_to_degrees, 100.0f), 57.295780181884766f);
}

TEST(math, vectors_normalise_cross_and_average) {
    float v[3] = {3, 0, 4};
    vec3_normalize(v);
    expect_vec3(v, 0.6f, 0.0f, 0.8f);
    float out[3];
    const float w[3] = {0, 0, 2};
    vec3_normalized(out, w);
    expect_vec3(out, 0, 0, 1);
    expect_vec3(w, 0, 0, 2);
    const float x[3] = {1, 0, 0}, y[3] = {0, 1, 0};
    vec3_cross(out, x, y);
    expect_vec3(out, 0, 0, 1);
    const float a[3] = {0, 0, 0}, b[3] = {3, 0, 0}, c[3] = {0, 6, 3};
    triangle_centroid(out, a, b, c);
    expect_vec3(out, 1, 2, 1);
    // Counter-clockwise seen from +z gives +z.
    triangle_normal(out, a, b, c);
    expect_vec3(out, 0, -0.4472136f, 0.8944272f);
}

TEST(math, euler_matrix_turns_about_z_then_x_then_y) {
    float m[16], out[3];
    const float px[3] = {1, 0, 0}, py[3] = {0, 1, 0}, pz[3] = {0, 0, 1};
    euler_matrix(m, 0, 0, 0, 90, 0, 0);
    mat4_transform_point(out, px, m);
    expect_vec3(out, 0, 1, 0);
    euler_matrix(m, 0, 0, 0, 0, 90, 0);
    mat4_transform_point(out, py, m);
    expect_vec3(out, 0, 0, 1);
    euler_matrix(m, 0, 0, 0, 0, 0, 90);
    mat4_transform_point(out, pz, m);
    expect_vec3(out, 1, 0, 0);
    // Zero angles are exact, and the translation lands in 12..14.
    euler_matrix(m, 5, 6, 7, 0, 0, 0);
    for (int i : {0, 5, 10, 15})
        EXPECT_EQ(m[i], 1.0f);
    for (int i : {1, 2, 3, 4, 6, 7, 8, 9, 11})
        EXPECT_EQ(m[i], 0.0f);
    EXPECT_EQ(m[12], 5.0f);
    EXPECT_EQ(m[13], 6.0f);
    EXPECT_EQ(m[14], 7.0f);
}

TEST(math, multiply_applies_the_right_matrix_first) {
    float t[16], r[16], tr[16], rt[16], out[3];
    euler_matrix(t, 10, 0, 0, 0, 0, 0);
    euler_matrix(r, 0, 0, 0, 90, 0, 0);
    mat4_multiply(tr, t, r);
    mat4_multiply(rt, r, t);
    const float p[3] = {1, 0, 0};
    mat4_transform_point(out, p, tr);
    expect_vec3(out, 10, 1, 0, 1e-5f);
    mat4_transform_point(out, p, rt);
    expect_vec3(out, 0, 11, 0, 1e-5f);
    float id[16], same[16];
    mat4_identity(id);
    mat4_multiply(same, tr, id);
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(same[i], tr[i]);
}

// Each element as a sum from 0 of the four products, added one at a time in index order.
void multiply_by_the_book(float *out, const float *a, const float *b) {
    for (int j = 0; j < 4; j++)
        for (int i = 0; i < 4; i++) {
            volatile float sum = 0.0f; // kept in memory: rounded after every step
            for (int k = 0; k < 4; k++)
                sum = sum + a[4 * k + i] * b[4 * j + k];
            out[4 * j + i] = sum;
        }
}

TEST(math, multiply_rounds_every_element_as_the_sum_in_order) {
    // Posing depends on these exact bits: whatever the vector instructions, every element is
    // rounded as 0 + a0 b0 + a1 b1 + a2 b2 + a3 b3, signed zeros, infinities and NaN included.
    std::mt19937 random(7);
    std::uniform_real_distribution<float> any(-1000.0f, 1000.0f);
    const float special[] = {0.0f, -0.0f, 1e-40f, -1e-38f, 3e38f, INFINITY, -INFINITY, NAN, 1.0f};
    for (int round = 0; round < 2000; round++) {
        float a[16], b[16], got[16], expected[16];
        for (int i = 0; i < 16; i++) {
            a[i] = any(random);
            b[i] = any(random);
            if (round % 3 == 0 && i % 5 == round % 5) a[i] = special[(round + i) % 9];
            if (round % 4 == 1 && i % 3 == round % 3) b[i] = special[(round * 7 + i) % 9];
            if (round == 0) a[i] = -0.0f, b[i] = 1.0f; // every product -0: the sum is +0
        }
        mat4_multiply(got, a, b);
        multiply_by_the_book(expected, a, b);
        for (int i = 0; i < 16; i++) {
            if (std::isnan(expected[i])) {
                EXPECT_TRUE(std::isnan(got[i])) << "round " << round << ", element " << i;
                continue;
            }
            uint32_t got_bits, expected_bits;
            std::memcpy(&got_bits, &got[i], 4);
            std::memcpy(&expected_bits, &expected[i], 4);
            ASSERT_EQ(got_bits, expected_bits) << "round " << round << ", element " << i << ": "
                                               << got[i] << " against " << expected[i];
        }
    }
}

TEST(math, normals_of_many_triangles_are_those_of_one_at_a_time) {
    // The drawing compares its pictures with those of triangle_normal pixel for pixel: every bit
    // counts, for zero-area triangles (NaN), huge and tiny ones too.
    std::mt19937 random(11);
    std::uniform_real_distribution<float> any(-50.0f, 50.0f);
    std::vector<float> points(3 * 64);
    for (float &p : points)
        p = any(random);
    points[3 * 5 + 0] = 1e30f, points[3 * 6 + 1] = -1e-30f, points[3 * 7 + 2] = INFINITY;
    std::vector<uint32_t> corners;
    for (uint32_t t = 0; t < 203; t++) // not a multiple of four: the rest one at a time
        for (uint32_t k = 0; k < 3; k++)
            corners.push_back((t * 7 + k * 13 + t / 5) % 64);
    corners[3 * 9 + 2] = corners[3 * 9 + 1]; // two corners in one place
    corners[3 * 10 + 0] = 5, corners[3 * 11 + 1] = 6, corners[3 * 12 + 2] = 7;
    const uint32_t count = static_cast<uint32_t>(corners.size() / 3);
    std::vector<float> many(3 * count);
    triangle_normals(many.data(), points.data(), corners.data(), count);
    for (uint32_t t = 0; t < count; t++) {
        float one[3];
        triangle_normal(one, &points[3 * corners[3 * t]], &points[3 * corners[3 * t + 1]],
                        &points[3 * corners[3 * t + 2]]);
        for (int axis = 0; axis < 3; axis++) {
            if (std::isnan(one[axis])) {
                EXPECT_TRUE(std::isnan(many[3 * t + axis])) << "triangle " << t;
                continue;
            }
            uint32_t one_bits, many_bits;
            std::memcpy(&one_bits, &one[axis], 4);
            std::memcpy(&many_bits, &many[3 * t + axis], 4);
            ASSERT_EQ(many_bits, one_bits) << "triangle " << t << ", axis " << axis;
        }
    }
}

TEST(math, rigid_inverse_undoes_the_matrix) {
    float m[16], inverse[16], product[16];
    euler_matrix(m, 1.5f, -2.0f, 30.0f, 33.0f, -71.0f, 12.5f);
    mat4_rigid_inverse(inverse, m);
    mat4_multiply(product, inverse, m);
    expect_identity(product, 1e-5f);
    mat4_multiply(product, m, inverse);
    expect_identity(product, 1e-5f);
}

TEST(math, rotate_vector_ignores_translation_and_may_work_in_place) {
    float m[16];
    euler_matrix(m, 100, 100, 100, 90, 0, 0);
    float v[3] = {1, 0, 0};
    mat4_rotate_vector(v, v, m);
    expect_vec3(v, 0, 1, 0);
    mat4_transform_point(v, v, m);
    expect_vec3(v, 99, 100, 100, 1e-5f);
}

TEST(math, axis_angle_quaternion_negates_its_vector_part) {
    float q[4];
    const float axis[3] = {0, 0, 2};
    quat_from_axis_angle(q, 90, axis);
    EXPECT_NEAR(q[0], 0, tolerance);
    EXPECT_NEAR(q[1], 0, tolerance);
    EXPECT_NEAR(q[2], -0.7071068f, tolerance);
    EXPECT_NEAR(q[3], 0.7071068f, tolerance);
    // With the transposed layout, the matrix is the ordinary right-handed turn.
    float m[16], out[3];
    quat_to_mat4(m, q);
    const float p[3] = {1, 0, 0};
    mat4_transform_point(out, p, m);
    expect_vec3(out, 0, 1, 0);
}

TEST(math, quaternion_normalise_and_axis_angle_edge_cases) {
    const float zero[4] = {0, 0, 0, 0}, two[4] = {0, 0, 0, 2};
    float out[4];
    quat_normalize(out, zero);
    for (float c : out)
        EXPECT_EQ(c, 0.0f);
    quat_normalize(out, two);
    EXPECT_EQ(out[3], 1.0f);
    float angle, axis[3];
    const float identity[4] = {0, 0, 0, 1};
    quat_to_axis_angle(&angle, axis, identity);
    EXPECT_EQ(angle, 0.0f);
    expect_vec3(axis, 0, 0, 1);
    const float turn[4] = {0, 0, -0.7071068f, 0.7071068f};
    quat_to_axis_angle(&angle, axis, turn);
    EXPECT_NEAR(angle, 90.0f, 1e-3f);
    expect_vec3(axis, 0, 0, -1, 1e-5f);
    float m[16];
    quat_to_mat4(m, identity);
    expect_identity(m, 0.0f);
}

TEST(math, eight_multiplication_product_matches_hamilton) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> component(-1.0f, 1.0f);
    for (int n = 0; n < 1000; n++) {
        float p[4], q[4], fast[4], slow[4];
        for (int i = 0; i < 4; i++) {
            p[i] = component(random);
            q[i] = component(random);
        }
        quat_multiply(fast, p, q);
        hamilton(slow, p, q);
        for (int i = 0; i < 4; i++)
            EXPECT_NEAR(fast[i], slow[i], 2e-6f);
        // In place on either side.
        float left[4] = {p[0], p[1], p[2], p[3]};
        quat_multiply(left, left, q);
        for (int i = 0; i < 4; i++)
            EXPECT_EQ(left[i], fast[i]);
        float right[4] = {q[0], q[1], q[2], q[3]};
        quat_multiply(right, p, right);
        for (int i = 0; i < 4; i++)
            EXPECT_EQ(right[i], fast[i]);
    }
}

TEST(math, rotate_composes_on_the_right_and_stays_unit) {
    float q[4] = {0, 0, 0, 1};
    quat_rotate_xyz(q, 90, 0, 0, 1);
    quat_rotate_xyz(q, 90, 1, 0, 0);
    float len = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    EXPECT_NEAR(len, 1.0f, 1e-6f);
    // q = Rz(90) * Rx(90) as matrices: x first turns y into z, then z stays under the z turn.
    float m[16], out[3];
    quat_to_mat4(m, q);
    const float py[3] = {0, 1, 0};
    mat4_transform_point(out, py, m);
    float rz[16], rx[16], both[16], expected[3];
    euler_matrix(rz, 0, 0, 0, 90, 0, 0);
    euler_matrix(rx, 0, 0, 0, 0, 90, 0);
    mat4_multiply(both, rx, rz);
    mat4_transform_point(expected, py, both);
    expect_vec3(out, expected[0], expected[1], expected[2], 1e-5f);
}
