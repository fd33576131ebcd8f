// SPDX-License-Identifier: MIT
// Transforms taken apart into glTF's translation, rotation and scale, and composed again.
#include "viewer/gltf/gltf_export_math.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

using dvec3 = std::array<double, 3>;

double dot(const dvec3 &a, const dvec3 &b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

dvec3 cross(const dvec3 &a, const dvec3 &b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// a scaled to unit length; false when it has (next to) no length.
bool normalise(dvec3 *a) {
    double length = std::sqrt(dot(*a, *a));
    if (!(length > 1e-12)) return false;
    for (double &c : *a)
        c /= length;
    return true;
}

// The unit quaternion (x y z w) of the rotation whose columns are x, y and z (Shepperd's method,
// always dividing by the largest of the four candidates); w is made non-negative.
std::array<double, 4> quaternion_of(const dvec3 &x, const dvec3 &y, const dvec3 &z) {
    // r[row][column]
    const double r[3][3] = {{x[0], y[0], z[0]}, {x[1], y[1], z[1]}, {x[2], y[2], z[2]}};
    double trace = r[0][0] + r[1][1] + r[2][2];
    std::array<double, 4> q;
    if (trace > 0) {
        double s = std::sqrt(trace + 1.0) * 2;
        q = {(r[2][1] - r[1][2]) / s, (r[0][2] - r[2][0]) / s, (r[1][0] - r[0][1]) / s, s / 4};
    } else if (r[0][0] > r[1][1] && r[0][0] > r[2][2]) {
        double s = std::sqrt(1.0 + r[0][0] - r[1][1] - r[2][2]) * 2;
        q = {s / 4, (r[0][1] + r[1][0]) / s, (r[0][2] + r[2][0]) / s, (r[2][1] - r[1][2]) / s};
    } else if (r[1][1] > r[2][2]) {
        double s = std::sqrt(1.0 + r[1][1] - r[0][0] - r[2][2]) * 2;
        q = {(r[0][1] + r[1][0]) / s, s / 4, (r[1][2] + r[2][1]) / s, (r[0][2] - r[2][0]) / s};
    } else {
        double s = std::sqrt(1.0 + r[2][2] - r[0][0] - r[1][1]) * 2;
        q = {(r[0][2] + r[2][0]) / s, (r[1][2] + r[2][1]) / s, s / 4, (r[1][0] - r[0][1]) / s};
    }
    double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    double sign = q[3] < 0 ? -1.0 : 1.0;
    for (double &c : q)
        c *= sign / length;
    return q;
}

} // namespace

dmat4 dmat4_from(const float *m) {
    dmat4 out;
    for (int i = 0; i < 16; ++i)
        out[i] = m[i];
    return out;
}

dmat4 dmat4_multiply(const dmat4 &a, const dmat4 &b) {
    dmat4 out;
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row) {
            double sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += a[4 * k + row] * b[4 * column + k];
            out[4 * column + row] = sum;
        }
    return out;
}

bool dmat4_affine_inverse(dmat4 *out, const dmat4 &m) {
    // The 3x3 part by its adjugate; rows of the inverse are cross products of the columns.
    dvec3 c0{m[0], m[1], m[2]}, c1{m[4], m[5], m[6]}, c2{m[8], m[9], m[10]};
    dvec3 r0 = cross(c1, c2), r1 = cross(c2, c0), r2 = cross(c0, c1);
    double determinant = dot(c0, r0);
    *out = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    if (!std::isfinite(determinant) || std::fabs(determinant) < 1e-300) return false;
    const dvec3 rows[3] = {r0, r1, r2};
    dvec3 t{m[12], m[13], m[14]};
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column)
            (*out)[4 * column + row] = rows[row][column] / determinant;
        (*out)[12 + row] = -dot(rows[row], t) / determinant;
    }
    return true;
}

