// SPDX-License-Identifier: MIT
// The optional blocks of Milkshape 1.8 after the joints: comments, vertex extras (the extra bone
// weights), joint extras and model extras.
//
// Sections: block reads, weights, entry points.
//
// Layout, each block optional (a file may end where any block would start; read strictly, never
// inside one, while a lenient read leaves out a bad block and those after it):
//
// | Block         | Content                                                                     |
// |---------------|-----------------------------------------------------------------------------|
// | comments      | i32 sub-version 1; for groups, materials and joints in turn: i32 count, then |
// |               | count x (i32 index, i32 length, length bytes); i32 model comment (0 or 1),  |
// |               | then (i32 length, length bytes) when 1                                      |
// | vertex extras | i32 sub-version 1, 2 or 3; per vertex: 3 x i8 bone ids, 3 x u8 weights,     |
// |               | then 0, 1 or 2 (by sub-version) x u32 extra                                 |
// | joint extras  | i32 sub-version 1 or 2; per joint: 3 x f32 colour                           |
// | model extras  | i32 sub-version 1 or 2; f32 joint size, i32 transparency mode, f32 alpha ref |
#include "viewer/ms3d/ms3d_extras.h"

#include <cstring>

#include "support/memory.h"
#include "support/messages.h"

namespace {

// ---- block reads

// The file's octets and the place read to, so that a bad block can say where it stopped making
// sense: value_at is where the value read last (or being read) starts.
struct cursor {
    byte_reader *bytes;
    int64_t offset;
    int64_t value_at;
};

// take_bytes's result; *count gets the octets that arrived.
int take_counted(cursor &in, void *field, uint32_t size, uint32_t *count) {
    in.value_at = in.offset;
    *count = 0;
    const int failed = take_bytes(in.bytes, field, size, count);
    in.offset += *count;
    return failed;
}

// 0 when all size bytes arrived, 1 otherwise.
int take(cursor &in, void *field, uint32_t size) {
    uint32_t count = 0;
    return take_counted(in, field, size, &count) == 0 && count == size ? 0 : 1;
}

// A block's sub-version: 1 read, 0 when the file ends cleanly before it, -1 when it ends inside.
int start_block(cursor &in, int32_t *sub_version) {
    uint32_t count = 0;
    if (take_counted(in, sub_version, 4, &count) != 0) return -1;
    if (count == 0) {
        *sub_version = 0;
        return 0;
    }
    return count == 4 ? 1 : -1;
}

// Skips length bytes of comment text; 1 when the file ends first. A cut text stops making sense
// where it starts.
int skip_text(cursor &in, int32_t length) {
    const int64_t text_at = in.offset;
    char buffer[256];
    while (length > 0) {
        const uint32_t part = length < 256 ? uint32_t(length) : 256u;
        const int cut = take(in, buffer, part);
        in.value_at = text_at;
        if (cut) return 1;
        length -= int32_t(part);
    }
    return 0;
}

// One list of comments about count things (groups, materials or joints); *num gets its length.
int read_comment_list(cursor &in, uint32_t things, uint32_t *num) {
    int32_t count = 0;
    if (take(in, &count, 4) || count < 0) return 1;
    *num = uint32_t(count);
    for (int32_t i = 0; i < count; i++) {
        int32_t index = 0, length = 0;
        if (take(in, &index, 4) || index < 0 || uint32_t(index) >= things) return 1;
        if (take(in, &length, 4) || length < 0) return 1;
        if (skip_text(in, length)) return 1;
    }
    return 0;
}

int read_comments(ms3d_model *model, cursor &in) {
    ms3d_extras &x = model->extras;
    if (x.comments_sub_version != 1) return 1;
    if (read_comment_list(in, model->num_groups, &x.num_group_comments) ||
        read_comment_list(in, model->num_materials, &x.num_material_comments) ||
        read_comment_list(in, model->num_joints, &x.num_joint_comments))
        return 1;
    if (take(in, &x.has_model_comment, 4) || x.has_model_comment > 1) return 1;
    int32_t length = 0;
    if (x.has_model_comment && (take(in, &length, 4) || length < 0 || skip_text(in, length)))
        return 1;
    return 0;
}

int read_vertex_extras(ms3d_model *model, cursor &in) {
    ms3d_extras &x = model->extras;
    if (x.vertex_sub_version < 1 || x.vertex_sub_version > 3) return 1;
    if (model->num_vertices == 0) return 0;
    const uint32_t bytes = uint32_t{model->num_vertices} * sizeof(ms3d_vertex_extra);
    x.vertices = static_cast<ms3d_vertex_extra *>(alloc_one(bytes));
    if (!x.vertices) return 1;
    const int num_extra = x.vertex_sub_version - 1;
    for (uint16_t i = 0; i < model->num_vertices; i++) {
        ms3d_vertex_extra &v = x.vertices[i];
        if (take(in, v.bone_ids, 3) || take(in, v.weights, 3)) return 1;
        for (int k = 0; k < num_extra; k++)
            if (take(in, &v.extra[k], 4)) return 1;
    }
    return 0;
}

int read_joint_extras(ms3d_model *model, cursor &in) {
    ms3d_extras &x = model->extras;
    if (x.joint_sub_version < 1 || x.joint_sub_version > 2) return 1;
    if (model->num_joints == 0) return 0;
    x.joint_colors =
        static_cast<float(*)[3]>(alloc_one(uint32_t{model->num_joints} * sizeof(float[3])));
    if (!x.joint_colors) return 1;
    for (uint16_t i = 0; i < model->num_joints; i++)
        if (take(in, x.joint_colors[i], 12)) return 1;
    return 0;
}

int read_model_extras(ms3d_model *model, cursor &in) {
    ms3d_extras &x = model->extras;
    if (x.model_sub_version < 1 || x.model_sub_version > 2) return 1;
    return take(in, &x.joint_size, 4) || take(in, &x.transparency_mode, 4) ||
           take(in, &x.alpha_ref, 4);
}

struct block {
    int code;
    const char *name;
    int32_t ms3d_extras::*sub_version;
    int (*read)(ms3d_model *, cursor &);
};

constexpr block blocks[] = {
    {ms3d_bad_comments, "comments", &ms3d_extras::comments_sub_version, read_comments},
    {ms3d_bad_vertex_extras, "vertex extras", &ms3d_extras::vertex_sub_version, read_vertex_extras},
    {ms3d_bad_joint_extras, "joint extras", &ms3d_extras::joint_sub_version, read_joint_extras},
    {ms3d_bad_model_extras, "model extras", &ms3d_extras::model_sub_version, read_model_extras},
};

// Leaves a bad block out as if the file had ended before it: the extras as they were before the
// block, its own arrays freed, so that no half-filled block is left for anyone to use.
void drop_block(ms3d_extras &x, const ms3d_extras &before) {
    if (x.vertices != before.vertices) cleanup_one(x.vertices);
    if (x.joint_colors != before.joint_colors) cleanup_one(x.joint_colors);
    x = before;
}

// ---- weights

// The maximum the weights of a vertex share out.
int weight_maximum(const ms3d_model *model) {
    return model->extras.vertex_sub_version == 1 ? 255 : 100;
}

} // namespace

