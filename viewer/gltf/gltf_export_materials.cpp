// SPDX-License-Identifier: MIT
// Materials and their texture images for the glTF export.
//
// Index: finding a texture - reading and converting an image - images and textures - materials
//
// A texture is looked for as the viewer looks: its base name beside the mesh in any letter case,
// then its stored path. The options' image reader decodes it (what the viewer's image library
// cannot show, the viewer cannot either); a PNG or JPEG file is then taken as it is, any other
// format is converted to PNG, the formats glTF allows. The PNG writer stores the rows top first
// whatever the source's row order, and the texture coordinates are kept as stored: the viewer
// negates v for OpenGL, whose images start at the bottom row, so both show the same texel.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>

#include "support/memory.h"
#include "viewer/gltf/gltf_export_internal.h"
#include "viewer/files/path_names.h"
#include "viewer/mesh/mesh.h"
#include "viewer/files/directory_search.h"
#include "viewer/files/image_guard.h"
#include "viewer/files/texture_paths.h"

namespace {

// ---- finding a texture

std::string stored_text(const char *text, uint16_t length) {
    if (!text || length == 0) return {};
    return std::string(text, length).c_str();
}

// The file holding the image of texture name, or "" when there is none.
std::string find_texture_image(const std::string &directory, const texture_name &name) {
    std::string path = stored_text(name.path, name.length);
    if (path.empty()) return {};
    char *base_block = get_basename(path.c_str());
    std::string base = base_block ? base_block : path;
    cleanup_one(base_block);
    std::string folder = directory.empty() ? std::string(".") : directory;
    std::string found;
    if (!base.empty() && find_name_case_blind(folder.c_str(), base.c_str(), found)) {
        std::string beside = joined_path(folder, found);
        if (is_plain_file(beside.c_str())) return beside;
    }
    std::vector<char> resolved(4096);
    if (resolve_stored_path(path.c_str(), resolved.data(), resolved.size()) == 0 &&
        is_plain_file(resolved.data()))
        return resolved.data();
    return {};
}

// ---- reading and converting an image

struct encoded_image {
    std::vector<uint8_t> bytes;
    const char *mime_type = "image/png";
    std::string file_name; // for a .gltf: the name it is written under beside the document
};

bool starts_with(const std::vector<uint8_t> &bytes, std::initializer_list<uint8_t> signature) {
    return bytes.size() >= signature.size() &&
           std::equal(signature.begin(), signature.end(), bytes.begin());
}

// Reads and checks the image at path: PNG and JPEG as they are, anything else re-encoded as PNG
// by the reader. False when it cannot be read or decoded.
bool encode_image(const std::string &path, gltf_image_reader read_image, encoded_image *out) {
    // The image library overruns its buffers on some absurd BMP and TGA headers: those never
    // reach it.
    if (!read_image || check_image_file(path.c_str()) != image_ok) return false;
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    if (!in.good() && !in.eof()) return false;
    const bool png = starts_with(bytes, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A});
    const bool jpeg = !png && starts_with(bytes, {0xFF, 0xD8, 0xFF});
    out->mime_type = jpeg ? "image/jpeg" : "image/png";
    if (png || jpeg) {
        if (!read_image(path.c_str(), false, nullptr)) return false;
        out->bytes = std::move(bytes);
        return true;
    }
    return read_image(path.c_str(), true, &out->bytes);
}

// ---- images and textures

