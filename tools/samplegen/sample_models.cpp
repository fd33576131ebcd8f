// SPDX-License-Identifier: MIT
// Sample models built from boxes on a plausible skeleton.
//
// Index: skeleton table | mesh builder | officer | rifle | walk
//
// Units are inches, y is up and the figure faces +z (towards the viewer's camera). Every bind
// rotation is the identity, so a bone's world position is the sum of its offsets and a vertex's
// bone-relative position is its model position minus the bone's.
#include "tools/samplegen/sample_models.h"

#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "viewer/mesh/mesh.h"

namespace {

// ---- skeleton table

struct bone_row {
    const char *name;
    uint16_t parent;
    float offset[3]; // from the parent (from the origin for the root)
};

constexpr uint16_t root = 0xFFFF;

// The game's officer hierarchy: pelvis and spine, head, two arms with five three-bone fingers,
// two legs of four bones.
constexpr bone_row officer_bones[52] = {
    {"Bip01 Pelvis", root, {0, 38, 0}},
    {"Bip01 Spine", 0, {0, 4, 0}},
    {"Bip01 Spine1", 1, {0, 6, 0}},
    {"Bip01 Spine2", 2, {0, 6, 0}},
    {"Bip01 Neck", 3, {0, 8, 0}},
    {"Bip01 Head", 4, {0, 3, 0}},
    {"Bip01 L Clavicle", 4, {2, -1, 0}},
    {"Bip01 L UpperArm", 6, {6, -1, 0}},
    {"Bip01 L Forearm", 7, {0, -12, 0}},
    {"Bip01 L Hand", 8, {0, -11, 0}},
    {"Bip01 L Finger0", 9, {1.2f, -1, 1.4f}},
    {"Bip01 L Finger01", 10, {0, -1.3f, 0}},
    {"Bip01 L Finger02", 11, {0, -1.1f, 0}},
    {"Bip01 L Finger1", 9, {0.9f, -3.5f, 0.8f}},
    {"Bip01 L Finger11", 13, {0, -1.3f, 0}},
    {"Bip01 L Finger12", 14, {0, -1.1f, 0}},
    {"Bip01 L Finger2", 9, {0.3f, -3.6f, 0.3f}},
    {"Bip01 L Finger21", 16, {0, -1.4f, 0}},
    {"Bip01 L Finger22", 17, {0, -1.2f, 0}},
    {"Bip01 L Finger3", 9, {-0.3f, -3.5f, -0.3f}},
    {"Bip01 L Finger31", 19, {0, -1.3f, 0}},
    {"Bip01 L Finger32", 20, {0, -1.1f, 0}},
    {"Bip01 L Finger4", 9, {-0.9f, -3.2f, -0.8f}},
    {"Bip01 L Finger41", 22, {0, -1.0f, 0}},
    {"Bip01 L Finger42", 23, {0, -0.9f, 0}},
    {"Bip01 R Clavicle", 4, {-2, -1, 0}},
    {"Bip01 R UpperArm", 25, {-6, -1, 0}},
    {"Bip01 R Forearm", 26, {0, -12, 0}},
    {"Bip01 R Hand", 27, {0, -11, 0}},
    {"Bip01 R Finger0", 28, {-1.2f, -1, 1.4f}},
    {"Bip01 R Finger01", 29, {0, -1.3f, 0}},
    {"Bip01 R Finger02", 30, {0, -1.1f, 0}},
    {"Bip01 R Finger1", 28, {-0.9f, -3.5f, 0.8f}},
    {"Bip01 R Finger11", 32, {0, -1.3f, 0}},
    {"Bip01 R Finger12", 33, {0, -1.1f, 0}},
    {"Bip01 R Finger2", 28, {-0.3f, -3.6f, 0.3f}},
    {"Bip01 R Finger21", 35, {0, -1.4f, 0}},
    {"Bip01 R Finger22", 36, {0, -1.2f, 0}},
    {"Bip01 R Finger3", 28, {0.3f, -3.5f, -0.3f}},
    {"Bip01 R Finger31", 38, {0, -1.3f, 0}},
    {"Bip01 R Finger32", 39, {0, -1.1f, 0}},
    {"Bip01 R Finger4", 28, {0.9f, -3.2f, -0.8f}},
    {"Bip01 R Finger41", 41, {0, -1.0f, 0}},
    {"Bip01 R Finger42", 42, {0, -0.9f, 0}},
    {"Bip01 L Thigh", 0, {4, -2, 0}},
    {"Bip01 L Calf", 44, {0, -17, 0}},
    {"Bip01 L Foot", 45, {0, -16, 0}},
    {"Bip01 L Toe0", 46, {0, -2, 4}},
    {"Bip01 R Thigh", 0, {-4, -2, 0}},
    {"Bip01 R Calf", 48, {0, -17, 0}},
    {"Bip01 R Foot", 49, {0, -16, 0}},
    {"Bip01 R Toe0", 50, {0, -2, 4}},
};

// Hit regions as the game colours them: 15-bit RGB.
constexpr uint16_t hit_head = 0x7C00;  // red
constexpr uint16_t hit_torso = 0x03E0; // green
constexpr uint16_t hit_arm = 0x001F;   // blue
constexpr uint16_t hit_leg = 0x7FE0;   // yellow

// How a box's faces take their picture.
enum : uint8_t {
    whole_picture = 0, // every face shows the whole picture
    face_front = 1,    // the front shows the face, the other sides the hair
    plain_skin = 2,    // every face shows bare skin from below the mouth
};

// A box on a bone, in bone-relative coordinates.
struct box_row {
    uint16_t bone;
    float min[3];
    float max[3];
    uint16_t material; // 0 uniform, 1 skin
    uint16_t hit;
    uint8_t mapping = whole_picture;
};

// Bone order, so the stored vertices come out sorted by bone as the runs need.
constexpr box_row officer_boxes[] = {
    {0, {-6.5f, -3, -3.5f}, {6.5f, 4, 3.5f}, 0, hit_torso},
    {1, {-6.5f, 0, -3.8f}, {6.5f, 6, 3.8f}, 0, hit_torso},
    {2, {-7, 0, -4}, {7, 6, 4}, 0, hit_torso},
    {3, {-7.5f, 0, -4}, {7.5f, 8, 4}, 0, hit_torso},
    {4, {-2, 0, -2}, {2, 3, 2}, 0, hit_head},
    {5, {-3.5f, 0, -4}, {3.5f, 9, 4}, 1, hit_head, face_front},
    {7, {-2, -12, -2}, {2, 1, 2}, 0, hit_arm},
    {8, {-1.7f, -11, -1.7f}, {1.7f, 0, 1.7f}, 0, hit_arm},
    {9, {-0.8f, -4.5f, -1.8f}, {0.8f, 0, 1.8f}, 1, hit_arm, plain_skin},
    {26, {-2, -12, -2}, {2, 1, 2}, 0, hit_arm},
    {27, {-1.7f, -11, -1.7f}, {1.7f, 0, 1.7f}, 0, hit_arm},
    {28, {-0.8f, -4.5f, -1.8f}, {0.8f, 0, 1.8f}, 1, hit_arm, plain_skin},
    {44, {-2.8f, -17, -2.8f}, {2.8f, 0, 2.8f}, 0, hit_leg},
    {45, {-2.2f, -16, -2.2f}, {2.2f, 0, 2.2f}, 0, hit_leg},
    {46, {-2, -3, -2.5f}, {2, 0, 4}, 0, hit_leg},
    {48, {-2.8f, -17, -2.8f}, {2.8f, 0, 2.8f}, 0, hit_leg},
    {49, {-2.2f, -16, -2.2f}, {2.2f, 0, 2.2f}, 0, hit_leg},
    {50, {-2, -3, -2.5f}, {2, 0, 4}, 0, hit_leg},
};

struct material_row {
    const char *name;
    const char *texture; // stored path, Windows style as the game's tools write it
    float diffuse[3];
};

constexpr material_row officer_materials[] = {
    {"Uniform", "Textures\\swat_uniform.bmp", {200, 200, 210}},
    {"Skin", "Textures\\swat_face.tga", {230, 200, 180}},
};

// ---- mesh builder

// Collects boxes into the counted arrays of a tkm_mesh.
struct mesh_builder {
    std::vector<uint16_t> vertex_bones;
    std::vector<std::array<float, 3>> positions; // bone-relative
    std::vector<tkm_corner> corners;
    std::vector<std::vector<tkm_triangle>> triangles_by_material;

