// SPDX-License-Identifier: MIT
// Binding unbound vertices to their nearest joints, made before the TKM build when asked for.
#include "viewer/scene/unbound_vertices.h"

#include <array>
#include <vector>

#include "support/messages.h"
#include "viewer/math/math3d.h"
#include "viewer/scene/scene.h"
#include "viewer/scene/scene_math.h"

namespace {

double squared_distance(const float *a, const float *b) {
    double sum = 0;
    for (int k = 0; k < 3; k++) {
        const double d = double{a[k]} - double{b[k]};
        sum += d * d;
    }
    return sum;
}

// The first joint of the nearest ones; joint 0 when no distance compares (a place that is not a
// number).
uint32_t nearest_joint(const float *position, const std::vector<std::array<float, 16>> &worlds) {
    uint32_t best = 0;
    double best_distance = squared_distance(position, &worlds[0][12]);
    for (uint32_t j = 1; j < worlds.size(); j++) {
        const double d = squared_distance(position, &worlds[j][12]);
        if (d < best_distance) best = j, best_distance = d;
    }
    return best;
}

} // namespace

unbound_binding_report bind_unbound_vertices(scene_model *scene) {
    unbound_binding_report report;
    size_t num_unbound = 0;
    for (const scene_vertex &vertex : scene->vertices)
        if (vertex.num_weights == 0) num_unbound++;
    if (num_unbound == 0) return report;
    if (scene->joints.empty()) {
        scene_joint root;
        root.name = made_root_joint_name;
        mat4_identity(root.local);
        scene->joints.push_back(std::move(root));
        report.made_root = true;
    }
    const std::vector<std::array<float, 16>> worlds = scene_joint_worlds(*scene);
    for (scene_vertex &vertex : scene->vertices) {
        if (vertex.num_weights != 0) continue;
        vertex.num_weights = 1;
        vertex.weights[0] = {nearest_joint(vertex.position, worlds), 1.0f};
        report.num_bound++;
    }
    const unsigned count = report.num_bound;
    const char *vertices = count == 1 ? "vertex" : "vertices";
    if (report.made_root)
        real_meow("The model has no joints: made the root joint '%s' at the origin and bound the "
                  "%u %s without a bone to it.\n",
                  made_root_joint_name, count, vertices);
    else
        real_meow("Bound %u %s without a bone to the nearest joint of each.\n", count, vertices);
    return report;
}
