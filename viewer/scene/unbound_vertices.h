// SPDX-License-Identifier: MIT
// Binding the vertices a source left without a joint, which the build refuses: each onto its
// nearest joint, or, for a model without joints, all onto a root joint made for them.
#pragma once

#include <cstdint>

struct scene_model;

// The name of the joint made for a model that has none.
inline constexpr const char *made_root_joint_name = "root";

// What a binding did.
struct unbound_binding_report {
    uint32_t num_bound = 0; // vertices that had no joint and now have one
    bool made_root = false; // the model had no joints and got made_root_joint_name at the origin
};

// Gives every vertex without a joint the one joint whose bind-pose place in the model (the
// joints' local matrices multiplied up the parent chain) is nearest to it, the lowest index among
// equally near ones; a model without joints first gets one root joint at the origin. Vertices
// that have a joint are left alone. Says on standard error how many vertices it bound, when any.
unbound_binding_report bind_unbound_vertices(scene_model *scene);
