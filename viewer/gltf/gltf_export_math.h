// SPDX-License-Identifier: MIT
// Double-precision transforms for the glTF export: the viewer's column-major matrices taken apart
// into glTF's translation, rotation and scale, and put together again the way a glTF reader does.
#pragma once

#include <array>

// A column-major 4x4 matrix, translation in elements 12 to 14 (the viewer's layout).
using dmat4 = std::array<double, 16>;

// Translation, rotation (x y z w, the usual convention: glTF's) and scale, as a node holds them.
struct gltf_trs {
    std::array<float, 3> translation{0, 0, 0};
    std::array<float, 4> rotation{0, 0, 0, 1};
    std::array<float, 3> scale{1, 1, 1};
};

// The viewer's float matrix in double precision.
dmat4 dmat4_from(const float *m);
// a b (b applied first).
dmat4 dmat4_multiply(const dmat4 &a, const dmat4 &b);
// The inverse of an affine matrix (last row 0 0 0 1); false, and the identity, when singular.
bool dmat4_affine_inverse(dmat4 *out, const dmat4 &m);
// The largest distance between a p and b p over the corners of the box lo..hi (3 doubles each):
// the largest for any point of the box, since the distance is convex in p.
double dmat4_box_distance(const dmat4 &a, const dmat4 &b, const double *lo, const double *hi);

// m as translation, rotation and (when with_scale) scale: the scale is the length of each axis,
// the rotation that of the axes made orthonormal (x kept, then y, then z from their cross
// product). A rotation part the viewer built from an unnormalised quaternion becomes the nearest
// proper rotation; axes of zero length give the identity rotation.
gltf_trs decompose_transform(const dmat4 &m, bool with_scale);
// The matrix of a node's transform, as a glTF reader composes it: T R S.
dmat4 trs_matrix(const gltf_trs &trs);

// The glTF transform of a viewer local matrix: its translation (elements 12 to 14), and the
// rotation of q (the viewer's quaternion, which turns the other way round from glTF's for the
// same four numbers) when q is given and of unit length; otherwise the matrix taken apart.
// *exact is set when the transform reproduces the matrix (to 1e-6 in every element).
gltf_trs local_transform(const float *q, const float *local, bool *exact);
// m taken apart into translation and rotation; *exact as for local_transform.
gltf_trs rigid_transform(const dmat4 &m, bool *exact);