std::string lower(std::string text) {
    for (char &c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The name an image is written under beside a .gltf: the source's name, or its stem with .png
// when it was converted; made unique among the images regardless of letter case.
std::string image_file_name(const std::string &source, const encoded_image &image,
                            std::vector<std::string> &taken) {
    size_t slash = source.find_last_of('/');
    std::string name = slash == std::string::npos ? source : source.substr(slash + 1);
    size_t dot = name.find_last_of('.');
    std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    std::string extension = dot == std::string::npos || dot == 0 ? "" : lower(name.substr(dot));
    bool png = std::string(image.mime_type) == "image/png";
    if (png && extension != ".png") extension = ".png";
    if (!png && extension != ".jpg" && extension != ".jpeg") extension = ".jpg";
    std::string candidate = stem + extension;
    for (int n = 2; std::find(taken.begin(), taken.end(), lower(candidate)) != taken.end(); ++n)
        candidate = stem + "_" + std::to_string(n) + extension;
    taken.push_back(lower(candidate));
    return candidate;
}

// The glTF texture showing mesh texture index, made on first use; -1 when its image is missing.
int texture_for(gltf_export_state &state, uint16_t index, std::map<uint16_t, int> &made,
                std::vector<std::string> &taken) {
    if (auto known = made.find(index); known != made.end()) return known->second;
    const texture_name &name = state.mesh.texture_names[index];
    std::string source = find_texture_image(state.options.texture_directory, name);
    encoded_image image;
    int texture = -1;
    if (!source.empty() && encode_image(source, state.options.read_image, &image)) {
        tinygltf::Image entry;
        // The texture's own file name and then the format of the bytes: Blender drops the last
        // extension of an image's name, and the import gives the texture back under the rest.
        entry.name = utf8_name(name.base ? name.base : name.path) +
                     (std::string(image.mime_type) == "image/png" ? ".png" : ".jpg");
        entry.mimeType = image.mime_type;
        if (state.options.binary) {
            entry.bufferView = add_buffer_view(state, image.bytes.data(), image.bytes.size(), 0);
        } else {
            std::string file_name = image_file_name(source, image, taken);
            entry.uri = uri_of_file_name(file_name);
            state.image_files.push_back({file_name, std::move(image.bytes)});
        }
        state.model.images.push_back(std::move(entry));
        tinygltf::Texture gltf_texture;
        gltf_texture.source = static_cast<int>(state.model.images.size() - 1);
        state.model.textures.push_back(gltf_texture);
        texture = static_cast<int>(state.model.textures.size() - 1);
    } else {
        state.report.missing_textures.push_back(stored_text(
            name.base ? name.base : name.path, name.base ? name.base_length : name.length));
    }
    made[index] = texture;
    return texture;
}

// ---- materials

double unit_clamp(double value) {
    return std::clamp(value, 0.0, 1.0);
}

} // namespace

int32_t export_materials(gltf_export_state &state) {
    const tkm_mesh &mesh = state.mesh;
    std::map<uint16_t, int> made;
    // The document and its binary data lie beside the images too.
    std::vector<std::string> taken = {lower(state.options.base_name + ".gltf"),
                                      lower(state.options.base_name + ".bin")};
    for (uint32_t i = 0; i < mesh.num_materials; ++i) {
        const tkm_material &source = mesh.materials[i];
        if (!check_finite(state, source.diffuse, 3, "the diffuse colour of material", i) ||
            !check_finite(state, &source.transparency, 1, "the transparency of material", i))
            return gltf_export_bad_number;
        tinygltf::Material material;
        material.name = utf8_name(source.name);
        double opacity = unit_clamp(1.0 - source.transparency);
        int texture = -1;
        if (source.num_texture_refs && source.texture_refs &&
            source.texture_refs[0].texture < mesh.num_texture_names && mesh.texture_names)
            texture = texture_for(state, source.texture_refs[0].texture, made, taken);
        // The viewer shows a texture as it is, whatever the colour (decal texturing); without
        // one the material keeps its colour.
        if (texture >= 0) {
            material.pbrMetallicRoughness.baseColorFactor = {1, 1, 1, opacity};
            material.pbrMetallicRoughness.baseColorTexture.index = texture;
        } else {
            material.pbrMetallicRoughness.baseColorFactor = {
                unit_clamp(source.diffuse[0] / 255.0), unit_clamp(source.diffuse[1] / 255.0),
                unit_clamp(source.diffuse[2] / 255.0), opacity};
        }
        material.pbrMetallicRoughness.metallicFactor = 0;
        material.pbrMetallicRoughness.roughnessFactor = 1;
        if (opacity < 1) material.alphaMode = "BLEND";
        material.doubleSided = source.two_sided != 0;
        state.model.materials.push_back(std::move(material));
    }
    return gltf_export_ok;
}
