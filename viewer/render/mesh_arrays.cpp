// SPDX-License-Identifier: MIT
// Vertex arrays of the meshes drawn, kept between frames, and the mesh pass drawn from them.
//
// The arrays reproduce the immediate drawing call for call where it shows. Every corner of the
// mesh is one vertex (its posed position, texture coordinate and hit colour), and every triangle
// adds a copy of its last corner that carries the triangle's normal: drawn by index, a triangle
// is its first two corners and that copy, and since shading is flat, only the last vertex's
// normal and colour count, exactly as with one glNormal3fv before glBegin. The wire view draws
// each triangle's two edges as a pair of independent lines, lit and coloured by their second
// vertex as a line strip is, so the middle corner gets a copy with the normal too.
//
// A zero-area triangle has no normal of its own and is drawn with the one current before it, as
// glNormal3fv leaves it: inside a span that is its predecessor's, and for the triangles that lead
// a span the normal current when the span is drawn, patched in for that one call.
//
// Index: records - layout (per mesh) - posing (per frame) - drawing - interface
#include "viewer/render/mesh_arrays.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "viewer/anim/pose.h"
#include "viewer/app/app_state.h"
#include "viewer/mesh/mesh.h"
#include "viewer/render/draw.h"
#include "viewer/math/math3d.h"
#include "viewer/render/run_state.h"

namespace {

// ---- records

// Consecutive whole triangles of one material run: one draw call.
struct span {
    uint32_t first = 0;   // first triangle
    uint32_t count = 0;   // number of triangles
    uint32_t leading = 0; // triangles at its start without a normal of their own, in this pose
};

// The arrays and counts of a mesh that its layout was made from: another array in their place,
// or another count, and the layout is made anew (and no index of the old one is followed).
struct mesh_shape {
    const void *arrays[7] = {};
    uint16_t counts[7] = {};
    bool operator==(const mesh_shape &) const = default;
};

mesh_shape shape_of(const tkm_mesh &mesh) {
    return {{mesh.vertices, mesh.blends, mesh.corners, mesh.texcoords, mesh.triangles,
             mesh.material_runs, mesh.materials},
            {mesh.num_vertices, mesh.num_blends, mesh.num_corners, mesh.num_texcoords,
             mesh.num_triangles, mesh.num_material_runs, mesh.num_materials}};
}

// One mesh's arrays. Vertices are the corners, then per triangle the copy of its last corner,
// then per triangle the copy of its middle corner (the wire view's).
struct mesh_arrays {
    const tkm_mesh *mesh = nullptr; // the mesh laid out; compared by address, generation, shape
    uint32_t generation = 0;        // model_generation when laid out
    mesh_shape shape;               // the mesh's arrays and counts when laid out
    uint64_t last_use = 0;          // frame counter of the last draw, to pick one to reuse
    bool fits = false;              // false: drawn immediately instead

    uint32_t num_corners = 0;        // where the last-corner copies start
    uint32_t num_triangles = 0;      // how many copies of each kind
    std::vector<uint8_t> whole;      // per triangle: 1 when all its corners exist
    std::vector<span> spans;         // every run's spans, run by run
    std::vector<uint32_t> run_spans; // run r's spans are [run_spans[r], run_spans[r + 1])
    std::vector<float> texcoords;    // per vertex: u, -v
    std::vector<float> colours;      // per vertex: the hit colour as RGBA; made on first use
    std::vector<GLuint> triangles;   // per triangle: its three vertices
    std::vector<GLuint> edges;       // per triangle: the wire view's two lines; on first use

