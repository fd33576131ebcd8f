// make_dense_model DIR: writes DIR/Dense.tkm, a textured ball of 65,535 triangles (the most a mesh
// can hold) on two bones, and the texture it names, for timing tkmtool render and thumbnail on
// the largest mesh there can be (bench_render.sh).
#include <cmath>
#include <cstdio>
#include <string>

#include "tools/samplegen/byte_writer.h"
#include "tools/samplegen/images.h"
#include "tools/samplegen/sample_models.h"
#include "viewer/mesh/mesh.h"
#include "viewer/mesh/tkm_writer.h"
#include "viewer/render/math3d.h"

namespace {

constexpr int rings = 127;                 // quads from pole to pole
constexpr int segments = 258;              // quads around
constexpr uint32_t most_triangles = 65535; // 2 x 127 x 258 = 65,532, and three more
constexpr float radius = 40.0f;

char *copy_text(const char *text, uint16_t *length) {
    *length = static_cast<uint16_t>(std::string(text).size());
    return alloc_counted_string(text, *length);
}

// Two bones, the lower half of the ball on the first and the upper half on the second.
void add_skeleton(tkm_mesh *mesh, uint32_t vertices) {
    mesh->num_bones = 2;
    mesh->bones = alloc_elements<tkm_bone>(2);
    for (int b = 0; b < 2; b++) {
        tkm_bone &bone = mesh->bones[b];
        bone.name = copy_text(b == 0 ? "Root" : "Upper", &bone.name_length);
        bone.parent = b == 0 ? no_parent : 0;
        bone.rotation[3] = 1.0f;
        mat4_identity(bone.local);
        mat4_identity(bone.world);
    }
    const uint16_t half = static_cast<uint16_t>(vertices / 2);
    mesh->num_runs = 2;
    mesh->runs = alloc_elements<bone_run>(2);
    mesh->runs[0] = {0, 0, half};
    mesh->runs[1] = {1, half, static_cast<uint16_t>(vertices - half)};
}

// One vertex, corner and texture coordinate per point of a latitude-longitude grid.
void add_points(tkm_mesh *mesh, uint32_t vertices) {
    mesh->num_vertices = mesh->num_corners = mesh->num_texcoords = static_cast<uint16_t>(vertices);
    mesh->vertices = alloc_elements<tkm_vertex>(vertices);
    mesh->corners = alloc_elements<tkm_corner>(vertices);
    mesh->texcoords = alloc_elements<tkm_texcoord>(vertices);
    for (int r = 0; r <= rings; r++)
        for (int s = 0; s <= segments; s++) {
            const uint32_t i = static_cast<uint32_t>(r * (segments + 1) + s);
            const double down = M_PI * r / rings, around = 2.0 * M_PI * s / segments;
            mesh->vertices[i].bone = i < vertices / 2 ? 0 : 1;
            mat4_identity(mesh->vertices[i].local);
            mesh->vertices[i].local[12] =
                static_cast<float>(radius * std::sin(down) * std::cos(around));
            mesh->vertices[i].local[13] = static_cast<float>(radius * std::cos(down));
            mesh->vertices[i].local[14] =
                static_cast<float>(radius * std::sin(down) * std::sin(around));
            mesh->corners[i] = {static_cast<uint16_t>(i), static_cast<uint16_t>(i), 0,
                                static_cast<uint16_t>(i & 0x7FFF)};
            mesh->texcoords[i] = {static_cast<float>(s) * 8.0f / segments,
                                  static_cast<float>(r) * 4.0f / rings};
        }
}

// Two triangles per grid quad, wound clockwise seen from outside (the viewer's front faces).
void add_triangles(tkm_mesh *mesh) {
    mesh->num_triangles = static_cast<uint16_t>(most_triangles);
    mesh->triangles = alloc_elements<tkm_triangle>(most_triangles);
    uint32_t made = 0;
    for (int r = 0; r < rings; r++)
        for (int s = 0; s < segments; s++) {
            const uint16_t a = static_cast<uint16_t>(r * (segments + 1) + s);
            const uint16_t b = static_cast<uint16_t>(a + 1),
                           c = static_cast<uint16_t>(a + segments + 1);
            const uint16_t d = static_cast<uint16_t>(c + 1);
            mesh->triangles[made++] = {{a, c, b}};
            mesh->triangles[made++] = {{b, c, d}};
        }
    for (uint32_t i = 0; made < most_triangles; i++)
        mesh->triangles[made++] = mesh->triangles[i];
}

void add_material(tkm_mesh *mesh) {
    mesh->num_texture_names = 1;
    mesh->texture_names = alloc_elements<texture_name>(1);
    texture_name &texture = mesh->texture_names[0];
    texture.path = copy_text(uniform_texture_file, &texture.length);
    texture.base = texture.path;
    texture.base_length = texture.length;
    mesh->num_materials = 1;
    mesh->materials = alloc_elements<tkm_material>(1);
    tkm_material &m = mesh->materials[0];
    m.name = copy_text("Cloth", &m.name_length);
    m.num_texture_refs = 1;
    m.texture_refs = alloc_elements<texture_ref>(1);
    m.opacity = 1.0f;
    m.gl_face = gl_front_face;
    mesh->num_material_runs = 1;
    mesh->material_runs = alloc_elements<material_run>(1);
    mesh->material_runs[0] = {0, 0, static_cast<uint16_t>(most_triangles)};
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_dense_model OUTPUT_DIRECTORY\n");
        return 2;
    }
    const std::string directory = std::string(argv[1]) + "/";
    const uint32_t vertices = (rings + 1) * (segments + 1);
    tkm_mesh *mesh = create_mesh();
    if (!mesh) return 1;
    mesh->header_word = 1029;
    mesh->name = copy_text("Dense", &mesh->name_length);
    add_skeleton(mesh, vertices);
    add_points(mesh, vertices);
    add_triangles(mesh);
    add_material(mesh);
    int code = write_tkm(mesh, (directory + "Dense.tkm").c_str());
    release_mesh(mesh);
    if (code == 0)
        code = write_bytes(directory + uniform_texture_file, encode_bmp(make_uniform_picture()));
    if (code != 0) std::fprintf(stderr, "make_dense_model: writing into %s failed\n", argv[1]);
    return code == 0 ? 0 : 1;
}