// ---- entry points

const char *ms3d_extras_block(int code) {
    for (const block &b : blocks)
        if (b.code == code) return b.name;
    return nullptr;
}

int read_ms3d_extras(ms3d_model *model, byte_reader *bytes, ms3d_extras_reading reading) {
    cursor in{bytes, static_cast<int64_t>(bytes->position), 0};
    ms3d_extras &x = model->extras;
    for (const block &b : blocks) {
        const ms3d_extras before = x;
        const int started = start_block(in, &(x.*b.sub_version));
        if (started == 0) return 0;
        if (started > 0 && b.read(model, in) == 0) continue;
        if (reading == ms3d_extras_strict) return b.code;
        drop_block(x, before);
        x.stopped_block = b.code;
        x.stopped_at = in.value_at;
        return 0;
    }
    return 0;
}

bool ms3d_vertex_extras_lost(const ms3d_extras &extras) {
    return extras.stopped_block == ms3d_bad_comments ||
           extras.stopped_block == ms3d_bad_vertex_extras;
}

uint32_t ms3d_weighted_vertices(const ms3d_model *model) {
    const ms3d_vertex_extra *extras = model->extras.vertices;
    if (!extras) return 0;
    uint32_t count = 0;
    for (uint16_t i = 0; i < model->num_vertices; i++) {
        ms3d_vertex_weights w;
        if (ms3d_vertex_weights_of(model, i, &w) != 0 || w.num == 0) continue;
        if (w.num > 1 || w.bones[0] != model->vertices[i].bone) count++;
    }
    return count;
}

int ms3d_vertex_weights_of(const ms3d_model *model, uint16_t i, ms3d_vertex_weights *out) {
    out->num = 0;
    const ms3d_vertex &vertex = model->vertices[i];
    if (vertex.bone < 0) return 0;
    const ms3d_vertex_extra *extra = model->extras.vertices ? &model->extras.vertices[i] : nullptr;
    const int maximum = weight_maximum(model);
    const auto own_bone_alone = [&]() {
        out->bones[0] = vertex.bone, out->weights[0] = maximum, out->num = 1;
        return 0;
    };
    if (!extra || (extra->weights[0] == 0 && extra->weights[1] == 0 && extra->weights[2] == 0))
        return own_bone_alone();
    const int8_t bones[4] = {vertex.bone, extra->bone_ids[0], extra->bone_ids[1],
                             extra->bone_ids[2]};
    const int sum = extra->weights[0] + extra->weights[1] + extra->weights[2];
    if (sum > maximum) return 2;
    const int weights[4] = {extra->weights[0], extra->weights[1], extra->weights[2], maximum - sum};
    for (int k = 0; k < 4; k++) {
        if (bones[k] < 0 || weights[k] == 0) continue;
        if (bones[k] >= model->num_joints) return 1;
        // An id may repeat the own bone or another id: its shares add up on one joint.
        int at = 0;
        while (at < out->num && out->bones[at] != bones[k])
            at++;
        if (at == out->num) out->bones[out->num++] = bones[k], out->weights[at] = 0;
        out->weights[at] += weights[k];
    }
    // Weights only on ids of no joint: Milkshape keeps such a vertex wholly on its own bone.
    if (out->num == 0) return own_bone_alone();
    return 0;
}

int check_ms3d_weights(const ms3d_model *model) {
    for (uint16_t i = 0; i < model->num_vertices; i++) {
        ms3d_vertex_weights w;
        const int code = ms3d_vertex_weights_of(model, i, &w);
        if (code == 1)
            real_meow("Milkshape vertex extras: vertex %u names a bone beyond the %u joints.  "
                      "Can't use its weights!\n",
                      unsigned{i}, unsigned{model->num_joints});
        if (code == 2)
            real_meow("Milkshape vertex extras: the weights of vertex %u sum to more than %d.  "
                      "Can't use its weights!\n",
                      unsigned{i}, weight_maximum(model));
        if (code) return 1;
    }
    return 0;
}
