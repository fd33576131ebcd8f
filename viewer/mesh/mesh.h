// SPDX-License-Identifier: MIT
// The in-memory skinned model: every record of a TKM mesh, its class and its release operations.
//
// Index
//   records: tkm_bone, bone_run, tkm_vertex, blend_vertex, tkm_texcoord, tkm_corner, tkm_triangle,
//            material_run, triangle_list, texture_name, tkm_material, gripper, gl_texture_table,
//            tkm_mesh
//   creation and allocation: create_mesh, alloc_elements
//   class: model_class_name
//   derived values: set_texture_base, derive_material_values, derive_bone_matrices
//   releases: release_mesh, release_bones, release_gl_textures and the element-array releases
//
// Every array is a zero-filled block of the support library (alloc_one / cleanup_one) with a 16-bit
// count beside it; a counted string is a length and a block of length + 1 bytes ending in 0. The
// records are plain data, so a zero-filled block is an empty, valid record.
#pragma once

#include <cstdint>

#include "support/memory.h"

inline constexpr uint16_t no_parent = 0xFFFF; // parent of a root bone; anything above 65534 counts
inline constexpr uint32_t gl_front_face = 0x404;          // GL_FRONT
inline constexpr uint32_t gl_front_and_back_face = 0x408; // GL_FRONT_AND_BACK

// One bone of a mesh skeleton or of an animation skeleton (the frame arrays are animation-only).
struct tkm_bone {
    uint16_t name_length;   // bytes of name without its terminating 0
    char *name;             // owned block of name_length + 1 bytes
    uint16_t parent;        // index of the parent, smaller than this bone's; > 65534: root
    float position[3];      // bind-pose translation relative to the parent
    float rotation[4];      // bind-pose rotation relative to the parent, x y z w
    float local[16];        // quat_to_mat4(rotation) with position in 12..14
    float world[16];        // local for a root, else parent's world x local
    uint32_t animated;      // animation bones: 1 when the file carries rotations for this bone
    float *frame_rotations; // animation bones: owned, 4 floats per frame (x y z w)
    float *frame_locals;    // animation bones: owned, 16 floats per frame
    float *frame_worlds;    // animation bones: owned, 16 floats per frame
};

// Consecutive stored vertices that move with one bone.
struct bone_run {
    uint16_t bone;         // index into bones
    uint16_t first_vertex; // first stored vertex of the run
    uint16_t vertex_count; // number of vertices in the run
};

// A stored vertex, bound to exactly one bone.
struct tkm_vertex {
    uint16_t bone;   // the bone it moves with (from the run that covers it; 0 when uncovered)
    float local[16]; // relative to the bone; the translation is the bone-space position
    float world[16]; // posed: the bone's frame world x local; set by pose_mesh
};

// A vertex placed as the weighted sum of posed stored vertices (weights used as stored).
struct blend_vertex {
    uint16_t count;     // number of components
    uint16_t *vertices; // owned, count indices into the mesh's stored vertices
    float *weights;     // owned, count weights
};

// One texture coordinate.
struct tkm_texcoord {
    float u;
    float v;
};

// A triangle corner: a vertex (stored, or blend from num_vertices on) with a texture coordinate.
struct tkm_corner {
    uint16_t texcoord; // index into texcoords
    uint16_t vertex;   // < num_vertices: stored vertex; else blends[vertex - num_vertices]
    uint16_t aux1;     // kept and written back, not interpreted; the converter writes 0
    // The corner's hit-region colour, drawn in hit-detection mode: 15-bit RGB (red bits 10..14,
    // green 5..9, blue 0..4).
    uint16_t aux2;
};

// A triangle: three indices into corners.
struct tkm_triangle {
    uint16_t corners[3];
};

// Consecutive triangles drawn with one material.
struct material_run {
    uint16_t material;       // index into materials
    uint16_t first_triangle; // first triangle of the run
    uint16_t triangle_count; // number of triangles
};