    explicit mesh_builder(std::size_t num_materials) : triangles_by_material(num_materials) {}

    // Six faces, four corners each going counter-clockwise seen from outside; the +z face is the
    // front. Triangles are wound the other way: the game's meshes, and the viewer, take clockwise
    // as the front.
    void add_box(const box_row &box) {
        const float *a = box.min, *b = box.max;
        const float faces[6][4][3] = {
            {{a[0], a[1], b[2]}, {b[0], a[1], b[2]}, {b[0], b[1], b[2]}, {a[0], b[1], b[2]}},
            {{b[0], a[1], a[2]}, {a[0], a[1], a[2]}, {a[0], b[1], a[2]}, {b[0], b[1], a[2]}},
            {{b[0], a[1], b[2]}, {b[0], a[1], a[2]}, {b[0], b[1], a[2]}, {b[0], b[1], b[2]}},
            {{a[0], a[1], a[2]}, {a[0], a[1], b[2]}, {a[0], b[1], b[2]}, {a[0], b[1], a[2]}},
            {{a[0], b[1], b[2]}, {b[0], b[1], b[2]}, {b[0], b[1], a[2]}, {a[0], b[1], a[2]}},
            {{a[0], a[1], a[2]}, {b[0], a[1], a[2]}, {b[0], a[1], b[2]}, {a[0], a[1], b[2]}},
        };
        for (int f = 0; f < 6; f++) {
            const auto first = static_cast<uint16_t>(corners.size());
            uint16_t texcoord_base = 0;
            if (box.mapping == face_front && f != 0) texcoord_base = 4;
            if (box.mapping == plain_skin) texcoord_base = 8;
            for (int k = 0; k < 4; k++) {
                vertex_bones.push_back(box.bone);
                positions.push_back({faces[f][k][0], faces[f][k][1], faces[f][k][2]});
                tkm_corner corner{};
                corner.texcoord = static_cast<uint16_t>(texcoord_base + k);
                corner.vertex = static_cast<uint16_t>(positions.size() - 1);
                corner.aux2 = box.hit;
                corners.push_back(corner);
            }
            auto &list = triangles_by_material[box.material];
            list.push_back(
                {{first, static_cast<uint16_t>(first + 2), static_cast<uint16_t>(first + 1)}});
            list.push_back(
                {{first, static_cast<uint16_t>(first + 3), static_cast<uint16_t>(first + 2)}});
        }
    }
};

char *copy_text(const char *text, uint16_t *length) {
    *length = static_cast<uint16_t>(std::strlen(text));
    return alloc_counted_string(text, *length);
}

void fill_gripper(gripper *out, const char *name, uint16_t bone, const float position[3]) {
    out->name = copy_text(name, &out->name_length);
    for (int i = 0; i < 16; i++)
        out->local[i] = i % 5 == 0 ? 1.0f : 0.0f;
    out->local[12] = position[0];
    out->local[13] = position[1];
    out->local[14] = position[2];
    out->bone = bone;
}

// The whole mesh from bones, boxes and materials; null when memory runs out.
tkm_mesh *assemble_mesh(const char *name, const bone_row *bones, uint16_t num_bones,
                        const box_row *boxes, std::size_t num_boxes, const material_row *materials,
                        uint16_t num_materials) {
    tkm_mesh *mesh = create_mesh();
    if (!mesh) return nullptr;
    mesh->header_word = 1029;
    mesh->name = copy_text(name, &mesh->name_length);

    mesh->num_bones = num_bones;
    mesh->bones = alloc_elements<tkm_bone>(num_bones);
    for (uint16_t i = 0; i < num_bones; i++) {
        tkm_bone &bone = mesh->bones[i];
        bone.name = copy_text(bones[i].name, &bone.name_length);
        bone.parent = bones[i].parent;
        std::memcpy(bone.position, bones[i].offset, sizeof bone.position);
        bone.rotation[3] = 1.0f;
        derive_bone_matrices(mesh->bones, i);
    }

    mesh_builder builder(num_materials);
    for (std::size_t i = 0; i < num_boxes; i++)
        builder.add_box(boxes[i]);

    // Runs: one per bone that carries vertices, in vertex order.
    std::vector<bone_run> runs;
    for (std::size_t v = 0; v < builder.vertex_bones.size(); v++) {
        if (runs.empty() || runs.back().bone != builder.vertex_bones[v])
            runs.push_back({builder.vertex_bones[v], static_cast<uint16_t>(v), 0});
        runs.back().vertex_count++;
    }
    mesh->num_runs = static_cast<uint16_t>(runs.size());
    mesh->runs = alloc_elements<bone_run>(mesh->num_runs);
    std::memcpy(mesh->runs, runs.data(), runs.size() * sizeof(bone_run));

    mesh->num_vertices = static_cast<uint16_t>(builder.positions.size());
    mesh->vertices = alloc_elements<tkm_vertex>(mesh->num_vertices);
    for (uint16_t v = 0; v < mesh->num_vertices; v++) {
        tkm_vertex &vertex = mesh->vertices[v];
        vertex.bone = builder.vertex_bones[v];
        for (int i = 0; i < 16; i++)
            vertex.local[i] = i % 5 == 0 ? 1.0f : 0.0f;
        std::memcpy(&vertex.local[12], builder.positions[v].data(), 3 * sizeof(float));
    }

    // Corners go bottom left, bottom right, top right, top left; v runs down the picture from its
    // top row, as in the game's files.
    const tkm_texcoord texcoords[12] = {
        {0, 1},        {1, 1},        {1, 0},        {0, 0},        // the whole picture
        {0, 0.15f},    {1, 0.15f},    {1, 0},        {0, 0},        // the hair along the top
        {0.2f, 0.95f}, {0.8f, 0.95f}, {0.8f, 0.83f}, {0.2f, 0.83f}, // skin below the mouth
    };
    mesh->num_texcoords = 12;
    mesh->texcoords = alloc_elements<tkm_texcoord>(12);
    std::memcpy(mesh->texcoords, texcoords, sizeof texcoords);

    mesh->num_corners = static_cast<uint16_t>(builder.corners.size());
    mesh->corners = alloc_elements<tkm_corner>(mesh->num_corners);
    std::memcpy(mesh->corners, builder.corners.data(), builder.corners.size() * sizeof(tkm_corner));

    std::vector<tkm_triangle> triangles;
    std::vector<material_run> material_runs;
    for (uint16_t m = 0; m < num_materials; m++) {
        const auto &list = builder.triangles_by_material[m];
        if (list.empty()) continue;
        material_runs.push_back(
            {m, static_cast<uint16_t>(triangles.size()), static_cast<uint16_t>(list.size())});
        triangles.insert(triangles.end(), list.begin(), list.end());
    }
    mesh->num_triangles = static_cast<uint16_t>(triangles.size());
    mesh->triangles = alloc_elements<tkm_triangle>(mesh->num_triangles);
    std::memcpy(mesh->triangles, triangles.data(), triangles.size() * sizeof(tkm_triangle));
    mesh->num_material_runs = static_cast<uint16_t>(material_runs.size());
    mesh->material_runs = alloc_elements<material_run>(mesh->num_material_runs);
    std::memcpy(mesh->material_runs, material_runs.data(),
                material_runs.size() * sizeof(material_run));

    mesh->list_aux = static_cast<uint32_t>(mesh->num_triangles) + 2;
    mesh->num_triangle_lists = 1;
    mesh->triangle_lists = alloc_elements<triangle_list>(1);
    mesh->triangle_lists[0].count = mesh->num_triangles;
    mesh->triangle_lists[0].triangles = alloc_elements<uint16_t>(mesh->num_triangles);
    for (uint16_t t = 0; t < mesh->num_triangles; t++)
        mesh->triangle_lists[0].triangles[t] = t;

    mesh->num_texture_names = num_materials;
    mesh->texture_names = alloc_elements<texture_name>(num_materials);
    mesh->num_materials = num_materials;
    mesh->materials = alloc_elements<tkm_material>(num_materials);
    for (uint16_t m = 0; m < num_materials; m++) {
        texture_name &texture = mesh->texture_names[m];
        texture.path = copy_text(materials[m].texture, &texture.length);
        set_texture_base(&texture);
        tkm_material &material = mesh->materials[m];
        material.name = copy_text(materials[m].name, &material.name_length);
        material.num_texture_refs = 1;
        material.texture_refs = alloc_elements<texture_ref>(1);
        material.texture_refs[0] = {1, m};
        material.aux_word = 3;
        std::memcpy(material.diffuse, materials[m].diffuse, sizeof material.diffuse);
        for (int c = 0; c < 3; c++)
            material.ambient[c] = materials[m].diffuse[c] * 0.4f;
        material.shininess = 10.0f;
        material.aux_float2 = 0.05f;
        derive_material_values(&material);
    }
    mesh->class_name = model_class_name(mesh);
    return mesh;
}

// ---- walk

struct swing_row {
    uint16_t bone;
    float axis[3];
    float amplitude; // degrees
    float phase;     // radians
    float bias;      // degrees added to every frame
};

// Legs swing in opposition, arms against the legs, knees and elbows bend, the head looks round.
constexpr swing_row walk_swings[] = {
    {0, {0, 1, 0}, 4, 0, 0},      {1, {0, 1, 0}, -3, 0, 0},   {5, {0, 1, 0}, 10, 0.5f, 0},
    {7, {1, 0, 0}, 22, 0, 0},     {8, {1, 0, 0}, 10, 0, -20}, {26, {1, 0, 0}, -22, 0, 0},
    {27, {1, 0, 0}, -10, 0, -20}, {44, {1, 0, 0}, -26, 0, 0}, {45, {1, 0, 0}, 16, -1.2f, 18},
    {46, {1, 0, 0}, 8, 0, 0},     {48, {1, 0, 0}, 26, 0, 0},  {49, {1, 0, 0}, -16, -1.2f, 18},
    {50, {1, 0, 0}, -8, 0, 0},
};

} // namespace

