// SPDX-License-Identifier: MIT
// The glTF export put together: the buffer, the steps in order, serialisation and the files.
//
// Index: buffer and accessors - names and numbers - serialising (.glb, .gltf) - encode_gltf -
//        writing the files - export_gltf
//
// Output files: a .glb holds the JSON chunk and one binary chunk with every buffer view, the
// images included. A .gltf names NAME.bin (the same binary data) and one file per image; tinygltf
// serialises a buffer only as a data URI there, so the buffer's URI and length are set in the
// JSON it produced.
#include "viewer/gltf/gltf_export.h"

#include <nlohmann/json.hpp>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <streambuf>

#include "support/file.h"
#include "support/memory.h"
#include "support/scratch_write.h"
#include "viewer/files/path_names.h"
#include "viewer/gltf/gltf_export_internal.h"
#include "viewer/mesh/mesh.h"

namespace {

// GLB's chunk lengths are 32-bit: the binary data with its JSON must stay below this.
constexpr size_t largest_buffer = 0xFFFFFFFFu - (64u << 20);

} // namespace

// ---- buffer and accessors

int reserve_buffer_view(gltf_export_state &state, size_t size, int target, size_t *offset) {
    state.data.resize((state.data.size() + 3) & ~size_t{3});
    *offset = state.data.size();
    state.data.resize(*offset + size);
    tinygltf::BufferView view;
    view.buffer = 0;
    view.byteOffset = *offset;
    view.byteLength = size;
    view.target = target;
    state.model.bufferViews.push_back(view);
    return static_cast<int>(state.model.bufferViews.size() - 1);
}

int add_buffer_view(gltf_export_state &state, const void *bytes, size_t size, int target) {
    size_t offset = 0;
    int view = reserve_buffer_view(state, size, target, &offset);
    if (size) std::memcpy(state.data.data() + offset, bytes, size);
    return view;
}

int add_accessor(gltf_export_state &state, int view, size_t offset, int component_type, int type,
                 size_t count, std::vector<double> min, std::vector<double> max) {
    tinygltf::Accessor accessor;
    accessor.bufferView = view;
    accessor.byteOffset = offset;
    accessor.componentType = component_type;
    accessor.type = type;
    accessor.count = count;
    accessor.minValues = std::move(min);
    accessor.maxValues = std::move(max);
    state.model.accessors.push_back(std::move(accessor));
    return static_cast<int>(state.model.accessors.size() - 1);
}

// ---- names and numbers

std::string utf8_name(const char *text) {
    std::string out;
    if (!text) return out;
    const auto *at = reinterpret_cast<const unsigned char *>(text);
    while (*at) {
        // The length of a well-formed UTF-8 sequence starting here, or 0.
        size_t length = 0;
        if (*at < 0x80) {
            length = 1;
        } else if (*at >= 0xC2 && *at <= 0xF4) {
            size_t need = *at < 0xE0 ? 2 : *at < 0xF0 ? 3 : 4;
            bool ok = true;
            for (size_t i = 1; i < need && ok; ++i)
                ok = (at[i] & 0xC0) == 0x80;
            // No overlong forms, surrogates or values above U+10FFFF.
            if (ok && need == 3)
                ok = !(at[0] == 0xE0 && at[1] < 0xA0) && !(at[0] == 0xED && at[1] >= 0xA0);
            if (ok && need == 4)
                ok = !(at[0] == 0xF0 && at[1] < 0x90) && !(at[0] == 0xF4 && at[1] >= 0x90);
            length = ok ? need : 0;
        }
        if (length) {
            out.append(reinterpret_cast<const char *>(at), length);
            at += length;
        } else {
            out += static_cast<char>(0xC0 | (*at >> 6));
            out += static_cast<char>(0x80 | (*at & 0x3F));
            ++at;
        }
    }
    return out;
}

std::string uri_of_file_name(const std::string &file_name) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : file_name) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

bool check_finite(gltf_export_state &state, const float *values, int count, const char *what,
                  uint32_t index) {
    for (int i = 0; i < count; ++i)
        if (!std::isfinite(values[i])) {
            state.report.error =
                std::string(what) + " " + std::to_string(index) + " is not a finite number";
            return false;
        }
    return true;
}

