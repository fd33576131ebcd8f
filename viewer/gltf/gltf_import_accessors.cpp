// Checked reads of glTF accessors: every buffer view must lie inside its buffer and every
// accessed element inside its view before a byte is read; element types must suit their use;
// floats must be finite.
#include <cmath>
#include <cstring>

#include "viewer/gltf/gltf_import_internal.h"

namespace gltf_import {

namespace {

// Element types a use accepts, in the order of accessor_use.
struct use_rule {
    const char *name;
    int type; // TINYGLTF_TYPE_*
    bool floats, unsigned_bytes, unsigned_shorts, unsigned_ints;
    bool normalised_only; // integer components must be normalised (texture coordinates, weights)
};

constexpr use_rule use_rules[] = {
    {"POSITION", TINYGLTF_TYPE_VEC3, true, false, false, false, false},
    {"NORMAL", TINYGLTF_TYPE_VEC3, true, false, false, false, false},
    {"TEXCOORD", TINYGLTF_TYPE_VEC2, true, true, true, false, true},
    {"JOINTS", TINYGLTF_TYPE_VEC4, false, true, true, false, false},
    {"WEIGHTS", TINYGLTF_TYPE_VEC4, true, true, true, false, true},
    {"indices", TINYGLTF_TYPE_SCALAR, false, true, true, true, false},
    {"inverseBindMatrices", TINYGLTF_TYPE_MAT4, true, false, false, false, false},
};

bool component_allowed(const use_rule &rule, int component_type) {
    return (component_type == TINYGLTF_COMPONENT_TYPE_FLOAT && rule.floats) ||
           (component_type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE && rule.unsigned_bytes) ||
           (component_type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT && rule.unsigned_shorts) ||
           (component_type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT && rule.unsigned_ints);
}

double component_at(const unsigned char *p, int component_type, bool normalised) {
    switch (component_type) {
    case TINYGLTF_COMPONENT_TYPE_FLOAT: {
        float f;
        std::memcpy(&f, p, 4);
        return f;
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
        return normalised ? p[0] / 255.0 : p[0];
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
        const unsigned v = p[0] | unsigned(p[1]) << 8;
        return normalised ? v / 65535.0 : v;
    }
    default: { // unsigned int
        const uint32_t v = p[0] | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
        return v;
    }
    }
}

} // namespace

int read_accessor(const tinygltf::Model &model, int index, accessor_use use, accessor_data *out,
                  std::string *why) {
    const use_rule &rule = use_rules[static_cast<size_t>(use)];
    if (index < 0 || size_t(index) >= model.accessors.size()) {
        *why = format("%s names accessor %d, which does not exist", rule.name, index);
        return gltf_bad_accessor;
    }
    const tinygltf::Accessor &accessor = model.accessors[size_t(index)];
    if (accessor.type != rule.type || !component_allowed(rule, accessor.componentType) ||
        (rule.normalised_only && accessor.componentType != TINYGLTF_COMPONENT_TYPE_FLOAT &&
         !accessor.normalized)) {
        *why = format("accessor %d has an element type that %s cannot have", index, rule.name);
        return gltf_bad_accessor;
    }
    if (accessor.sparse.isSparse) {
        *why = format("accessor %d is sparse, which is not supported", index);
        return gltf_unsupported;
    }
    const int components = tinygltf::GetNumComponentsInType(uint32_t(accessor.type));
    const int component_size = tinygltf::GetComponentSizeInBytes(uint32_t(accessor.componentType));
    const size_t element_size = size_t(components) * size_t(component_size);
    const size_t count = accessor.count;
    out->count = count;
    out->components = components;
    out->values.clear();
    if (accessor.bufferView < 0) { // no view: every element is zero
        if (count > (size_t(1) << 26)) {
            *why = format("accessor %d has %zu elements and no data", index, count);
            return gltf_bad_accessor;
        }
        out->values.assign(count * size_t(components), 0.0);
        return 0;
    }
    if (size_t(accessor.bufferView) >= model.bufferViews.size()) {
        *why = format("accessor %d names buffer view %d, which does not exist", index,
                      accessor.bufferView);
        return gltf_bad_buffer_view;
    }
    const tinygltf::BufferView &view = model.bufferViews[size_t(accessor.bufferView)];
    if (view.buffer < 0 || size_t(view.buffer) >= model.buffers.size()) {
        *why = format("buffer view %d names buffer %d, which does not exist", accessor.bufferView,
                      view.buffer);
        return gltf_bad_buffer_view;
    }
    const std::vector<unsigned char> &buffer = model.buffers[size_t(view.buffer)].data;
    if (view.byteOffset > buffer.size() || view.byteLength > buffer.size() - view.byteOffset) {
        *why = format("buffer view %d (bytes %zu to %zu) lies outside buffer %d of %zu bytes",
                      accessor.bufferView, view.byteOffset, view.byteOffset + view.byteLength,
                      view.buffer, buffer.size());
        return gltf_bad_buffer_view;
    }
    const size_t stride = view.byteStride ? view.byteStride : element_size;
    if (stride < element_size) {
        *why = format("buffer view %d has a stride of %zu bytes, less than accessor %d's elements",
                      accessor.bufferView, stride, index);
        return gltf_bad_accessor;
    }
    // The last element ends at offset + (count - 1) × stride + element size.
    const size_t offset = accessor.byteOffset;
    const bool fits =
        count == 0 ||
        (offset <= view.byteLength && (count - 1) <= (view.byteLength - offset) / stride &&
         (count - 1) * stride + element_size <= view.byteLength - offset);
    if (!fits) {
        *why = format("accessor %d (%zu elements from byte %zu) reaches beyond buffer view %d of "
                      "%zu bytes",
                      index, count, offset, accessor.bufferView, view.byteLength);
        return gltf_bad_accessor;
    }
    out->values.resize(count * size_t(components));
    const unsigned char *first = buffer.data() + view.byteOffset + offset;
    for (size_t i = 0; i < count; i++)
        for (int c = 0; c < components; c++) {
            const double value = component_at(first + i * stride + size_t(c * component_size),
                                              accessor.componentType, accessor.normalized);
            if (!std::isfinite(value)) {
                *why = format("accessor %d holds a value that is not a finite number", index);
                return gltf_bad_accessor;
            }
            out->values[i * size_t(components) + size_t(c)] = value;
        }
    return 0;
}

} // namespace gltf_import
