// SPDX-License-Identifier: MIT
// Milkshape animations posed as Milkshape plays them: a small evaluator written here from the
// format's conventions (radians, R = Rz * Ry * Rx, keys relative to the bind placement, slerp and
// lerp, first and last keys held) against the TKM and TKA the project builds.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "tests/fixtures/mesh_loading.h"
#include "tests/fixtures/ms3d_builder.h"
#include "viewer/anim/animation.h"
#include "viewer/anim/pose.h"
#include "viewer/ms3d/ms3d_convert.h"
#include "viewer/ms3d/ms3d_scene.h"
#include "viewer/ms3d/ms3d_model.h"
#include "viewer/ms3d/ms3d_reader.h"
#include "viewer/scene/scene.h"
#include "viewer/scene/tka_builder.h"
#include "viewer/scene/tkm_builder.h"

namespace {

namespace fx = ms3d_fixture;
using tkm_fixture::animation_ptr;
using tkm_fixture::mesh_ptr;

// ---- the evaluator (doubles, nothing of the project's math)

using vec3 = std::array<double, 3>;
using quat = std::array<double, 4>; // w, x, y, z

// A rigid placement: rotation rows r and translation p; applied as r * v + p.
struct placement {
    double r[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    vec3 p{0, 0, 0};
};

placement compose(const placement &a, const placement &b) {
    placement out;
    for (int i = 0; i < 3; i++) {
        for (int j = 0; j < 3; j++)
            out.r[i][j] = a.r[i][0] * b.r[0][j] + a.r[i][1] * b.r[1][j] + a.r[i][2] * b.r[2][j];
        out.p[i] = a.r[i][0] * b.p[0] + a.r[i][1] * b.p[1] + a.r[i][2] * b.p[2] + a.p[i];
    }
    return out;
}

placement invert(const placement &a) {
    placement out;
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++)
            out.r[i][j] = a.r[j][i];
    for (int i = 0; i < 3; i++)
        out.p[i] = -(out.r[i][0] * a.p[0] + out.r[i][1] * a.p[1] + out.r[i][2] * a.p[2]);
    return out;
}

vec3 transform(const placement &a, const vec3 &v) {
    vec3 out;
    for (int i = 0; i < 3; i++)
        out[i] = a.r[i][0] * v[0] + a.r[i][1] * v[1] + a.r[i][2] * v[2] + a.p[i];
    return out;
}

// Turning about x by angles[0], then y, then z, each a quaternion, multiplied z * y * x.
quat quat_multiply(const quat &a, const quat &b) {
    return {a[0] * b[0] - a[1] * b[1] - a[2] * b[2] - a[3] * b[3],
            a[0] * b[1] + a[1] * b[0] + a[2] * b[3] - a[3] * b[2],
            a[0] * b[2] - a[1] * b[3] + a[2] * b[0] + a[3] * b[1],
            a[0] * b[3] + a[1] * b[2] - a[2] * b[1] + a[3] * b[0]};
}

quat angles_quat(const float *angles) {
    quat out{1, 0, 0, 0};
    for (int axis = 0; axis < 3; axis++) {
        quat turn{std::cos(angles[axis] / 2.0), 0, 0, 0};
        turn[1 + axis] = std::sin(angles[axis] / 2.0);
        out = quat_multiply(turn, out); // later axes act after the earlier ones
    }
    return out;
}

placement quat_placement(const quat &q, const vec3 &p) {
    const double w = q[0], x = q[1], y = q[2], z = q[3];
    placement out;
    out.r[0][0] = 1 - 2 * (y * y + z * z);
    out.r[0][1] = 2 * (x * y - w * z);
    out.r[0][2] = 2 * (x * z + w * y);
    out.r[1][0] = 2 * (x * y + w * z);
    out.r[1][1] = 1 - 2 * (x * x + z * z);
    out.r[1][2] = 2 * (y * z - w * x);
    out.r[2][0] = 2 * (x * z - w * y);
    out.r[2][1] = 2 * (y * z + w * x);
    out.r[2][2] = 1 - 2 * (x * x + y * y);
    out.p = p;
    return out;
}

quat slerp(quat a, const quat &b, double u) {
    double dot = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
    if (dot < 0) {
        for (double &c : a)
            c = -c;
        dot = -dot;
    }
    double wa = 1 - u, wb = u;
    if (dot < 0.9999999) {
        const double angle = std::acos(dot);
        wa = std::sin((1 - u) * angle) / std::sin(angle);
        wb = std::sin(u * angle) / std::sin(angle);
    }
    quat out;
    for (int i = 0; i < 4; i++)
        out[i] = wa * a[i] + wb * b[i];
    return out;
}

// The keys at time t: the bracketing pair and how far between them, the ends held.
template <typename Blend> void at_time(const std::vector<fx::key> &keys, double t, Blend blend) {
    if (t <= keys.front().time) return blend(keys.front(), keys.front(), 0.0);
    if (t >= keys.back().time) return blend(keys.back(), keys.back(), 0.0);
    size_t k = 0;
    while (keys[k + 1].time <= t)
        k++;
    blend(keys[k], keys[k + 1], (t - keys[k].time) / (keys[k + 1].time - keys[k].time));
}

// Joint j's local placement at time t: bind x (key rotation, key translation).
placement joint_local(const fx::joint &joint, double t, bool translations) {
    const vec3 bind_p{joint.position[0], joint.position[1], joint.position[2]};
    const placement bind = quat_placement(angles_quat(joint.rotation), bind_p);
    quat q{1, 0, 0, 0};
    vec3 p{0, 0, 0};
    if (!joint.rotation_keys.empty())
        at_time(joint.rotation_keys, t, [&](const fx::key &a, const fx::key &b, double u) {
            q = slerp(angles_quat(a.value), angles_quat(b.value), u);
        });
    if (translations && !joint.position_keys.empty())
        at_time(joint.position_keys, t, [&](const fx::key &a, const fx::key &b, double u) {
            for (int i = 0; i < 3; i++)
                p[i] = a.value[i] + u * (b.value[i] - a.value[i]);
        });
    return compose(bind, quat_placement(q, p));
}

// Every joint's absolute placement at t (bind when t is negative infinity and keys ignored).
std::vector<placement> absolutes(const fx::model &m, double t, bool keys, bool translations) {
    std::vector<placement> out;
    for (const fx::joint &joint : m.joints) {
        fx::joint bind = joint;
        if (!keys) bind.rotation_keys.clear(), bind.position_keys.clear();
        placement local = joint_local(bind, t, translations);
        size_t parent = 0;
        while (parent < out.size() && m.joints[parent].name != joint.parent)
            parent++;
        out.push_back(parent < out.size() ? compose(out[parent], local) : local);
    }
    return out;
}

double distance(const vec3 &a, const double *b) {
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                     (a[2] - b[2]) * (a[2] - b[2]));
}

