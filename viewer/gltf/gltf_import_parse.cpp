// SPDX-License-Identifier: MIT
// Parsing a .glb or .gltf with tinygltf, behind checks of our own: the container and the JSON are
// looked at first (tinygltf recurses into nested values and would overflow the stack on absurd
// nesting), external files are read only from the model's directory and only when they are
// regular files of a sane size, and images are kept as the stored bytes (never decoded here).
//
// GLB layout (little-endian): magic "glTF", version u32 (2), total length u32, then chunks of
// length u32, type u32 ("JSON" first, then an optional "BIN\0"), data padded to 4 bytes.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <new>

#include <nlohmann/json.hpp>

#include "viewer/gltf/gltf_import_internal.h"
#include "viewer/gltf/tinygltf_compat.h"

namespace gltf_import {

namespace {

// Deeper JSON than this is refused before tinygltf sees it; real files nest about 8 levels.
constexpr int deepest_json = 64;
// External buffers and images larger than this are not read.
constexpr uint64_t largest_external_file = 1ull << 30;

// Required extensions that only change shading, which the conversion does not carry anyway.
bool ignorable_extension(const std::string &name) {
    return name.rfind("KHR_materials_", 0) == 0 || name == "KHR_lights_punctual";
}

// Checks JSON syntax and depth and finds asset.version, in one pass without building values.
struct json_check : nlohmann::json_sax<nlohmann::json> {
    int depth = 0;
    bool too_deep = false;
    bool root_is_object = false;
    bool seen_value = false;
    bool has_asset = false;
    std::string version;
    std::vector<std::string> keys{""}; // the key being read at each depth
    std::string error;

