// Vertex arrays of the meshes drawn, kept between frames, and the mesh pass drawn from them.
//
// The arrays reproduce the immediate drawing call for call where it shows: the same material and
// texture calls per run, the same positions, normals, texture coordinates and hit colours per
// corner, in the same order. A zero-area triangle has no normal of its own and is drawn with the
// one current before it, as glNormal3fv leaves it, so the triangles at the start of a span that
// have none get it patched in just for that span's call. The wire view draws each triangle's two
// edges as a pair of independent lines, which light and colour each segment by its second
// corner exactly as a line strip does.
//
// Index: records - layout (per mesh) - posing (per frame) - drawing - interface
#include "viewer/render/mesh_arrays.h"

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "viewer/anim/pose.h"
#include "viewer/app/app_state.h"
#include "viewer/mesh/mesh.h"
#include "viewer/render/draw.h"
#include "viewer/render/math3d.h"
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

// One mesh's arrays. Slots are the corners as drawn: three per triangle, in triangle order.
struct mesh_arrays {
    const tkm_mesh *mesh = nullptr; // the mesh laid out; compared by address, generation, shape
    uint32_t generation = 0;        // model_generation when laid out
    mesh_shape shape;               // the mesh's arrays and counts when laid out
    uint64_t last_use = 0;          // frame counter of the last draw, to pick one to reuse
    bool fits = false;              // false: drawn immediately instead

    std::vector<span> spans;          // every run's spans, run by run
    std::vector<uint32_t> run_spans;  // run r's spans are [run_spans[r], run_spans[r + 1])
    std::vector<uint32_t> slot_point; // per slot: its point (the zero point for no vertex)
    std::vector<float> texcoords;     // per slot: u, -v
    std::vector<float> colours;       // per slot: the hit colour as RGBA; laid out on first use
    std::vector<GLuint> edges;        // per triangle: slots of the wire view's two edges; ditto

    bool posed = false;                       // positions and normals are for the pose below
    const tka_animation *animation = nullptr; // the pose: animation and frame_in_use
    int32_t frame = -1;
    std::vector<float> points;       // per stored vertex, then blend vertex, then zero: x, y, z
    std::vector<float> positions;    // per slot: x, y, z
    std::vector<float> normals;      // per slot: the triangle's normal, or the one carried over
    std::vector<uint8_t> has_normal; // per triangle: 1 when it has a normal of its own
    std::vector<float> saved;        // scratch: normals patched over for one call
};

int32_t path = draw_by_arrays;
uint64_t frames_drawn = 0;
constexpr std::size_t max_meshes = 4; // the character and the weapon, and a little slack
std::vector<mesh_arrays> kept;

// ---- layout (per mesh)

void lay_out(mesh_arrays &arrays, const tkm_mesh &mesh) {
    arrays = mesh_arrays{};
    arrays.mesh = &mesh;
    arrays.generation = model_generation();
    arrays.shape = shape_of(mesh);
    if (mesh.num_vertices > 0 && !mesh.vertices) return;

    const uint32_t num_points = uint32_t{mesh.num_vertices} + mesh.num_blends + 1;
    const uint32_t zero_point = num_points - 1;
    const uint32_t num_slots = 3u * mesh.num_triangles;
    const bool triangles = mesh.triangles && mesh.corners;
    std::vector<uint8_t> whole(mesh.num_triangles, 0);
    if (triangles) {
        arrays.slot_point.assign(num_slots, zero_point);
        arrays.texcoords.assign(2u * num_slots, 0.0f);
        for (uint32_t t = 0; t < mesh.num_triangles; t++) {
            const uint16_t *corners = mesh.triangles[t].corners;
            if (corners[0] >= mesh.num_corners || corners[1] >= mesh.num_corners ||
                corners[2] >= mesh.num_corners)
                continue; // not drawn: it ends a span
            whole[t] = 1;
            for (uint32_t k = 0; k < 3; k++) {
                const tkm_corner &corner = mesh.corners[corners[k]];
                // A texture coordinate the mesh lacks would keep the one sent before it.
                if (corner.texcoord >= mesh.num_texcoords || !mesh.texcoords) return;
                const uint32_t slot = 3 * t + k;
                if (corner.vertex < zero_point) arrays.slot_point[slot] = corner.vertex;
                arrays.texcoords[2 * slot] = mesh.texcoords[corner.texcoord].u;
                arrays.texcoords[2 * slot + 1] = -mesh.texcoords[corner.texcoord].v;
            }
        }
    }

    arrays.run_spans.push_back(0);
    for (uint16_t r = 0; r < mesh.num_material_runs && mesh.material_runs; r++) {
        const material_run &run = mesh.material_runs[r];
        const uint32_t end = std::min<uint32_t>(uint32_t{run.first_triangle} + run.triangle_count,
                                                mesh.num_triangles);
        for (uint32_t t = run.first_triangle; triangles && t < end; t++) {
            if (!whole[t]) continue;
            if (arrays.spans.empty() || arrays.run_spans.back() == arrays.spans.size() ||
                arrays.spans.back().first + arrays.spans.back().count != t)
                arrays.spans.push_back({t, 0, 0});
            arrays.spans.back().count++;
        }
        arrays.run_spans.push_back(static_cast<uint32_t>(arrays.spans.size()));
    }

    arrays.points.assign(3u * num_points, 0.0f);
    arrays.positions.assign(3u * num_slots, 0.0f);
    arrays.normals.assign(3u * num_slots, 0.0f);
    arrays.has_normal.assign(mesh.num_triangles, 0);
    arrays.fits = true;
}