// ---- fixtures

// A chain of joints, each with three vertices placed around it in the bind pose (found with the
// evaluator, so the vertices sit on the bones whatever the angles).
fx::model animated_chain(bool bind_angles) {
    fx::model m = fx::chain_model(5);
    const float angles[5][3] = {{0.3f, -0.7f, 1.1f},
                                {-1.2f, 0.4f, 0.25f},
                                {0.9f, 1.3f, -0.6f},
                                {0, -1.0f, 0.5f},
                                {1.4f, 0.2f, -1.25f}};
    const float positions[5][3] = {
        {0.5f, 1, -2}, {2, 0.5f, 0}, {1.5f, -1, 0.5f}, {0, 2, 1}, {1, 1, -1}};
    for (size_t i = 0; i < 5; i++)
        for (int k = 0; k < 3; k++) {
            m.joints[i].rotation[k] = bind_angles ? angles[i][k] : 0.0f;
            m.joints[i].position[k] = positions[i][k];
        }
    // Keys about each axis alone and about all three, +-0.5 to +-1.5 radians, at uneven times;
    // one joint starts late and one ends early, so the held ends show.
    m.joints[0].rotation_keys = {{0, {0, 0, 0}}, {0.8f, {0, 0, 1.5f}}, {2.0f, {0, 0, -0.5f}}};
    m.joints[1].rotation_keys = {{0.3f, {1.5f, 0, 0}}, {1.1f, {-1.0f, 0, 0}}, {1.7f, {0.5f, 0, 0}}};
    m.joints[2].rotation_keys = {{0, {0, -1.5f, 0}}, {0.65f, {0, 1.2f, 0}}, {1.2f, {0, 0.5f, 0}}};
    m.joints[3].rotation_keys = {{0.2f, {0.7f, -1.3f, 1.0f}}, {1.9f, {-0.5f, 0.9f, -1.5f}}};
    m.joints[4].rotation_keys = {{0, {-1.1f, 0.6f, 0.8f}}, {1.0f, {1.2f, -0.5f, -0.9f}}};
    m.joints[1].position_keys = {{0, {0, 0, 0}}, {1.5f, {0.5f, -0.25f, 1}}};
    m.joints[4].position_keys = {{0.5f, {0.2f, 0.1f, 0}}, {2.0f, {0, 0, 0}}};
    const std::vector<placement> bind = absolutes(m, 0, false, false);
    const vec3 offsets[3] = {{0.3, 0.1, 0}, {0, 0.4, 0.2}, {-0.2, 0, 0.5}};
    for (size_t i = 0; i < 5; i++)
        for (int k = 0; k < 3; k++) {
            const vec3 v = transform(bind[i], offsets[k]);
            fx::vertex &out = m.vertices[3 * i + size_t(k)];
            out.x = float(v[0]), out.y = float(v[1]), out.z = float(v[2]);
        }
    return m;
}