    bool enter(bool object) {
        if (!seen_value) root_is_object = object;
        seen_value = true;
        if (++depth > deepest_json) {
            too_deep = true;
            return false;
        }
        keys.resize(static_cast<size_t>(depth) + 1);
        if (depth == 2 && keys[1] == "asset" && object) has_asset = true;
        return true;
    }
    bool leave() {
        --depth;
        return true;
    }
    bool scalar() {
        seen_value = true;
        return true;
    }
    bool null() override { return scalar(); }
    bool boolean(bool) override { return scalar(); }
    bool number_integer(number_integer_t) override { return scalar(); }
    bool number_unsigned(number_unsigned_t) override { return scalar(); }
    bool number_float(number_float_t, const string_t &) override { return scalar(); }
    bool string(string_t &value) override {
        if (depth == 2 && keys[1] == "asset" && keys[2] == "version") version = value;
        return scalar();
    }
    bool binary(binary_t &) override { return scalar(); }
    bool start_object(std::size_t) override { return enter(true); }
    bool key(string_t &value) override {
        keys[static_cast<size_t>(depth)] = value;
        return true;
    }
    bool end_object() override { return leave(); }
    bool start_array(std::size_t) override { return enter(false); }
    bool end_array() override { return leave(); }
    bool parse_error(std::size_t, const std::string &,
                     const nlohmann::detail::exception &e) override {
        error = e.what();
        return false;
    }
};

int check_json(const char *text, size_t size, std::string *why) {
    size_t start = 0;
    if (size >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0) start = 3; // byte order mark
    while (start < size && std::strchr(" \t\r\n", text[start]) && text[start] != 0)
        start++;
    if (start == size || text[start] != '{') {
        *why = "not a glTF file (neither a GLB container nor a JSON object)";
        return gltf_not_gltf;
    }
    json_check check;
    bool parsed = false;
    try {
        parsed = nlohmann::json::sax_parse(text + start, text + size, &check);
    } catch (const std::bad_alloc &) {
        *why = "out of memory reading the JSON";
        return gltf_out_of_memory;
    } catch (const std::exception &e) {
        check.error = e.what();
    }
    if (check.too_deep) {
        *why = format("bad JSON: values nested deeper than %d levels", deepest_json);
        return gltf_bad_json;
    }
    if (!parsed) {
        *why = "bad JSON: " + (check.error.empty() ? std::string("cannot be parsed") : check.error);
        return gltf_bad_json;
    }
    if (!check.root_is_object || !check.has_asset) {
        *why = "not a glTF file (the JSON has no \"asset\" object)";
        return gltf_not_gltf;
    }
    if (check.version.rfind("2.", 0) != 0) {
        *why = "glTF version \"" + check.version + "\" is not supported; only 2.x is read";
        return gltf_unsupported;
    }
    return 0;
}

uint32_t u32_at(const uint8_t *p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

int check_glb(const uint8_t *data, size_t size, std::string *why) {
    if (size < 20) {
        *why = format("the GLB container is cut short: %zu bytes", size);
        return gltf_bad_document;
    }
    if (u32_at(data + 4) != 2) {
        *why = format("GLB version %u is not supported; only 2 is read", u32_at(data + 4));
        return gltf_unsupported;
    }
    const uint64_t json_length = u32_at(data + 12);
    if (std::memcmp(data + 16, "JSON", 4) != 0 || json_length > size - 20) {
        *why = "the GLB container's first chunk is not a whole JSON chunk";
        return gltf_bad_document;
    }
    return check_json(reinterpret_cast<const char *>(data + 20), json_length, why);
}

// ---- file access for tinygltf: the model's directory only, regular files only

struct file_access {
    std::string base; // the directory external files are read from
    bool allowed = false;
};

bool inside_base(const std::string &path, const file_access &access) {
    if (!access.allowed) return false;
    if (access.base.empty()) return path.find('/') != 0;
    return path.compare(0, access.base.size(), access.base) == 0;
}

bool regular_file(const std::string &path, uint64_t *size) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    *size = static_cast<uint64_t>(info.st_size);
    return true;
}

bool file_exists(const std::string &path, void *user) {
    uint64_t size = 0;
    return inside_base(path, *static_cast<file_access *>(user)) && regular_file(path, &size);
}

std::string expand_path(const std::string &path, void *) {
    return path; // no shell expansion of names taken from a file
}

bool read_whole_file(std::vector<unsigned char> *out, std::string *err, const std::string &path,
                     void *user) {
    uint64_t size = 0;
    if (!inside_base(path, *static_cast<file_access *>(user)) || !regular_file(path, &size)) {
        *err += "cannot read " + path + "\n";
        return false;
    }
    if (size > largest_external_file) {
        *err += "file too large: " + path + "\n";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    out->resize(static_cast<size_t>(size));
    if (size &&
        !in.read(reinterpret_cast<char *>(out->data()), static_cast<std::streamsize>(size))) {
        *err += "cannot read " + path + "\n";
        return false;
    }
    return true;
}

bool write_whole_file(std::string *err, const std::string &, const std::vector<unsigned char> &,
                      void *) {
    *err += "the glTF reader writes no files\n";
    return false;
}

bool file_size(size_t *out, std::string *err, const std::string &path, void *user) {
    uint64_t size = 0;
    if (!inside_base(path, *static_cast<file_access *>(user)) || !regular_file(path, &size) ||
        size > largest_external_file) {
        *err += "cannot read " + path + "\n";
        return false;
    }
    *out = static_cast<size_t>(size);
    return true;
}

// ---- images: kept as stored; a buffer view is checked before its bytes are touched

struct image_access {
    const tinygltf::Model *model = nullptr;
    int code = 0;
    std::string why;
};

bool keep_image(tinygltf::Image *image, const int index, std::string *, std::string *, int, int,
                const unsigned char *bytes, int size, void *user) {
    auto *access = static_cast<image_access *>(user);
    if (image->bufferView < 0) {
        image->image.assign(bytes, bytes + (size > 0 ? size : 0));
        return true;
    }
    // tinygltf points into the buffer without checking the view's range.
    const tinygltf::BufferView &view = access->model->bufferViews[size_t(image->bufferView)];
    const std::vector<unsigned char> &data = access->model->buffers[size_t(view.buffer)].data;
    if (view.byteOffset > data.size() || view.byteLength > data.size() - view.byteOffset) {
        access->code = gltf_bad_buffer_view;
        access->why = format("buffer view %d of image %d lies outside buffer %d", image->bufferView,
                             index, view.buffer);
        return false;
    }
    const unsigned char *first = data.data() + view.byteOffset;
    image->image.assign(first, first + view.byteLength);
    return true;
}

std::string first_line(const std::string &text) {
    std::string line = text.substr(0, text.find('\n'));
    return line.empty() ? std::string("the document cannot be read") : line;
}

} // namespace

int parse_gltf(tinygltf::Model *model, const uint8_t *data, size_t size, const char *base_dir,
               std::string *why) {
    const bool binary = size >= 4 && std::memcmp(data, "glTF", 4) == 0;
    if (size > UINT32_MAX) {
        *why = "the file is larger than 4 GiB";
        return gltf_bad_document;
    }
    int code = binary ? check_glb(data, size, why)
                      : check_json(reinterpret_cast<const char *>(data), size, why);
    if (code) return code;

    file_access files;
    files.allowed = base_dir != nullptr;
    files.base = base_dir ? base_dir : "";
    image_access images;
    images.model = model;
    tinygltf::TinyGLTF loader;
    std::string err, warn;
    if (!tinygltf_compat::set_file_callbacks(
            &loader,
            {file_exists, expand_path, read_whole_file, write_whole_file, file_size, &files},
            &err)) {
        *why = "the glTF library refused the file access: " + first_line(err);
        return gltf_bad_document;
    }
    loader.SetImageLoader(keep_image, &images);
    bool loaded = false;
    try {
        const auto length = static_cast<unsigned int>(size);
        loaded = binary ? loader.LoadBinaryFromMemory(model, &err, &warn, data, length, files.base)
                        : loader.LoadASCIIFromString(model, &err, &warn,
                                                     reinterpret_cast<const char *>(data), length,
                                                     files.base);
    } catch (const std::bad_alloc &) {
        *why = "out of memory reading the document";
        return gltf_out_of_memory;
    } catch (const std::exception &e) {
        err = e.what();
    }
    if (!loaded) {
        *why = images.code ? images.why : first_line(err);
        return images.code ? images.code : gltf_bad_document;
    }
    for (const std::string &name : model->extensionsRequired)
        if (!ignorable_extension(name)) {
            *why = "the file requires the extension " + name + ", which is not supported";
            return gltf_unsupported;
        }
    return 0;
}

} // namespace gltf_import