    bool posed = false;                       // positions and normals are for the pose below
    bool middles_posed = false;               // the middle-corner copies are too
    const tka_animation *animation = nullptr; // the pose: animation and frame
    int32_t frame = -1;
    std::vector<float> points;       // per stored vertex, then blend vertex: x, y, z
    std::vector<float> positions;    // per vertex: x, y, z
    std::vector<float> normals;      // per copy: its triangle's normal, or the one carried over
    std::vector<uint8_t> has_normal; // per triangle: 1 when it has a normal of its own
    std::vector<float> saved;        // scratch: normals patched over for one call
};

int32_t path = draw_by_arrays;
uint64_t frames_drawn = 0;
constexpr std::size_t max_meshes = 4; // the character and the weapon, and a little slack
std::vector<mesh_arrays> kept;

uint32_t last_copy(const mesh_arrays &arrays, uint32_t triangle) {
    return arrays.num_corners + triangle;
}

uint32_t middle_copy(const mesh_arrays &arrays, uint32_t triangle) {
    return arrays.num_corners + arrays.num_triangles + triangle;
}

// ---- layout (per mesh)

// The corners' texture coordinates and the triangles' indices; false when a corner of a whole
// triangle names a texture coordinate the mesh lacks (the immediate path would keep the one sent
// before it).
bool lay_out_triangles(mesh_arrays &arrays, const tkm_mesh &mesh) {
    const uint32_t num_vertices = arrays.num_corners + 2 * arrays.num_triangles;
    arrays.texcoords.assign(2u * num_vertices, 0.0f);
    arrays.triangles.assign(3u * arrays.num_triangles, 0);
    arrays.whole.assign(arrays.num_triangles, 0);
    if (!mesh.triangles || !mesh.corners) return true;
    auto copy_texcoord = [&](uint32_t to, uint32_t from) {
        std::memcpy(&arrays.texcoords[2 * to], &arrays.texcoords[2 * from], 2 * sizeof(float));
    };
    for (uint32_t c = 0; c < mesh.num_corners; c++) {
        const uint16_t t = mesh.corners[c].texcoord;
        if (t >= mesh.num_texcoords || !mesh.texcoords) continue; // checked where it is drawn
        arrays.texcoords[2 * c] = mesh.texcoords[t].u;
        arrays.texcoords[2 * c + 1] = -mesh.texcoords[t].v;
    }
    for (uint32_t t = 0; t < arrays.num_triangles; t++) {
        const uint16_t *corners = mesh.triangles[t].corners;
        if (corners[0] >= mesh.num_corners || corners[1] >= mesh.num_corners ||
            corners[2] >= mesh.num_corners)
            continue; // not drawn: it ends a span
        for (uint32_t k = 0; k < 3; k++)
            if (mesh.corners[corners[k]].texcoord >= mesh.num_texcoords || !mesh.texcoords)
                return false;
        arrays.whole[t] = 1;
        GLuint *triangle = &arrays.triangles[3 * t];
        triangle[0] = corners[0], triangle[1] = corners[1], triangle[2] = last_copy(arrays, t);
        copy_texcoord(last_copy(arrays, t), corners[2]);
        copy_texcoord(middle_copy(arrays, t), corners[1]);
    }
    return true;
}

void lay_out_spans(mesh_arrays &arrays, const tkm_mesh &mesh) {
    arrays.run_spans.push_back(0);
    for (uint16_t r = 0; r < mesh.num_material_runs && mesh.material_runs; r++) {
        const material_run &run = mesh.material_runs[r];
        const uint32_t end = std::min<uint32_t>(uint32_t{run.first_triangle} + run.triangle_count,
                                                arrays.num_triangles);
        for (uint32_t t = run.first_triangle; t < end; t++) {
            if (!arrays.whole[t]) continue;
            if (arrays.run_spans.back() == arrays.spans.size() ||
                arrays.spans.back().first + arrays.spans.back().count != t)
                arrays.spans.push_back({t, 0, 0});
            arrays.spans.back().count++;
        }
        arrays.run_spans.push_back(static_cast<uint32_t>(arrays.spans.size()));
    }
}

void lay_out(mesh_arrays &arrays, const tkm_mesh &mesh) {
    arrays = mesh_arrays{};
    arrays.mesh = &mesh;
    arrays.generation = model_generation();
    arrays.shape = shape_of(mesh);
    if (mesh.num_vertices > 0 && !mesh.vertices) return;
    arrays.num_corners = mesh.corners ? mesh.num_corners : 0;
    arrays.num_triangles = mesh.triangles && mesh.corners ? mesh.num_triangles : 0;
    if (!lay_out_triangles(arrays, mesh)) return;
    lay_out_spans(arrays, mesh);
    const uint32_t num_vertices = arrays.num_corners + 2 * arrays.num_triangles;
    arrays.points.assign(3u * (uint32_t{mesh.num_vertices} + mesh.num_blends), 0.0f);
    arrays.positions.assign(3u * num_vertices, 0.0f);
    arrays.normals.assign(3u * num_vertices, 0.0f);
    arrays.has_normal.assign(arrays.num_triangles, 0);
    arrays.fits = true;
}

void lay_out_colours(mesh_arrays &arrays, const tkm_mesh &mesh) {
    arrays.colours.assign(arrays.positions.size() / 3 * 4, 1.0f);
    auto set = [&](uint32_t vertex, uint16_t corner) {
        // The same arithmetic as hit_colour, so that the floats sent are the same.
        const uint16_t value = mesh.corners[corner].aux2;
        float *rgba = &arrays.colours[4 * vertex];
        rgba[0] = static_cast<float>(((value >> 10) & 31) * 8) / 255.0f;
        rgba[1] = static_cast<float>(((value >> 5) & 31) * 8) / 255.0f;
        rgba[2] = static_cast<float>((value & 31) * 8) / 255.0f;
    };
    for (uint32_t c = 0; c < arrays.num_corners; c++)
        set(c, static_cast<uint16_t>(c));
    for (uint32_t t = 0; t < arrays.num_triangles; t++) {
        if (!arrays.whole[t]) continue;
        set(last_copy(arrays, t), mesh.triangles[t].corners[2]);
        set(middle_copy(arrays, t), mesh.triangles[t].corners[1]);
    }
}

void lay_out_edges(mesh_arrays &arrays) {
    arrays.edges.assign(4u * arrays.num_triangles, 0);
    for (uint32_t t = 0; t < arrays.num_triangles; t++) {
        GLuint *edge = &arrays.edges[4 * t];
        edge[0] = arrays.triangles[3 * t];
        edge[1] = edge[2] = middle_copy(arrays, t);
        edge[3] = last_copy(arrays, t);
    }
}

// ---- posing (per frame)

// Positions and normals for the pose whose stored-vertex positions points holds (3 floats per
// stored vertex, then room for the blend vertices').
void fill_pose(mesh_arrays &arrays, const tkm_mesh &mesh) {
    float *points = arrays.points.data();
    for (uint32_t b = 0; b < mesh.num_blends; b++)
        blend_position(&mesh, static_cast<uint16_t>(b), points + 3 * (mesh.num_vertices + b));
    // Each corner where corner_position puts it.
    float *positions = arrays.positions.data();
    const uint32_t num_points = uint32_t{mesh.num_vertices} + mesh.num_blends;
    for (uint32_t c = 0; c < arrays.num_corners; c++) {
        const uint32_t v = mesh.corners[c].vertex;
        float *at = positions + 3 * c;
        if (v < num_points)
            std::memcpy(at, points + 3 * v, 3 * sizeof(float));
        else
            at[0] = at[1] = at[2] = 0.0f;
    }

    // Normals in triangle order, into the last-corner copies (one after another); a triangle
    // without one carries the last one before it, which it is drawn with unless it leads its span.
    for (uint32_t t = 0; t < arrays.num_triangles; t++)
        if (arrays.whole[t])
            std::memcpy(positions + 3 * last_copy(arrays, t),
                        positions + 3 * mesh.triangles[t].corners[2], 3 * sizeof(float));
    float *normals = arrays.normals.data() + 3 * std::size_t{last_copy(arrays, 0)};
    triangle_normals(normals, positions, arrays.triangles.data(), arrays.num_triangles);
    float carried[3] = {0.0f, 0.0f, 0.0f};
    for (uint32_t t = 0; t < arrays.num_triangles; t++) {
        if (!arrays.whole[t]) continue;
        float *normal = normals + 3 * t;
        const bool own =
            std::isfinite(normal[0]) && std::isfinite(normal[1]) && std::isfinite(normal[2]);
        arrays.has_normal[t] = own ? 1 : 0;
        if (own)
            std::memcpy(carried, normal, sizeof carried);
        else
            std::memcpy(normal, carried, sizeof carried);
    }
    for (span &s : arrays.spans) {
        s.leading = 0;
        while (s.leading < s.count && !arrays.has_normal[s.first + s.leading])
            s.leading++;
    }
    arrays.middles_posed = false;
}

// The wire view's middle-corner copies, for the pose the last-corner copies hold.
void fill_middles(mesh_arrays &arrays) {
    float *positions = arrays.positions.data();
    float *normals = arrays.normals.data();
    for (uint32_t t = 0; t < arrays.num_triangles; t++) {
        const uint32_t copy = middle_copy(arrays, t);
        std::memcpy(positions + 3 * copy, positions + 3 * arrays.triangles[3 * t + 1],
                    3 * sizeof(float));
        std::memcpy(normals + 3 * copy, normals + 3 * last_copy(arrays, t), 3 * sizeof(float));
    }
    arrays.middles_posed = true;
}

// Poses the mesh and refills its arrays when the pose they hold is not the one asked for.
void bring_up_to_date(mesh_arrays &arrays, tkm_mesh &mesh, const tka_animation *animation,
                      int32_t frame) {
    if (arrays.posed && arrays.animation == animation && arrays.frame == frame) return;
    pose_mesh_in_frame(&mesh, animation, frame, arrays.points.data());
    fill_pose(arrays, mesh);
    arrays.posed = true;
    arrays.animation = animation;
    arrays.frame = frame;
}

// ---- drawing

// What the mesh pass leaves current, as the immediate calls leave it.
struct current_values {
    bool normal_known = false;
    float normal[3] = {0.0f, 0.0f, 0.0f};
    int64_t last_vertex = -1;          // last vertex drawn
    int64_t last_textured_vertex = -1; // last vertex drawn with a texture coordinate
};

// Sets the normal of the copies of triangles [first, first + count) to normal, keeping what they
// held in saved; or, with normal null, puts back what saved holds.
void patch_normals(mesh_arrays &arrays, uint32_t first, uint32_t count, bool middles,
                   const float *normal) {
    for (uint32_t copies = 0; copies < (middles ? 2u : 1u); copies++) {
        const uint32_t start = copies == 0 ? last_copy(arrays, first) : middle_copy(arrays, first);
        float *at = arrays.normals.data() + 3 * std::size_t{start};
        float *keep = arrays.saved.data() + 3 * std::size_t{copies * count};
        for (uint32_t i = 0; i < count; i++, at += 3, keep += 3) {
            if (normal) {
                std::memcpy(keep, at, 3 * sizeof(float));
                std::memcpy(at, normal, 3 * sizeof(float));
            } else {
                std::memcpy(at, keep, 3 * sizeof(float));
            }
        }
    }
}

void draw_span(mesh_arrays &arrays, const span &s, GLenum primitive, current_values &current) {
    const bool lines = primitive != GL_TRIANGLES;
    if (s.leading > 0) {
        if (!current.normal_known) glGetFloatv(GL_CURRENT_NORMAL, current.normal);
        current.normal_known = true;
        arrays.saved.resize(6 * std::size_t{s.leading});
        patch_normals(arrays, s.first, s.leading, lines, current.normal);
    }
    if (lines)
        glDrawElements(GL_LINES, static_cast<GLsizei>(4 * s.count), GL_UNSIGNED_INT,
                       arrays.edges.data() + 4 * std::size_t{s.first});
    else
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(3 * s.count), GL_UNSIGNED_INT,
                       arrays.triangles.data() + 3 * std::size_t{s.first});
    if (s.leading > 0) patch_normals(arrays, s.first, s.leading, lines, nullptr);
    const uint32_t last = last_copy(arrays, s.first + s.count - 1);
    if (s.leading < s.count) {
        std::memcpy(current.normal, &arrays.normals[3 * last], sizeof current.normal);
        current.normal_known = true;
    }
    current.last_vertex = last;
}