// The diagonal of the box around the model's vertices.
double model_size(const fx::model &m) {
    vec3 low{1e30, 1e30, 1e30}, high{-1e30, -1e30, -1e30};
    for (const fx::vertex &v : m.vertices) {
        const double p[3] = {v.x, v.y, v.z};
        for (int i = 0; i < 3; i++)
            low[i] = std::min(low[i], p[i]), high[i] = std::max(high[i], p[i]);
    }
    return distance(low, high.data());
}

struct converted {
    mesh_ptr mesh;
    animation_ptr animation;
    int mesh_result = -1, animation_result = -1;
    std::string err;
};

// The file read back, converted as tkmtool does: the TKM with Milkshape's rules, then its TKA.
converted convert(const fx::model &m) {
    converted c;
    fx::temp_file file(fx::bytes(m));
    ms3d_model *model = create_ms3d();
    EXPECT_EQ(read_ms3d(model, file.path.c_str()), 0);
    c.mesh.reset(create_mesh());
    c.animation.reset(create_animation());
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    scene_model scene;
    c.mesh_result = ms3d_to_scene(model, &scene);
    release_ms3d(model);
    if (c.mesh_result == 0) {
        scene_model copy = scene;
        c.mesh_result =
            convert_scene_to_tkm(c.mesh.get(), &copy, {merge_method::grid, "Milkshape", true});
    }
    if (c.mesh_result == 0 && !scene.animations.empty())
        c.animation_result = build_tka(c.animation.get(), scene, 0, c.mesh.get());
    testing::internal::GetCapturedStdout();
    c.err = testing::internal::GetCapturedStderr();
    return c;
}