// ---- officer

tkm_mesh *build_officer_mesh() {
    tkm_mesh *mesh = assemble_mesh("SWT_Officer", officer_bones, 52, officer_boxes,
                                   std::size(officer_boxes), officer_materials, 2);
    if (!mesh) return nullptr;
    // Right hand, left hand and the back, where the game's officers carry their gear.
    const float right_hand[3] = {0, -3, 1}, left_hand[3] = {0, -3, 1}, back[3] = {0, 4, -5};
    mesh->num_grippers = 3;
    mesh->grippers = alloc_elements<gripper>(3);
    fill_gripper(&mesh->grippers[0], "Grip1", 28, right_hand);
    fill_gripper(&mesh->grippers[1], "Grip2", 9, left_hand);
    fill_gripper(&mesh->grippers[2], "Grip3", 1, back);
    mesh->class_name = model_class_name(mesh);
    return mesh;
}

// ---- rifle

tkm_mesh *build_rifle_mesh() {
    // Held in front of the officer's right hip, pointing forwards.
    constexpr bone_row bones[2] = {{"Weapon", root, {-8, 30, 6}}, {"Muzzle", 0, {0, 2, 22}}};
    constexpr box_row boxes[] = {
        {0, {-1, 0, -2}, {1, 3, 12}, 0, hit_arm},              // receiver
        {0, {-0.8f, -4, 1}, {0.8f, 0, 3}, 0, hit_arm},         // pistol grip
        {0, {-0.9f, -5, 5}, {0.9f, 0, 7}, 0, hit_arm},         // magazine
        {0, {-1, -1, -12}, {1, 3, -2}, 0, hit_arm},            // stock
        {1, {-0.4f, -0.4f, -10}, {0.4f, 0.4f, 0}, 0, hit_arm}, // barrel
    };
    constexpr material_row materials[] = {{"Metal", "Textures\\swat_rifle.tga", {120, 120, 130}}};
    tkm_mesh *mesh = assemble_mesh("Rifle", bones, 2, boxes, std::size(boxes), materials, 1);
    if (!mesh) return nullptr;
    const float pistol_grip[3] = {0, -2, 2}, fore_grip[3] = {0, 0, 9};
    mesh->num_grips = 2;
    mesh->grips = alloc_elements<gripper>(2);
    fill_gripper(&mesh->grips[0], "Grip1", 0, pistol_grip);
    fill_gripper(&mesh->grips[1], "Grip3", 0, fore_grip);
    mesh->class_name = model_class_name(mesh);
    return mesh;
}