namespace {

// ---- serialising

// A stream that appends to a byte vector: the binary data goes out once, without the copies
// and regrowth of a string stream.
struct byte_sink : std::streambuf {
    std::vector<uint8_t> &bytes;
    explicit byte_sink(std::vector<uint8_t> &out) : bytes(out) {}
    int_type overflow(int_type c) override {
        if (c != traits_type::eof()) bytes.push_back(static_cast<uint8_t>(c));
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char *text, std::streamsize count) override {
        bytes.insert(bytes.end(), text, text + count);
        return count;
    }
};

// The document (with a .glb's binary chunk) in bytes; empty when the library failed.
std::vector<uint8_t> serialise(tinygltf::Model &model, bool binary, size_t expected) {
    tinygltf::TinyGLTF writer;
    // Images are in buffer views or already named files: no image writer, so every image keeps
    // its uri (a writer's failure would fail the whole document in tinygltf 2.9).
    writer.SetImageWriter(nullptr, nullptr);
    std::vector<uint8_t> bytes;
    bytes.reserve(expected);
    byte_sink sink(bytes);
    std::ostream stream(&sink);
    if (!writer.WriteGltfSceneToStream(&model, stream, !binary, binary) || !stream) return {};
    return bytes;
}

int32_t serialise_files(gltf_export_state &state, std::vector<gltf_file> *files) {
    const gltf_export_options &options = state.options;
    if (state.data.size() > largest_buffer) {
        state.report.error = "the binary data would pass the format's 4 GiB limit";
        return gltf_export_too_large;
    }
    // A buffer may not be empty: a mesh without triangles or bones has none.
    if (state.data.empty()) state.model.buffers.clear();
    if (options.binary) {
        if (!state.model.buffers.empty()) state.model.buffers[0].data = std::move(state.data);
        size_t data_size = state.model.buffers.empty() ? 0 : state.model.buffers[0].data.size();
        std::vector<uint8_t> glb = serialise(state.model, true, data_size + (1u << 20));
        if (glb.empty()) {
            state.report.error = "the document could not be serialised";
            return gltf_export_encode_failed;
        }
        files->push_back({options.base_name + ".glb", std::move(glb)});
        return gltf_export_ok;
    }
    std::string bin_name = options.base_name + ".bin";
    bool has_data = !state.data.empty();
    std::vector<uint8_t> serialised = serialise(state.model, false, 1u << 20);
    std::string text(serialised.begin(), serialised.end());
    nlohmann::json document = nlohmann::json::parse(text, nullptr, false);
    if (text.empty() || document.is_discarded()) {
        state.report.error = "the document could not be serialised";
        return gltf_export_encode_failed;
    }
    if (has_data) {
        document["buffers"][0]["uri"] = uri_of_file_name(bin_name);
        document["buffers"][0]["byteLength"] = state.data.size();
    }
    text = document.dump(2) + "\n";
    files->push_back({options.base_name + ".gltf", std::vector<uint8_t>(text.begin(), text.end())});
    if (has_data) files->push_back({bin_name, std::move(state.data)});
    for (gltf_file &image : state.image_files)
        files->push_back(std::move(image));
    return gltf_export_ok;
}

int32_t encode(const tkm_mesh &mesh, const gltf_export_options &options,
               std::vector<gltf_file> *files, gltf_export_report *report) {
    gltf_export_state state(mesh, options, *report);
    tinygltf::Model &model = state.model;
    model.asset.version = "2.0";
    model.asset.generator = "tarvik tkmtool";
    model.scenes.resize(1);
    model.scenes[0].name = utf8_name(mesh.name);
    model.defaultScene = 0;
    model.buffers.resize(1);
    for (int32_t (*step)(gltf_export_state &) :
         {prepare_vertices, export_materials, export_skeleton, export_geometry, export_animations})
        if (int32_t result = step(state); result != gltf_export_ok) return result;
    // A scene of nothing would be written as null, which readers refuse: then there is none.
    if (model.scenes[0].nodes.empty()) {
        model.scenes.clear();
        model.defaultScene = -1;
    }
    return serialise_files(state, files);
}

} // namespace

int32_t encode_gltf(const tkm_mesh &mesh, const gltf_export_options &options,
                    std::vector<gltf_file> *files, gltf_export_report *report) {
    files->clear();
    *report = gltf_export_report{};
    // The JSON and glTF libraries report failures by exceptions; none leaves this call.
    try {
        return encode(mesh, options, files, report);
    } catch (const std::bad_alloc &) {
        report->error = "out of memory";
    } catch (const std::exception &error) {
        report->error = std::string("the document could not be serialised: ") + error.what();
    }
    files->clear();
    return gltf_export_encode_failed;
}

// ---- writing the files

int32_t write_gltf_files(const std::string &directory, const std::vector<gltf_file> &files,
                         std::string *error) {
    std::vector<std::string> targets;
    std::vector<const char *> paths;
    std::vector<const void *> bytes;
    std::vector<size_t> sizes;
    for (const gltf_file &file : files) {
        targets.push_back(joined_path(directory, file.name));
        bytes.push_back(file.bytes.data());
        sizes.push_back(file.bytes.size());
    }
    for (const std::string &target : targets)
        paths.push_back(target.c_str());
    // Every file is complete before any is put in place, the document that names the others last.
    size_t failed = 0;
    if (int reason =
            replace_files_bytes(files.size(), paths.data(), bytes.data(), sizes.data(), &failed)) {
        *error = "cannot write " + targets[failed] + colon_reason(reason);
        return gltf_export_write_failed;
    }
    return gltf_export_ok;
}

// ---- export_gltf

int32_t export_gltf(const tkm_mesh &mesh, const std::string &out_path, gltf_export_options options,
                    gltf_export_report *report) {
    *report = gltf_export_report{};
    size_t slash = last_folder_separator(out_path);
    std::string directory = slash == std::string::npos ? "" : out_path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? out_path : out_path.substr(slash + 1);
    size_t dot = name.find_last_of('.');
    const char *extension = dot == std::string::npos ? "" : name.c_str() + dot + 1;
    if (dot == std::string::npos || dot == 0 ||
        (!str_equiv(extension, "glb") && !str_equiv(extension, "gltf"))) {
        report->error = out_path + " does not end in .glb or .gltf";
        return gltf_export_bad_path;
    }
    options.binary = str_equiv(extension, "glb");
    options.base_name = name.substr(0, dot);
    std::vector<gltf_file> files;
    if (int32_t result = encode_gltf(mesh, options, &files, report); result != gltf_export_ok)
        return result;
    // The main file keeps the name as given, letter case of its extension included.
    files[0].name = name;
    return write_gltf_files(directory, files, &report->error);
}