// A list of triangle indices, kept and written back (also the shape of an animation frame string).
struct triangle_list {
    uint16_t count;      // number of entries
    uint16_t *triangles; // owned, count entries
};

// A texture file named by the materials.
struct texture_name {
    uint16_t length;      // bytes of path without its terminating 0
    char *path;           // owned block of length + 1 bytes, as stored in the file
    uint16_t base_length; // bytes of base
    char *base;           // points into path after its last '\\' or '/'; not owned
    uint32_t hidden;      // non-zero: runs whose material's first texture is this are skipped
};

// A reference from a material to a texture name.
struct texture_ref {
    uint16_t aux;     // kept and written back
    uint16_t texture; // index into texture_names
};

// A material: stored colours and values, then the OpenGL values derived from them.
struct tkm_material {
    uint16_t name_length;      // bytes of name without its terminating 0
    char *name;                // owned block of name_length + 1 bytes
    uint16_t num_texture_refs; // entries of texture_refs
    uint16_t aux_word;         // kept and written back
    texture_ref *texture_refs; // owned, num_texture_refs entries; the first one is drawn
    float diffuse[3];          // 0 to 255
    float ambient[3];          // 0 to 255
    float specular[3];         // 0 to 255
    float transparency;        // 0 (opaque) to 1
    float aux_float1;          // kept and written back
    uint8_t two_sided;         // non-zero: colours apply to back faces too
    float emission;            // 0 to 100
    float shininess;           // stored shininess
    float aux_float2;          // kept and written back
    float opacity;             // derived: 1 - transparency
    uint32_t gl_face;          // derived: gl_front_face, or gl_front_and_back_face when two_sided
    float gl_diffuse[4];       // derived: diffuse / 255, opacity
    float gl_ambient[4];       // derived: ambient / 255, opacity
    float gl_specular[4];      // derived: specular / 255, opacity
    float gl_emission[4];      // derived: emission / 100 in r g b, opacity
    float gl_shininess;        // derived: shininess / 100
};

// An attachment point: a grip (where a hand holds a weapon) or a gripper (where a character holds).
struct gripper {
    uint16_t name_length; // bytes of name without its terminating 0
    char *name;           // owned block of name_length + 1 bytes
    float local[16];      // placement relative to the bone: axes in columns 0..2, position in 3
    uint16_t bone;        // the bone that carries it
    float world[16];      // posed placement, computed by the drawing
};

// The OpenGL textures of a mesh, one per texture name once loaded.
struct gl_texture_table {
    uint32_t num_textures; // entries of both arrays; 0 before loading
    uint32_t *textures;    // owned block of GL texture names (each texture owned too)
    uint32_t *loaded;      // owned block: 1 when the image was loaded, else 0
};

// A whole model; it owns every array and string in it.
struct tkm_mesh {
    uint16_t declared_run_count; // run count declared in a file with an end marker, else 0
    uint16_t header_word;        // kept and written back
    uint16_t name_length;        // bytes of name without its terminating 0
    char *name;                  // owned counted string ("Milkshape" for a converted model)
    uint16_t num_bones;
    tkm_bone *bones; // owned; parents before children
    uint16_t num_runs;
    bone_run *runs; // owned; the runs before the end marker
    uint16_t num_vertices;
    tkm_vertex *vertices; // owned stored vertices
    uint16_t num_blends;
    float blend_aux;      // kept and written back
    blend_vertex *blends; // null when num_blends is 0
    uint16_t num_corners;
    tkm_corner *corners; // owned
    uint16_t num_texcoords;
    tkm_texcoord *texcoords; // owned
    uint16_t num_triangles;
    tkm_triangle *triangles; // owned; shown after "Polygons:"
    uint16_t num_material_runs;
    material_run *material_runs; // owned; drawing goes run by run
    uint32_t list_aux;           // the four bytes before the triangle lists, as an integer
    uint16_t num_triangle_lists;
    triangle_list *triangle_lists; // owned; kept and written back, not drawn
    uint16_t num_texture_names;
    texture_name *texture_names; // null when num_texture_names is 0
    uint16_t num_materials;
    tkm_material *materials; // owned
    uint16_t num_grips;
    gripper *grips; // null when num_grips is 0
    uint16_t num_grippers;
    gripper *grippers; // null when num_grippers is 0
    uint16_t directory_length;
    char *directory;        // owned; where the model was loaded from, without the final separator
    const char *class_name; // model_class_name's string; not owned
    gl_texture_table gl_textures; // owned OpenGL textures, one per texture name once loaded
};

