// SPDX-License-Identifier: MIT
// Vector, matrix and quaternion math in single precision (every intermediate rounded to float).
#include "viewer/math/math3d.h"

#include <cmath>
#include <cstddef>
#include <cstring>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace {

float sinf_(float x) {
    return static_cast<float>(std::sin(x));
}
float cosf_(float x) {
    return static_cast<float>(std::cos(x));
}

} // namespace

void vec3_normalized(float *out, const float *v) {
    float s = v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
    float r = std::sqrt(s);
    float f = 1.0f / r;
    out[0] = v[0] * f;
    out[1] = v[1] * f;
    out[2] = v[2] * f;
}

void vec3_normalize(float *v) {
    vec3_normalized(v, v);
}

void vec3_cross(float *out, const float *a, const float *b) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

void triangle_normal(float *out, const float *a, const float *b, const float *c) {
    const float e1[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const float e2[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    vec3_cross(out, e1, e2);
    vec3_normalize(out);
}

void triangle_normals(float *out, const float *points, const uint32_t *corners, uint32_t count) {
    uint32_t i = 0;
#if defined(__SSE__)
    // Four triangles to a vector, each lane through triangle_normal's operations in its order.
    typedef float four __attribute__((vector_size(16)));
    for (; i + 4 <= count; i += 4) {
        const uint32_t *c = corners + 3 * i;
        auto gather = [&](int k, int axis) {
            auto at = [&](int l) { return points[3 * std::size_t{c[3 * l + k]} + axis]; };
            return four{at(0), at(1), at(2), at(3)};
        };
        const four ax = gather(0, 0), ay = gather(0, 1), az = gather(0, 2);
        const four e1x = gather(1, 0) - ax, e1y = gather(1, 1) - ay, e1z = gather(1, 2) - az;
        const four e2x = gather(2, 0) - ax, e2y = gather(2, 1) - ay, e2z = gather(2, 2) - az;
        four nx = e1y * e2z - e1z * e2y, ny = e1z * e2x - e1x * e2z, nz = e1x * e2y - e1y * e2x;
        const four f = 1.0f / four(_mm_sqrt_ps(__m128(nx * nx + ny * ny + nz * nz)));
        nx *= f, ny *= f, nz *= f;
        float *o = out + 3 * i;
        o[0] = nx[0], o[1] = ny[0], o[2] = nz[0], o[3] = nx[1], o[4] = ny[1], o[5] = nz[1];
        o[6] = nx[2], o[7] = ny[2], o[8] = nz[2], o[9] = nx[3], o[10] = ny[3], o[11] = nz[3];
    }
#endif
    for (; i < count; i++)
        triangle_normal(out + 3 * i, points + 3 * std::size_t{corners[3 * i]},
                        points + 3 * std::size_t{corners[3 * i + 1]},
                        points + 3 * std::size_t{corners[3 * i + 2]});
}

void triangle_centroid(float *out, const float *a, const float *b, const float *c) {
    for (int i = 0; i < 3; i++)
        out[i] = (a[i] + b[i] + c[i]) / 3.0f;
}

void euler_matrix(float *out, float tx, float ty, float tz, float a, float b, float c) {
    // An angle of exactly 0 skips the trigonometry so that rest poses stay exact.
    auto sin_cos = [](float degrees, float &s, float &co) {
        if (degrees == 0.0f) {
            s = 0.0f;
            co = 1.0f;
            return;
        }
        float radians = degrees * degrees_to_radians;
        s = sinf_(radians);
        co = cosf_(radians);
    };
    float sa, ca, sb, cb, sc, cc;
    sin_cos(a, sa, ca);
    sin_cos(b, sb, cb);
    sin_cos(c, sc, cc);
    out[0] = cc * ca - (sc * sb) * sa;
    out[1] = cc * sa + (sc * sb) * ca;
    out[2] = -(sc * cb);
    out[3] = 0.0f;
    out[4] = -sa * cb;
    out[5] = cb * ca;
    out[6] = sb;
    out[7] = 0.0f;
    out[8] = (sb * cc) * sa + sc * ca;
    out[9] = sa * sc - ca * (sb * cc);
    out[10] = cb * cc;
    out[11] = 0.0f;
    out[12] = tx;
    out[13] = ty;
    out[14] = tz;
    out[15] = 1.0f;
}

void mat4_multiply(float *out, const float *a, const float *b) {
    // Each element is 0 + a0 b0 + a1 b1 + a2 b2 + a3 b3, added in that order; a column at a time
    // the compiler does four elements in one vector instruction, with the same roundings.
    float result[16];
    for (int j = 0; j < 4; j++) {
        float sum[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        for (int k = 0; k < 4; k++)
            for (int i = 0; i < 4; i++)
                sum[i] += a[4 * k + i] * b[4 * j + k];
        for (int i = 0; i < 4; i++)
            result[4 * j + i] = sum[i];
    }
    std::memcpy(out, result, sizeof result);
}

void mat4_rigid_inverse(float *out, const float *m) {
    const float tx = m[12], ty = m[13], tz = m[14];
    out[0] = m[0];
    out[4] = m[1];
    out[8] = m[2];
    out[12] = -(tx * m[0] + ty * m[1] + tz * m[2]);
    out[1] = m[4];
    out[5] = m[5];
    out[9] = m[6];
    out[13] = -(tx * m[4] + ty * m[5] + tz * m[6]);
    out[2] = m[8];
    out[6] = m[9];
    out[10] = m[10];
    out[14] = -(tx * m[8] + ty * m[9] + tz * m[10]);
    out[3] = out[7] = out[11] = 0.0f;
    out[15] = 1.0f;
}

void mat4_rotate_vector(float *out, const float *v, const float *m) {
    const float x = v[0], y = v[1], z = v[2];
    out[0] = m[0] * x + m[4] * y + m[8] * z;
    out[1] = m[1] * x + m[5] * y + m[9] * z;
    out[2] = m[2] * x + m[6] * y + m[10] * z;
}

void mat4_transform_point(float *out, const float *v, const float *m) {
    mat4_rotate_vector(out, v, m);
    out[0] += m[12];
    out[1] += m[13];
    out[2] += m[14];
}

void quat_from_axis_angle(float *out, float angle, const float *axis) {
    float n[3];
    vec3_normalized(n, axis);
    float h = angle * degrees_to_radians * 0.5f;
    float s = -sinf_(h);
    out[3] = cosf_(h);
    out[0] = n[0] * s;
    out[1] = n[1] * s;
    out[2] = n[2] * s;
}

void quat_multiply(float *out, const float *p, const float *q) {
    // The eight-multiplication factorisation of the Hamilton product.
    const float px = p[0], py = p[1], pz = p[2], pw = p[3];
    const float qx = q[0], qy = q[1], qz = q[2], qw = q[3];
    const float a = (pw + px) * (qw + qx);
    const float b = (pz - py) * (qy - qz);
    const float c = (pw - px) * (qy + qz);
    const float d = (py + pz) * (qw - qx);
    const float e = (px + pz) * (qx + qy);
    const float f = (px - pz) * (qx - qy);
    const float g = (pw + py) * (qw - qz);
    const float h = (pw - py) * (qw + qz);
    out[3] = b + (-e - f + g + h) * 0.5f;
    out[0] = a - (e + f + g + h) * 0.5f;
    out[1] = c + (e - f + g - h) * 0.5f;
    out[2] = d + (e - f - g + h) * 0.5f;
}

void quat_normalize(float *out, const float *q) {
    float s = q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3];
    float f = 1.0f;
    if (s > 0.0f) {
        float r = std::sqrt(s);
        f = 1.0f / r;
    }
    for (int i = 0; i < 4; i++)
        out[i] = q[i] * f;
}

void quat_rotate(float *q, float angle, const float *axis) {
    float r[4], copy[4];
    quat_from_axis_angle(r, angle, axis);
    std::memcpy(copy, q, sizeof copy);
    quat_multiply(q, copy, r);
    quat_normalize(q, q);
}

void quat_rotate_xyz(float *q, float angle, float ax, float ay, float az) {
    const float axis[3] = {ax, ay, az};
    quat_rotate(q, angle, axis);
}

void quat_to_axis_angle(float *angle, float *axis, const float *q) {
    float h = static_cast<float>(std::acos(q[3]));
    float s = sinf_(h);
    *angle = h * radians_to_degrees * 2.0f;
    if (s == 0.0f) {
        axis[0] = 0.0f;
        axis[1] = 0.0f;
        axis[2] = 1.0f;
        return;
    }
    float f = 1.0f / s;
    axis[0] = q[0] * f;
    axis[1] = q[1] * f;
    axis[2] = q[2] * f;
}

void quat_to_mat4(float *out, const float *q) {
    const float x = q[0], y = q[1], z = q[2], w = q[3];
    const float x2 = 2.0f * x, y2 = 2.0f * y, z2 = 2.0f * z, w2 = 2.0f * w;
    out[0] = 1.0f - (z2 * z + y2 * y);
    out[1] = x2 * y - w2 * z;
    out[2] = w2 * y + x2 * z;
    out[4] = x2 * y + w2 * z;
    out[5] = 1.0f - (z2 * z + x2 * x);
    out[6] = y2 * z - w2 * x;
    out[8] = x2 * z - w2 * y;
    out[9] = y2 * z + w2 * x;
    out[10] = 1.0f - (x2 * x + y2 * y);
    out[3] = out[7] = out[11] = out[12] = out[13] = out[14] = 0.0f;
    out[15] = 1.0f;
}

void mat4_identity(float *out) {
    for (int i = 0; i < 16; i++)
        out[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}