void draw_runs(mesh_arrays &arrays, const tkm_mesh &mesh, GLenum primitive) {
    const bool hit_colours = app_state.show_hit_detection != 0;
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, arrays.positions.data());
    glNormalPointer(GL_FLOAT, 0, arrays.normals.data());
    glTexCoordPointer(2, GL_FLOAT, 0, arrays.texcoords.data());
    if (hit_colours) {
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(4, GL_FLOAT, 0, arrays.colours.data());
    }

    current_values current;
    bool texcoords_on = false;
    for (uint16_t r = 0; r < mesh.num_material_runs && mesh.material_runs; r++) {
        bool textured = false;
        if (!begin_run(mesh, mesh.material_runs[r], &textured)) continue;
        if (textured != texcoords_on) {
            if (textured)
                glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            else
                glDisableClientState(GL_TEXTURE_COORD_ARRAY);
            texcoords_on = textured;
        }
        for (uint32_t i = arrays.run_spans[r]; i < arrays.run_spans[r + 1]; i++) {
            draw_span(arrays, arrays.spans[i], primitive, current);
            if (textured) current.last_textured_vertex = current.last_vertex;
        }
    }

    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    if (hit_colours) glDisableClientState(GL_COLOR_ARRAY);
    // Arrays leave the current values undefined; the immediate calls leave the last ones sent.
    if (current.last_vertex < 0) return;
    glNormal3fv(current.normal);
    if (hit_colours) glColor4fv(&arrays.colours[4 * current.last_vertex]);
    if (current.last_textured_vertex >= 0)
        glTexCoord2fv(&arrays.texcoords[2 * current.last_textured_vertex]);
}

