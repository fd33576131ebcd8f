// SPDX-License-Identifier: MIT
// Vectors (3 floats), column-major 4x4 matrices (translation in 12..14) and x,y,z,w quaternions;
// angles in degrees at every interface, all arithmetic in single precision.
#pragma once

#include <cstdint>

// Degrees to radians: the float nearest pi/180.
inline constexpr float degrees_to_radians = 0.01745329238474369f;
// Radians to degrees: one ulp below the float nearest 180/pi, as the stored models expect.
inline constexpr float radians_to_degrees = 57.2957763671875f;

// v /= |v| (no zero-length guard: zero gives NaN or infinity).
void vec3_normalize(float *v);
// out = v / |v|.
void vec3_normalized(float *out, const float *v);
// out = a x b; out must not alias a or b.
void vec3_cross(float *out, const float *a, const float *b);
// out = normalised (b - a) x (c - a).
void triangle_normal(float *out, const float *a, const float *b, const float *c);
// For each of count triangles i, out + 3i = triangle_normal of the points (3 floats each) that
// corners[3i], corners[3i + 1] and corners[3i + 2] index, with the same roundings, several at once.
void triangle_normals(float *out, const float *points, const uint32_t *corners, uint32_t count);
// out = (a + b + c) / 3.
void triangle_centroid(float *out, const float *a, const float *b, const float *c);
// out = T(tx, ty, tz) * Rz(a) * Rx(b) * Ry(c); angles in degrees.
void euler_matrix(float *out, float tx, float ty, float tz, float a, float b, float c);
// out = A B (B applied first); out must not alias A or B.
void mat4_multiply(float *out, const float *a, const float *b);
// Inverse of a rotation-plus-translation matrix; out must not alias m.
void mat4_rigid_inverse(float *out, const float *m);
// out = 3x3 part of m times v; out may be v.
void mat4_rotate_vector(float *out, const float *v, const float *m);
// out = m applied to the point v; out may be v.
void mat4_transform_point(float *out, const float *v, const float *m);
// Quaternion for a turn of angle degrees about axis (any length); the vector part carries -sin.
void quat_from_axis_angle(float *out, float angle, const float *axis);
// out = p q (Hamilton product, scalar last); out may alias p or q.
void quat_multiply(float *out, const float *p, const float *q);
// out = q / |q|, or q itself when its length is not positive.
void quat_normalize(float *out, const float *q);
// q = normalised q * quat_from_axis_angle(angle, axis).
void quat_rotate(float *q, float angle, const float *axis);
// quat_rotate with the axis as three floats.
void quat_rotate_xyz(float *q, float angle, float ax, float ay, float az);
// Angle (degrees) and axis of a unit quaternion, in the form glRotatef takes.
void quat_to_axis_angle(float *angle, float *axis, const float *q);
// Rotation matrix of q, no translation.
void quat_to_mat4(float *out, const float *q);
// out = the identity matrix.
void mat4_identity(float *out);