void lay_out_colours(mesh_arrays &arrays, const tkm_mesh &mesh) {
    arrays.colours.assign(4 * arrays.slot_point.size(), 1.0f);
    for (uint32_t t = 0; t < mesh.num_triangles; t++)
        for (uint32_t k = 0; k < 3; k++) {
            const uint16_t corner = mesh.triangles[t].corners[k];
            if (corner >= mesh.num_corners) continue;
            // The same arithmetic as hit_colour, so that the floats sent are the same.
            const uint16_t value = mesh.corners[corner].aux2;
            float *rgba = &arrays.colours[4 * (3 * t + k)];
            rgba[0] = static_cast<float>(((value >> 10) & 31) * 8) / 255.0f;
            rgba[1] = static_cast<float>(((value >> 5) & 31) * 8) / 255.0f;
            rgba[2] = static_cast<float>((value & 31) * 8) / 255.0f;
        }
}

void lay_out_edges(mesh_arrays &arrays, const tkm_mesh &mesh) {
    arrays.edges.resize(4u * mesh.num_triangles);
    for (GLuint t = 0; t < mesh.num_triangles; t++) {
        GLuint *edge = &arrays.edges[4 * t];
        edge[0] = 3 * t, edge[1] = 3 * t + 1, edge[2] = 3 * t + 1, edge[3] = 3 * t + 2;
    }
}

// ---- posing (per frame)

void fill_pose(mesh_arrays &arrays, const tkm_mesh &mesh) {
    float *points = arrays.points.data();
    for (uint32_t v = 0; v < mesh.num_vertices; v++)
        std::memcpy(points + 3 * v, mesh.vertices[v].world + 12, 3 * sizeof(float));
    for (uint32_t b = 0; b < mesh.num_blends; b++)
        blend_position(&mesh, static_cast<uint16_t>(b), points + 3 * (mesh.num_vertices + b));

    const uint32_t num_slots = static_cast<uint32_t>(arrays.slot_point.size());
    float *positions = arrays.positions.data();
    const uint32_t *slot_point = arrays.slot_point.data();
    for (uint32_t s = 0; s < num_slots; s++)
        std::memcpy(positions + 3 * s, points + 3 * slot_point[s], 3 * sizeof(float));

    // Normals in triangle order; a triangle without one carries the last one before it, which is
    // what it is drawn with unless it leads its span.
    float carried[3] = {0.0f, 0.0f, 0.0f};
    float *normals = arrays.normals.data();
    for (uint32_t t = 0; 3 * t < num_slots; t++) {
        const float *p = positions + 9 * t;
        float normal[3];
        triangle_normal(normal, p, p + 3, p + 6);
        const bool own =
            std::isfinite(normal[0]) && std::isfinite(normal[1]) && std::isfinite(normal[2]);
        arrays.has_normal[t] = own ? 1 : 0;
        if (own) std::memcpy(carried, normal, sizeof carried);
        for (uint32_t k = 0; k < 3; k++)
            std::memcpy(normals + 9 * t + 3 * k, carried, sizeof carried);
    }
    for (span &s : arrays.spans) {
        s.leading = 0;
        while (s.leading < s.count && !arrays.has_normal[s.first + s.leading])
            s.leading++;
    }
}

