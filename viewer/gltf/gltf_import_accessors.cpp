// SPDX-License-Identifier: MIT
// Checked reads of glTF accessors: every buffer view must lie inside its buffer and every
// accessed element inside its view before a byte is read; element types must suit their use;
// floats must be finite.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "viewer/gltf/gltf_import_internal.h"
#include "viewer/gltf/tinygltf_compat.h"

namespace gltf_import {

namespace {

// Element types a use accepts, in the order of accessor_use.
struct use_rule {
    const char *name;
    int type, other_type; // TINYGLTF_TYPE_*; other_type 0 when there is one type
    bool floats, unsigned_bytes, unsigned_shorts, unsigned_ints, signed_integers;
    bool normalised_only; // integer components must be normalised (texture coordinates, weights)
};

constexpr use_rule use_rules[] = {
    {"POSITION", TINYGLTF_TYPE_VEC3, 0, true, false, false, false, false, false},
    {"NORMAL", TINYGLTF_TYPE_VEC3, 0, true, false, false, false, false, false},
    {"TEXCOORD", TINYGLTF_TYPE_VEC2, 0, true, true, true, false, false, true},
    {"JOINTS", TINYGLTF_TYPE_VEC4, 0, false, true, true, false, false, false},
    {"WEIGHTS", TINYGLTF_TYPE_VEC4, 0, true, true, true, false, false, true},
    {"indices", TINYGLTF_TYPE_SCALAR, 0, false, true, true, true, false, false},
    {"inverseBindMatrices", TINYGLTF_TYPE_MAT4, 0, true, false, false, false, false, false},
    {"COLOR", TINYGLTF_TYPE_VEC3, TINYGLTF_TYPE_VEC4, true, true, true, false, false, true},
    {"animation input", TINYGLTF_TYPE_SCALAR, 0, true, false, false, false, false, false},
    {"animation output", TINYGLTF_TYPE_VEC3, 0, true, false, false, false, false, false},
    {"rotation output", TINYGLTF_TYPE_VEC4, 0, true, true, true, false, true, true},
};

bool component_allowed(const use_rule &rule, int component_type) {
    return (component_type == TINYGLTF_COMPONENT_TYPE_FLOAT && rule.floats) ||
           (component_type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE && rule.unsigned_bytes) ||
           (component_type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT && rule.unsigned_shorts) ||
           (component_type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT && rule.unsigned_ints) ||
           ((component_type == TINYGLTF_COMPONENT_TYPE_BYTE ||
             component_type == TINYGLTF_COMPONENT_TYPE_SHORT) &&
            rule.signed_integers);
}

double component_at(const unsigned char *p, int component_type, bool normalised) {
    switch (component_type) {
    case TINYGLTF_COMPONENT_TYPE_FLOAT: {
        float f;
        std::memcpy(&f, p, 4);
        return f;
    }
    case TINYGLTF_COMPONENT_TYPE_BYTE: { // normalised signed: -128 counts as -127 (glTF's rule)
        const int v = int8_t(p[0]);
        return normalised ? std::max(v / 127.0, -1.0) : v;
    }
    case TINYGLTF_COMPONENT_TYPE_SHORT: {
        const int v = int16_t(uint16_t(p[0] | unsigned(p[1]) << 8));
        return normalised ? std::max(v / 32767.0, -1.0) : v;
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

// Where count elements of element_size bytes, stride bytes apart (0: packed, or the view's own
// stride when it has one and packed is false) from offset in buffer view `view` lie, after
// checking that the view lies inside its buffer and the elements inside the view. what names
// the reader of the elements in messages.
int locate(const tinygltf::Model &model, int view_index, size_t offset, size_t count,
           size_t element_size, bool packed, const std::string &what, const unsigned char **first,
           size_t *stride, std::string *why) {
    if (view_index < 0 || size_t(view_index) >= model.bufferViews.size()) {
        *why = format("%s names buffer view %d, which does not exist", what.c_str(), view_index);
        return gltf_bad_buffer_view;
    }
    const tinygltf::BufferView &view = model.bufferViews[size_t(view_index)];
    if (view.buffer < 0 || size_t(view.buffer) >= model.buffers.size()) {
        *why =
            format("buffer view %d names buffer %d, which does not exist", view_index, view.buffer);
        return gltf_bad_buffer_view;
    }
    const std::vector<unsigned char> &buffer = model.buffers[size_t(view.buffer)].data;
    if (view.byteOffset > buffer.size() || view.byteLength > buffer.size() - view.byteOffset) {
        *why = format("buffer view %d (bytes %zu to %zu) lies outside buffer %d of %zu bytes",
                      view_index, view.byteOffset, view.byteOffset + view.byteLength, view.buffer,
                      buffer.size());
        return gltf_bad_buffer_view;
    }
    *stride = view.byteStride && !packed ? view.byteStride : element_size;
    if (*stride < element_size) {
        *why = format("buffer view %d has a stride of %zu bytes, less than the %zu bytes of the "
                      "elements of %s",
                      view_index, *stride, element_size, what.c_str());
        return gltf_bad_accessor;
    }
    // The last element ends at offset + (count - 1) × stride + element size.
    const size_t length = view.byteLength;
    const bool fits =
        count == 0 || (offset <= length && (count - 1) <= (length - offset) / *stride &&
                       (count - 1) * *stride + element_size <= length - offset);
    if (!fits) {
        *why = format("%s (%zu elements from byte %zu) reaches beyond buffer view %d of %zu bytes",
                      what.c_str(), count, offset, view_index, length);
        return gltf_bad_accessor;
    }
    *first = buffer.data() + view.byteOffset + offset;
    return 0;
}

// Reads element i's components into values, refusing numbers that are not finite.
int read_element(const unsigned char *at, const tinygltf::Accessor &accessor, int components,
                 int component_size, double *values, int index, std::string *why) {
    // Floats, nearly every accessor of a model, without component_at's choice per component.
    const bool floats = accessor.componentType == TINYGLTF_COMPONENT_TYPE_FLOAT;
    for (int c = 0; c < components; c++) {
        const unsigned char *component = at + size_t(c * component_size);
        if (floats) {
            float f;
            std::memcpy(&f, component, sizeof f);
            values[c] = f;
        } else {
            values[c] = component_at(component, accessor.componentType, accessor.normalized);
        }
        if (!std::isfinite(values[c])) {
            *why = format("accessor %d holds a value that is not a finite number", index);
            return gltf_bad_accessor;
        }
    }
    return 0;
}

// Replaces the elements a sparse accessor names by its values.
int apply_sparse(const tinygltf::Model &model, const tinygltf::Accessor &accessor, int index,
                 int component_size, accessor_data *out, std::string *why) {
    const auto &sparse = accessor.sparse;
    const int index_type = sparse.indices.componentType;
    if (sparse.count < 1 || size_t(sparse.count) > out->count ||
        (index_type != TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE &&
         index_type != TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT &&
         index_type != TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT)) {
        *why = format("accessor %d has sparse indices of a count or type it cannot have", index);
        return gltf_bad_accessor;
    }
    const size_t count = size_t(sparse.count);
    const size_t index_size = size_t(tinygltf::GetComponentSizeInBytes(uint32_t(index_type)));
    const unsigned char *indices = nullptr, *values = nullptr;
    size_t index_stride = 0, value_stride = 0;
    const std::string what = format("the sparse part of accessor %d", index);
    if (int code = locate(model, sparse.indices.bufferView,
                          tinygltf_compat::sparse_offset(sparse.indices.byteOffset), count,
                          index_size, true, what, &indices, &index_stride, why))
        return code;
    const size_t element_size = size_t(out->components) * size_t(component_size);
    if (int code = locate(model, sparse.values.bufferView,
                          tinygltf_compat::sparse_offset(sparse.values.byteOffset), count,
                          element_size, true, what, &values, &value_stride, why))
        return code;
    for (size_t k = 0; k < count; k++) {
        const double at = component_at(indices + k * index_stride, index_type, false);
        if (at >= double(out->count)) {
            *why = format("sparse index %.0f of accessor %d is outside its %zu elements", at, index,
                          out->count);
            return gltf_bad_accessor;
        }
        double *element = out->values.data() + size_t(at) * size_t(out->components);
        if (int code = read_element(values + k * value_stride, accessor, out->components,
                                    component_size, element, index, why))
            return code;
    }
    return 0;
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
    const bool type_allowed =
        accessor.type == rule.type || (rule.other_type && accessor.type == rule.other_type);
    if (!type_allowed || !component_allowed(rule, accessor.componentType) ||
        (rule.normalised_only && accessor.componentType != TINYGLTF_COMPONENT_TYPE_FLOAT &&
         !accessor.normalized)) {
        *why = format("accessor %d has an element type that %s cannot have", index, rule.name);
        return gltf_bad_accessor;
    }
    const int components = tinygltf::GetNumComponentsInType(uint32_t(accessor.type));
    const int component_size = tinygltf::GetComponentSizeInBytes(uint32_t(accessor.componentType));
    const size_t count = accessor.count;
    out->count = count;
    out->components = components;
    out->values.clear();
    if (accessor.bufferView < 0) { // no view: every element is zero (until a sparse part)
        if (count > (size_t(1) << 26)) {
            *why = format("accessor %d has %zu elements and no data", index, count);
            return gltf_bad_accessor;
        }
        out->values.assign(count * size_t(components), 0.0);
    } else {
        const unsigned char *first = nullptr;
        size_t stride = 0;
        if (int code = locate(model, accessor.bufferView, accessor.byteOffset, count,
                              size_t(components) * size_t(component_size), false,
                              format("accessor %d", index), &first, &stride, why))
            return code;
        out->values.resize(count * size_t(components));
        for (size_t i = 0; i < count; i++)
            if (int code = read_element(first + i * stride, accessor, components, component_size,
                                        out->values.data() + i * size_t(components), index, why))
                return code;
    }
    return accessor.sparse.isSparse ? apply_sparse(model, accessor, index, component_size, out, why)
                                    : 0;
}

} // namespace gltf_import
