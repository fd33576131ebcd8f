// SPDX-License-Identifier: MIT
// The skeleton of the glTF export: one joint node per bone, the root above them, grips and
// grippers as children of their bones, and the skin.
//
// Joints are nodes 0 to num_bones - 1 in bone order, with the mesh's hierarchy. A skeleton may
// have several roots, and glTF wants one above all joints: the node "Skeleton" is that root.
// The inverse bind matrices are the inverses of the bones' rest-pose world matrices, so the skin
// reproduces every vertex wherever the joints reproduce the viewer's bone matrices.
#include <cmath>

#include "viewer/gltf/gltf_export_internal.h"
#include "viewer/mesh/mesh.h"
#include "viewer/math/math3d.h"

namespace {

std::vector<double> doubles(const float *values, int count) {
    return std::vector<double>(values, values + count);
}

void place(tinygltf::Node *node, const gltf_trs &trs, bool with_scale) {
    node->translation = doubles(trs.translation.data(), 3);
    node->rotation = doubles(trs.rotation.data(), 4);
    if (with_scale && trs.scale != std::array<float, 3>{1, 1, 1})
        node->scale = doubles(trs.scale.data(), 3);
}

// Grips or grippers as named children of their bones, placed as the viewer places them: a
// gripper by its local matrix, a grip by that matrix's rigid inverse.
bool add_attachments(gltf_export_state &state, uint16_t count, const gripper *list, bool grips) {
    const tkm_mesh &mesh = state.mesh;
    for (uint32_t i = 0; i < count; ++i) {
        const gripper &source = list[i];
        if (!check_finite(state, source.local, 16, grips ? "grip" : "gripper", i)) return false;
        float placement[16];
        if (grips)
            mat4_rigid_inverse(placement, source.local);
        else
            std::copy(source.local, source.local + 16, placement);
        tinygltf::Node node;
        node.name = utf8_name(source.name);
        place(&node, decompose_transform(dmat4_from(placement), true), true);
        node.extras = tinygltf::Value(tinygltf::Value::Object{
            {"tarvik_attachment", tinygltf::Value(std::string(grips ? "grip" : "gripper"))}});
        state.model.nodes.push_back(std::move(node));
        int index = static_cast<int>(state.model.nodes.size() - 1);
        int parent = source.bone < mesh.num_bones ? source.bone : state.armature_node;
        state.model.nodes[parent].children.push_back(index);
    }
    return true;
}

} // namespace

int32_t export_skeleton(gltf_export_state &state) {
    const tkm_mesh &mesh = state.mesh;
    if (mesh.num_bones == 0) return gltf_export_ok;
    state.model.nodes.resize(mesh.num_bones);
    tinygltf::Node armature;
    armature.name = "Skeleton";
    std::vector<float> inverse_binds;
    inverse_binds.reserve(size_t{mesh.num_bones} * 16);
    for (uint16_t i = 0; i < mesh.num_bones; ++i) {
        const tkm_bone &bone = mesh.bones[i];
        if (!check_finite(state, bone.position, 3, "the position of bone", i) ||
            !check_finite(state, bone.rotation, 4, "the rotation of bone", i) ||
            !check_finite(state, bone.world, 16, "the rest matrix of bone", i))
            return gltf_export_bad_number;
        tinygltf::Node &node = state.model.nodes[i];
        node.name = utf8_name(bone.name);
        bool exact = false;
        place(&node, local_transform(bone.rotation, bone.local, &exact), false);
        if (has_parent(bone.parent, i))
            state.model.nodes[bone.parent].children.push_back(i);
        else
            armature.children.push_back(i);
        dmat4 inverse;
        dmat4_affine_inverse(&inverse, dmat4_from(bone.world));
        dmat4 exported;
        for (int k = 0; k < 16; ++k) {
            inverse_binds.push_back(static_cast<float>(inverse[k]));
            exported[k] = inverse_binds.back();
        }
        state.inverse_binds.push_back(exported);
    }
    state.model.nodes.push_back(std::move(armature));
    state.armature_node = static_cast<int>(state.model.nodes.size() - 1);
    state.model.scenes[0].nodes.push_back(state.armature_node);
    if (!add_attachments(state, mesh.num_grippers, mesh.grippers, false) ||
        !add_attachments(state, mesh.num_grips, mesh.grips, true))
        return gltf_export_bad_number;

    tinygltf::Skin skin;
    skin.name = "Skeleton";
    skin.skeleton = state.armature_node;
    for (uint16_t i = 0; i < mesh.num_bones; ++i)
        skin.joints.push_back(i);
    int view =
        add_buffer_view(state, inverse_binds.data(), inverse_binds.size() * sizeof(float), 0);
    skin.inverseBindMatrices = add_accessor(state, view, 0, TINYGLTF_COMPONENT_TYPE_FLOAT,
                                            TINYGLTF_TYPE_MAT4, mesh.num_bones);
    state.model.skins.push_back(std::move(skin));
    return gltf_export_ok;
}