// Poses the mesh and refills its arrays when the pose they hold is not the one asked for.
void bring_up_to_date(mesh_arrays &arrays, tkm_mesh &mesh, const tka_animation *animation) {
    const int32_t frame = frame_in_use(&mesh, animation);
    if (arrays.posed && arrays.animation == animation && arrays.frame == frame) return;
    pose_mesh(&mesh, animation);
    fill_pose(arrays, mesh);
    // The timer may have moved the frame while the mesh was posed: then pose again next time.
    arrays.posed = frame_in_use(&mesh, animation) == frame;
    arrays.animation = animation;
    arrays.frame = frame;
}

// ---- drawing

// What the mesh pass leaves current, as the immediate calls leave it.
struct current_values {
    bool normal_known = false;
    float normal[3] = {0.0f, 0.0f, 0.0f};
    int64_t last_slot = -1;          // last corner drawn
    int64_t last_textured_slot = -1; // last corner drawn with a texture coordinate
};

void draw_span(mesh_arrays &arrays, const span &s, GLenum primitive, current_values &current) {
    float *normals = arrays.normals.data() + 9 * std::size_t{s.first};
    const std::size_t patched = 9 * std::size_t{s.leading};
    if (s.leading > 0) {
        if (!current.normal_known) glGetFloatv(GL_CURRENT_NORMAL, current.normal);
        current.normal_known = true;
        arrays.saved.assign(normals, normals + patched);
        for (std::size_t i = 0; i < patched; i += 3)
            std::memcpy(normals + i, current.normal, sizeof current.normal);
    }
    if (primitive == GL_TRIANGLES)
        glDrawArrays(GL_TRIANGLES, static_cast<GLint>(3 * s.first),
                     static_cast<GLsizei>(3 * s.count));
    else
        glDrawElements(GL_LINES, static_cast<GLsizei>(4 * s.count), GL_UNSIGNED_INT,
                       arrays.edges.data() + 4 * std::size_t{s.first});
    if (s.leading > 0) std::copy(arrays.saved.begin(), arrays.saved.end(), normals);
    if (s.leading < s.count) {
        std::memcpy(current.normal, normals + 9 * std::size_t{s.count - 1}, sizeof current.normal);
        current.normal_known = true;
    }
    current.last_slot = 3 * (int64_t{s.first} + s.count) - 1;
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
            if (textured) current.last_textured_slot = current.last_slot;
        }
    }

    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    if (hit_colours) glDisableClientState(GL_COLOR_ARRAY);
    // Arrays leave the current values undefined; the immediate calls leave the last ones sent.
    if (current.last_slot < 0) return;
    glNormal3fv(current.normal);
    if (hit_colours) glColor4fv(&arrays.colours[4 * current.last_slot]);
    if (current.last_textured_slot >= 0)
        glTexCoord2fv(&arrays.texcoords[2 * current.last_textured_slot]);
}

// The kept arrays of mesh, laid out anew when the mesh is new or any model changed since.
mesh_arrays &arrays_of(const tkm_mesh &mesh) {
    const uint32_t generation = model_generation();
    if (!kept.empty() && kept.front().generation != generation) kept.clear();
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

int32_t draw_mesh_arrays(tkm_mesh *mesh, const tka_animation *animation) {
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
    if (primitive == GL_LINE_STRIP && arrays.edges.empty()) lay_out_edges(arrays, *mesh);
    bring_up_to_date(arrays, *mesh, animation);
    draw_runs(arrays, *mesh, primitive);
    return 0;
}

void drop_mesh_arrays() {
    kept.clear();
    kept.shrink_to_fit();
}