tka_file_record build_walk_animation(int frames) {
    tka_file_record file;
    file.header_word = 0x0012; // frames carry a string list, as the game's do
    file.name = "SWT_Walk";
    for (const bone_row &row : officer_bones) {
        tka_bone_record bone;
        bone.name = row.name;
        bone.parent = row.parent;
        std::memcpy(bone.position, row.offset, sizeof bone.position);
        file.bones.push_back(bone);
    }
    for (const swing_row &swing : walk_swings)
        file.animated_bones.push_back(swing.bone);
    constexpr float pi = 3.14159265f;
    for (int f = 0; f < frames; f++) {
        tka_frame_record frame;
        const float cycle = 2.0f * pi * static_cast<float>(f) / static_cast<float>(frames);
        for (const swing_row &swing : walk_swings) {
            float degrees = swing.bias + swing.amplitude * std::sin(cycle + swing.phase);
            float half = degrees * pi / 360.0f;
            float s = std::sin(half);
            frame.rotations.push_back(
                {swing.axis[0] * s, swing.axis[1] * s, swing.axis[2] * s, std::cos(half)});
        }
        if (f == 0 || f == frames / 2)
            frame.strings.push_back(f == 0 ? "footstep_left" : "footstep_right");
        file.frames.push_back(frame);
    }
    return file;
}