// The kept arrays of mesh, laid out anew when the mesh is new, holds other arrays, or any model
// was created or released since.
mesh_arrays &arrays_of(const tkm_mesh &mesh) {
    forget_stale_mesh_arrays();
    for (mesh_arrays &arrays : kept)
        if (arrays.mesh == &mesh) {
            if (!(arrays.shape == shape_of(mesh))) lay_out(arrays, mesh);
            return arrays;
        }
    if (kept.size() < max_meshes) {
        kept.emplace_back();
        lay_out(kept.back(), mesh);
        return kept.back();
    }
    mesh_arrays &oldest =
        *std::min_element(kept.begin(), kept.end(), [](const mesh_arrays &a, const mesh_arrays &b) {
            return a.last_use < b.last_use;
        });
    lay_out(oldest, mesh);
    return oldest;
}

} // namespace

// ---- interface

void set_draw_path(int32_t new_path) {
    path = new_path == draw_immediately ? draw_immediately : draw_by_arrays;
}

int32_t current_draw_path() {
    return path;
}

int32_t draw_mesh_arrays(tkm_mesh *mesh, const tka_animation *animation, int32_t frame) {
    const GLenum primitive = app_state.mesh_primitive;
    if (!mesh || app_state.show_normals ||
        (primitive != GL_TRIANGLES && primitive != GL_LINE_STRIP))
        return 1;
    // Back faces outlined with smoothed lines among filled triangles come out differently in one
    // call than one triangle at a time (Mesa's line smoothing works on the call's primitives).
    if (primitive == GL_TRIANGLES && glIsEnabled(GL_LINE_SMOOTH) && !glIsEnabled(GL_CULL_FACE))
        return 1;
    mesh_arrays &arrays = arrays_of(*mesh);
    if (!arrays.fits) return 1;
    arrays.last_use = ++frames_drawn;
    if (app_state.show_hit_detection && arrays.colours.empty()) lay_out_colours(arrays, *mesh);
    if (primitive == GL_LINE_STRIP && arrays.edges.empty()) lay_out_edges(arrays);
    bring_up_to_date(arrays, *mesh, animation, frame);
    if (primitive == GL_LINE_STRIP && !arrays.middles_posed) fill_middles(arrays);
    draw_runs(arrays, *mesh, primitive);
    return 0;
}

void forget_stale_mesh_arrays() {
    if (!kept.empty() && kept.front().generation != model_generation()) kept.clear();
}
