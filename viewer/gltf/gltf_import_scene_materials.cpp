// SPDX-License-Identifier: MIT
// glTF materials in the neutral model: base colour (diffuse and ambient), alpha when the material
// blends, and the base-colour texture's image with the file name the mesh will carry. An image
// whose name is a file name (export-gltf names each image after the texture it came from, with
// the format of its bytes added: "skin.bmp.png") comes back under that name, whatever format its
// bytes are in (the writer converts them); any other is named after the converted model. An
// image that is missing or not PNG or JPEG is reported and its material keeps its colour.
//
// Index: image names | materials | read_scene_materials
#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <set>

#include "support/messages.h"
#include "viewer/gltf/gltf_import_internal.h"
#include "viewer/files/image_guard.h"

namespace gltf_import {

namespace {

// ---- image names

std::string lower(std::string text) {
    for (char &c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Extensions of the image files a texture name can carry over.
constexpr const char *texture_extensions[] = {".bmp", ".tga", ".png", ".jpg", ".jpeg"};

// text without a directory part ('/' or '\').
std::string without_directory(const std::string &text) {
    const size_t slash = text.find_last_of("/\\");
    return slash == std::string::npos ? text : text.substr(slash + 1);
}

// The position of the extension's dot in name when it is one a texture file has; npos otherwise.
size_t texture_extension_at(const std::string &name) {
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0) return std::string::npos;
    const std::string extension = lower(name.substr(dot));
    for (const char *known : texture_extensions)
        if (extension == known) return dot;
    return std::string::npos;
}

std::string describe_image(const tinygltf::Image &image, int index) {
    std::string text = format("image %d", index);
    if (!image.uri.empty() && image.uri.rfind("data:", 0) != 0)
        return text + " (" + image.uri + ")";
    if (!image.name.empty()) return text + " (" + image.name + ")";
    return text;
}

// The image's own part of a made-up file name: its name, else its file's stem, without any
// extension, so that the name gets exactly one.
std::string image_stem(const tinygltf::Image &image, int index) {
    std::string stem = without_directory(image.name.substr(0, image.name.find('\0')));
    if (stem.empty() && !image.uri.empty() && image.uri.rfind("data:", 0) != 0)
        stem = without_directory(image.uri);
    const size_t dot = stem.find_last_of('.');
    if (dot != std::string::npos && dot > 0) stem = stem.substr(0, dot);
    return stem.empty() ? format("image%d", index) : file_safe(stem, 48);
}

// Decides each image's file once: its index in scene->images, or -1 when it cannot be used.
struct image_files {
    std::string prefix;
    scene_model *scene;
    std::map<int, int> made;
    std::set<std::string> taken; // in lower case: file systems may not tell cases apart

    std::string unique(const std::string &name) {
        const size_t dot = name.find_last_of('.');
        const std::string stem = name.substr(0, dot), extension = name.substr(dot);
        std::string candidate = name;
        for (int n = 2; taken.count(lower(candidate)); n++)
            candidate = stem + format("_%d", n) + extension;
        taken.insert(lower(candidate));
        return candidate;
    }

    int image_for(const tinygltf::Model &model, int index, const std::string &material) {
        if (auto found = made.find(index); found != made.end()) return found->second;
        const tinygltf::Image &image = model.images[size_t(index)];
        const std::string what = describe_image(image, index);
        uint32_t width = 0, height = 0;
        const char *extension = image_kind(image.image, &width, &height);
        int result = -1;
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
            std::string own =
                file_safe(without_directory(image.name.substr(0, image.name.find('\0'))), 200);
            // export-gltf adds the format of the bytes to the texture's name ("skin.bmp.png"),
            // which Blender drops again.
            const size_t last = texture_extension_at(own);
            if (last != std::string::npos &&
                texture_extension_at(own.substr(0, last)) != std::string::npos)
                own = own.substr(0, last);
            const bool named = texture_extension_at(own) != std::string::npos;
            scene_image entry;
            entry.file_name =
                unique(named ? own : prefix + "_" + image_stem(image, index) + extension);
            entry.mime_type = std::string(extension) == ".png" ? "image/png" : "image/jpeg";
            entry.bytes = image.image;
            result = int(scene->images.size());
            scene->images.push_back(std::move(entry));
        }
        made[index] = result;
        return result;
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
scene_material default_material() {
    scene_material out;
    out.name = "default";
    set_colour(out.ambient, 1, 1, 1, 1);
    set_colour(out.diffuse, 1, 1, 1, 1);
    set_colour(out.specular, 0, 0, 0, 1);
    set_colour(out.emissive, 0, 0, 0, 0); // a TKM's emission is the fourth value: none
    out.transparency = 1;
    return out;
}

int convert_material(const tinygltf::Model &model, int index, image_files *images,
                     scene_material *out, std::string *why) {
    const tinygltf::Material &material = model.materials[size_t(index)];
    *out = default_material();
    const std::string name = material.name.substr(0, material.name.find('\0'));
    out->name = name.empty() ? format("material%d", index) : name;
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
                  texture, out->name.c_str());
        return 0;
    }
    if (size_t(source) >= model.images.size()) {
        *why = format("texture %d names image %d, which does not exist", texture, source);
        return gltf_bad_document;
    }
    out->image = images->image_for(model, source, out->name);
    if (out->image >= 0) out->texture = images->scene->images[size_t(out->image)].file_name;
    return 0;
}

} // namespace

// ---- read_scene_materials

int read_scene_materials(const tinygltf::Model &model,
                         const std::vector<const tinygltf::Primitive *> &primitives,
                         const std::string &prefix, scene_model *scene,
                         scene_material_choice *choice, std::string *why) {
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
    image_files images{prefix.substr(0, 64), scene, {}, {}};
    std::map<int, int32_t> slot_of;
    for (int index : used) {
        scene_material material;
        if (int code = convert_material(model, index, &images, &material, why)) return code;
        slot_of[index] = int32_t(scene->materials.size());
        scene->materials.push_back(std::move(material));
    }
    if (needs_default) {
        slot_of[-1] = int32_t(scene->materials.size());
        scene->materials.push_back(default_material());
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