double dmat4_box_distance(const dmat4 &a, const dmat4 &b, const double *lo, const double *hi) {
    double largest = 0;
    for (int corner = 0; corner < 8; ++corner) {
        const double p[3] = {(corner & 1) ? hi[0] : lo[0], (corner & 2) ? hi[1] : lo[1],
                             (corner & 4) ? hi[2] : lo[2]};
        double squared = 0;
        for (int row = 0; row < 3; ++row) {
            double d = a[12 + row] - b[12 + row];
            for (int k = 0; k < 3; ++k)
                d += (a[4 * k + row] - b[4 * k + row]) * p[k];
            squared += d * d;
        }
        largest = std::max(largest, std::sqrt(squared));
    }
    return largest;
}

gltf_trs decompose_transform(const dmat4 &m, bool with_scale) {
    gltf_trs trs;
    // What is no number stays so, for the caller's check to find, rather than becoming a turn.
    for (double element : m)
        if (!std::isfinite(element)) {
            trs.rotation[0] = trs.translation[0] = std::numeric_limits<float>::quiet_NaN();
            return trs;
        }
    for (int i = 0; i < 3; ++i)
        trs.translation[i] = static_cast<float>(m[12 + i]);
    dvec3 x{m[0], m[1], m[2]}, y{m[4], m[5], m[6]}, z{m[8], m[9], m[10]};
    if (with_scale) {
        double determinant = dot(x, cross(y, z));
        trs.scale = {static_cast<float>(std::sqrt(dot(x, x))),
                     static_cast<float>(std::sqrt(dot(y, y))),
                     static_cast<float>(std::sqrt(dot(z, z)))};
        // A mirrored placement keeps its mirror in the scale of its third axis.
        if (determinant < 0) trs.scale[2] = -trs.scale[2];
    }
    dvec3 ox = x;
    if (!normalise(&ox)) return trs;
    dvec3 oy = y;
    double along = dot(oy, ox);
    for (int i = 0; i < 3; ++i)
        oy[i] -= along * ox[i];
    if (!normalise(&oy)) return trs;
    std::array<double, 4> q = quaternion_of(ox, oy, cross(ox, oy));
    for (int i = 0; i < 4; ++i)
        trs.rotation[i] = static_cast<float>(q[i]);
    return trs;
}

dmat4 trs_matrix(const gltf_trs &trs) {
    double x = trs.rotation[0], y = trs.rotation[1], z = trs.rotation[2], w = trs.rotation[3];
    const double r[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)},
                            {2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)},
                            {2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)}};
    dmat4 out{};
    for (int column = 0; column < 3; ++column)
        for (int row = 0; row < 3; ++row)
            out[4 * column + row] = r[row][column] * trs.scale[column];
    for (int row = 0; row < 3; ++row)
        out[12 + row] = trs.translation[row];
    out[15] = 1;
    return out;
}

gltf_trs local_transform(const float *q, const float *local, bool *exact) {
    double squared =
        q ? double{q[0]} * q[0] + double{q[1]} * q[1] + double{q[2]} * q[2] + double{q[3]} * q[3]
          : 0;
    if (q && std::fabs(squared - 1.0) <= 1e-6) {
        double scale = (q[3] < 0 ? -1.0 : 1.0) / std::sqrt(squared);
        gltf_trs trs;
        trs.translation = {local[12], local[13], local[14]};
        trs.rotation = {static_cast<float>(-q[0] * scale), static_cast<float>(-q[1] * scale),
                        static_cast<float>(-q[2] * scale), static_cast<float>(q[3] * scale)};
        *exact = true;
        return trs;
    }
    return rigid_transform(dmat4_from(local), exact);
}

gltf_trs rigid_transform(const dmat4 &m, bool *exact) {
    gltf_trs trs = decompose_transform(m, false);
    dmat4 rebuilt = trs_matrix(trs);
    *exact = true;
    for (int i = 0; i < 11; ++i)
        if (i % 4 != 3 && !(std::fabs(rebuilt[i] - m[i]) <= 1e-6)) *exact = false;
    return trs;
}
