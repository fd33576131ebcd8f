// glTF materials as Milkshape materials: base colour (diffuse and ambient), alpha when the
// material blends, and the base-colour texture's image, which is kept to be written beside the
// converted mesh under a name of its own. An image that is missing or not PNG or JPEG is
// reported and its material keeps its colour.
//
// Index: images | materials | build_materials
#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "support/messages.h"
#include "viewer/gltf/gltf_import_internal.h"
#include "viewer/files/image_guard.h"

namespace gltf_import {

namespace {

// ---- images

std::string describe_image(const tinygltf::Image &image, int index) {
    std::string text = format("image %d", index);
    if (!image.uri.empty() && image.uri.rfind("data:", 0) != 0)
        return text + " (" + image.uri + ")";
    if (!image.name.empty()) return text + " (" + image.name + ")";
    return text;
}

// The part of the texture's file name taken from the image: its name, else its file's stem.
std::string image_stem(const tinygltf::Image &image, int index) {
    if (!image.name.empty()) return file_safe(image.name, 48);
    if (!image.uri.empty() && image.uri.rfind("data:", 0) != 0) {
        std::string stem = image.uri.substr(image.uri.find_last_of('/') + 1);
        stem = stem.substr(0, stem.find_last_of('.'));
        if (!stem.empty()) return file_safe(stem, 48);
    }
    return format("image%d", index);
}

// Decides each image's texture file once: its name, or "" when it cannot be used.
struct image_files {
    std::string prefix;
    std::map<int, std::string> names;
    std::set<std::string> taken;
    gltf_import_notes *notes;

    std::string name_for(const tinygltf::Model &model, int index, const std::string &material) {
        if (auto found = names.find(index); found != names.end()) return found->second;
        const tinygltf::Image &image = model.images[size_t(index)];
        const std::string what = describe_image(image, index);
        std::string name;
        uint32_t width = 0, height = 0;
        const char *extension = image_kind(image.image, &width, &height);
        if (image.image.empty()) {
            real_meow("glTF %s is missing: material '%s' keeps its colour\n", what.c_str(),
                      material.c_str());
        } else if (!extension) {
            real_meow("glTF %s is not a PNG or JPEG image: material '%s' keeps its colour\n",
                      what.c_str(), material.c_str());
        } else if (width == 0 || height == 0 || width > largest_image_side ||
                   height > largest_image_side || uint64_t(width) * height > largest_image_pixels) {
            real_meow("glTF %s is %ux%u pixels, which no texture can be: material '%s' keeps its "
                      "colour\n",
                      what.c_str(), width, height, material.c_str());
        } else {
            const std::string base = prefix + "_" + image_stem(image, index);
            name = base + extension;
            if (taken.count(name)) name = base + format("_%d", index) + extension;
            taken.insert(name);
            notes->textures.push_back({name, image.image});
        }
        names[index] = name;
        return name;
    }
};

// ---- materials

void set_colour(float *colour, double r, double g, double b, double a) {
    colour[0] = float(r), colour[1] = float(g), colour[2] = float(b), colour[3] = float(a);
}

double unit(const std::vector<double> &values, size_t i) {
    const double v = i < values.size() ? values[i] : 1.0;
    return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 1.0;
}

// A white, opaque material for primitives that name none (glTF's default material).
ms3d_material default_material() {
    ms3d_material out{};
    set_name(out.name, sizeof out.name, "default");
    set_colour(out.ambient, 1, 1, 1, 1);
    set_colour(out.diffuse, 1, 1, 1, 1);
    set_colour(out.specular, 0, 0, 0, 1);
    out.transparency = 1;
    return out;
}

int convert_material(const tinygltf::Model &model, int index, image_files *images,
                     ms3d_material *out, std::string *why) {
    const tinygltf::Material &material = model.materials[size_t(index)];
    *out = default_material();
    const std::string name = material.name.empty() ? format("material%d", index) : material.name;
    set_name(out->name, sizeof out->name, name);
    const std::vector<double> &base = material.pbrMetallicRoughness.baseColorFactor;
    set_colour(out->ambient, unit(base, 0), unit(base, 1), unit(base, 2), 1);
    set_colour(out->diffuse, unit(base, 0), unit(base, 1), unit(base, 2), 1);
    out->transparency = material.alphaMode == "BLEND" ? float(unit(base, 3)) : 1.0f;
    const int texture = material.pbrMetallicRoughness.baseColorTexture.index;
    if (texture < 0) return 0;
    if (size_t(texture) >= model.textures.size()) {
        *why = format("material %d names texture %d, which does not exist", index, texture);
        return gltf_bad_document;
    }
    const int source = model.textures[size_t(texture)].source;
    if (source < 0) {
        real_meow("glTF texture %d has no PNG or JPEG image: material '%s' keeps its colour\n",
                  texture, name.c_str());
        return 0;
    }
    if (size_t(source) >= model.images.size()) {
        *why = format("texture %d names image %d, which does not exist", texture, source);
        return gltf_bad_document;
    }
    set_name(out->texture, sizeof out->texture, images->name_for(model, source, name));
    return 0;
}

} // namespace

// ---- build_materials

int build_materials(const tinygltf::Model &model,
                    const std::vector<const tinygltf::Primitive *> &primitives,
                    const std::string &prefix, staged_model *staged, material_choice *choice,
                    gltf_import_notes *notes, std::string *why) {
    std::set<int> used;
    bool needs_default = false;
    for (const tinygltf::Primitive *primitive : primitives) {
        if (primitive->material >= 0 && size_t(primitive->material) >= model.materials.size()) {
            *why =
                format("a primitive names material %d, which does not exist", primitive->material);
            return gltf_bad_document;
        }
        if (primitive->material < 0)
            needs_default = true;
        else
            used.insert(primitive->material);
    }
    const size_t count = used.size() + (needs_default ? 1 : 0);
    if (count > gltf_most_materials) {
        *why = format("the mesh uses %zu materials; a mesh can hold at most %u", count,
                      gltf_most_materials);
        return gltf_too_many_materials;
    }
    image_files images{prefix.substr(0, 64), {}, {}, notes};
    std::map<int, int8_t> slot_of;
    for (int index : used) {
        ms3d_material material{};
        if (int code = convert_material(model, index, &images, &material, why)) return code;
        slot_of[index] = int8_t(staged->materials.size());
        staged->materials.push_back(material);
    }
    if (needs_default) {
        slot_of[-1] = int8_t(staged->materials.size());
        staged->materials.push_back(default_material());
    }
    for (const tinygltf::Primitive *primitive : primitives) {
        const int index = primitive->material < 0 ? -1 : primitive->material;
        choice->slot.push_back(slot_of[index]);
        choice->texcoord.push_back(
            index < 0
                ? 0
                : model.materials[size_t(index)].pbrMetallicRoughness.baseColorTexture.texCoord);
    }
    return 0;
}

} // namespace gltf_import