// Whether bone index hangs from parent. Only a parent before the bone can be placed in one pass in
// index order, so anything else (0xFFFF, 0xFFFE, the bone itself or a later bone) is a root, and
// code that follows parents must ask this instead of indexing by parent.
inline bool has_parent(uint16_t parent, uint16_t index) {
    return parent < index;
}

// A new zero-filled mesh (block); null when out of memory. Release with release_mesh.
tkm_mesh *create_mesh();

// A count that every creation and release of a mesh or an animation moves on (wrapping). Whatever
// keeps data derived from a model by its address compares it, since a released model's address
// can come back as another model's.
uint32_t model_generation();
// Moves model_generation on; create_mesh, release_mesh, create_animation and release_animation
// call it. Any thread.
void note_model_change();

// A zero-filled block of count elements of T (count 0 gives a valid empty block); null when out
// of memory or when the size overflows 32 bits. Release with cleanup_one.
template <typename T> T *alloc_elements(uint32_t count) {
    if (count > UINT32_MAX / sizeof(T)) return nullptr;
    return static_cast<T *>(alloc_one(static_cast<uint32_t>(count * sizeof(T))));
}

// A new counted-string block holding length bytes of text and a terminating 0; null when out of
// memory. text may be null (the bytes stay 0).
char *alloc_counted_string(const char *text, uint16_t length);

// The class string for the bone count and the two attachment lists; never null, never owned.
const char *model_class_name(const tkm_mesh *mesh);

// ---- derived values: what the stored fields give the drawing and posing

// Sets base and base_length of name from its path: the text after the last '\\' or '/' (the first
// character never counts as a separator), or the whole path.
void set_texture_base(texture_name *name);

// Derives opacity, gl_face, the four RGBA colours and gl_shininess from the stored fields.
void derive_material_values(tkm_material *material);

// The bone's local matrix from rotation and position, and its world matrix from the bones before
// it (a bone that is a root, or whose parent is not before it, gets its local as world).
void derive_bone_matrices(tkm_bone *bones, uint16_t index);

// Frees everything the mesh owns (OpenGL textures included) and the mesh record; null is ignored.
void release_mesh(tkm_mesh *mesh);
// Frees count bones and the array; with_frames non-zero also frees each bone's frame arrays.
void release_bones(uint16_t count, tkm_bone *bones, uint32_t with_frames);
// Deletes one OpenGL texture name; the drawing layer supplies it.
using texture_release = void (*)(uint32_t name);
// Installs how release_gl_textures deletes a texture (the drawing layer does before it makes one).
void set_texture_release(texture_release release);
// Deletes the table's OpenGL textures through the installed release (needs a current GL context
// when num_textures is non-zero) and frees its arrays; the table is left empty.
void release_gl_textures(gl_texture_table *table);
// Element-array releases: free each element's owned strings and arrays, then the array.
void release_blend_vertices(uint16_t count, blend_vertex *blends);
void release_grippers(uint16_t count, gripper *grippers);
void release_materials(uint16_t count, tkm_material *materials);
void release_triangle_lists(uint16_t count, triangle_list *lists);
void release_texture_names(uint16_t count, texture_name *names);