// The worst distance, over every frame and vertex, between the TKA posed by the project and the
// evaluator's rotations-only playback, as a share of the model's size.
double worst_frame_distance(const fx::model &m, converted &c) {
    const double size = model_size(m);
    const std::vector<placement> bind = absolutes(m, 0, false, false);
    std::vector<vec3> rest(c.mesh->num_vertices);
    for (uint16_t v = 0; v < c.mesh->num_vertices; v++)
        for (int k = 0; k < 3; k++)
            rest[v][k] = c.mesh->vertices[v].world[12 + k];
    float first = 1e9f;
    for (const fx::joint &joint : m.joints)
        for (const auto *keys : {&joint.rotation_keys, &joint.position_keys})
            if (!keys->empty()) first = std::min(first, keys->front().time);
    double worst = 0;
    for (uint16_t f = 0; f < c.animation->num_frames; f++) {
        const double t = double(first) + f / 10.0;
        const std::vector<placement> now = absolutes(m, t, true, false);
        pose_mesh_in_frame(c.mesh.get(), c.animation.get(), f, nullptr);
        for (uint16_t v = 0; v < c.mesh->num_vertices; v++) {
            const size_t bone = c.mesh->vertices[v].bone;
            const vec3 expected = transform(compose(now[bone], invert(bind[bone])), rest[v]);
            const double posed[3] = {c.mesh->vertices[v].world[12], c.mesh->vertices[v].world[13],
                                     c.mesh->vertices[v].world[14]};
            worst = std::max(worst, distance(expected, posed) / size);
        }
    }
    return worst;
}

// ---- tests

TEST(ms3d_animation, bones_stand_where_milkshape_puts_its_joints) {
    for (bool angles : {true, false}) {
        SCOPED_TRACE(angles ? "bind angles" : "no bind angles");
        const fx::model m = animated_chain(angles);
        converted c = convert(m);
        ASSERT_EQ(c.mesh_result, 0) << c.err;
        ASSERT_EQ(c.mesh->num_bones, 5);
        const double size = model_size(m);
        const std::vector<placement> bind = absolutes(m, 0, false, false);
        double worst = 0;
        for (uint16_t i = 0; i < 5; i++) {
            const float *world = c.mesh->bones[i].world;
            worst = std::max(
                worst,
                distance(bind[i].p, std::array<double, 3>{world[12], world[13], world[14]}.data()) /
                    size);
            // The bone's axes are the joint's: column k of world is row k of r transposed.
            for (int row = 0; row < 3; row++)
                for (int column = 0; column < 3; column++)
                    EXPECT_NEAR(world[4 * column + row], bind[i].r[row][column], 1e-5)
                        << "bone " << i;
        }
        EXPECT_LT(worst, 1e-5);
        std::printf("bones from Milkshape's joints (%s): worst %.3g of the model's size\n",
                    angles ? "bind angles" : "no bind angles", worst);
    }
}

TEST(ms3d_animation, every_frame_poses_as_milkshape_plays_it) {
    for (bool angles : {true, false}) {
        SCOPED_TRACE(angles ? "bind angles" : "no bind angles");
        const fx::model m = animated_chain(angles);
        converted c = convert(m);
        ASSERT_EQ(c.mesh_result, 0) << c.err;
        ASSERT_EQ(c.animation_result, 0) << c.err;
        ASSERT_EQ(c.animation->num_frames, 21) << "0 to 2 s at 10 frames a second";
        const double worst = worst_frame_distance(m, c);
        EXPECT_LT(worst, 1e-4);
        std::printf("frames against Milkshape's playback (%s): worst %.3g of the model's size\n",
                    angles ? "bind angles" : "no bind angles", worst);
        // The position keys cannot be kept, and the note says so.
        EXPECT_NE(c.err.find("a TKA holds only rotations"), std::string::npos) << c.err;
    }
}

// The same keys taken as degrees, or turned in another order, would pose far away: the fixture
// tells the conventions apart.
TEST(ms3d_animation, the_fixture_tells_conventions_apart) {
    fx::model m = animated_chain(true);
    fx::model degrees = m;
    for (fx::joint &joint : degrees.joints)
        for (fx::key &key : joint.rotation_keys)
            for (float &value : key.value)
                value *= float(M_PI / 180);
    converted c = convert(degrees);
    ASSERT_EQ(c.animation_result, 0) << c.err;
    EXPECT_GT(worst_frame_distance(m, c), 0.05);
    fx::model reversed = m;
    for (fx::joint &joint : reversed.joints)
        for (fx::key &key : joint.rotation_keys)
            std::swap(key.value[0], key.value[2]);
    c = convert(reversed);
    ASSERT_EQ(c.animation_result, 0) << c.err;
    EXPECT_GT(worst_frame_distance(m, c), 0.05);
}

} // namespace
