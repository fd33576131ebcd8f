// SPDX-License-Identifier: MIT
// One file of tkmtool check: what its content is, read by that format's own reader with the
// reader's messages caught on this thread (message_sink.h), and the findings that gives.
#include "check_models.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "check_values.h"
#include "support/file.h"
#include "support/message_sink.h"
#include "tool_common.h"
#include "viewer/anim/tka_format.h"
#include "viewer/anim/tka_loader.h"
#include "viewer/files/path_names.h"
#include "viewer/formats/model_sniff.h"
#include "viewer/mesh/tkm_reader.h"

namespace {

constexpr const char *tka_extension = "tka";
constexpr const char *tka_noun = "TKA animation";

// The lines the readers printed on this thread while it lived.
struct message_capture {
    std::vector<std::string> errors;
    std::vector<std::string> information;
    message_sink saved_sink = nullptr;
    void *saved_user = nullptr;
    message_capture() {
        saved_sink = current_message_sink(&saved_user);
        set_message_sink(take, this);
    }
    ~message_capture() { set_message_sink(saved_sink, saved_user); }
    message_capture(const message_capture &) = delete;
    message_capture &operator=(const message_capture &) = delete;
    static void take(message_outlet outlet, const char *text, void *user) {
        auto *capture = static_cast<message_capture *>(user);
        std::vector<std::string> &lines =
            outlet == message_error ? capture->errors : capture->information;
        const char *start = text;
        for (const char *at = text;; ++at) {
            if (*at != '\n' && *at != '\0') continue;
            if (at > start) lines.emplace_back(start, at);
            if (*at == '\0') break;
            start = at + 1;
        }
    }
    // The error lines joined into one sentence; fallback when there were none.
    std::string joined(const char *fallback) const {
        std::string text;
        for (const std::string &line : errors)
            text += (text.empty() ? "" : "; ") + line;
        return text.empty() ? fallback : text;
    }
};

// What a name says: the extension's lower-case text after the last dot of the file name.
std::string extension_of(const std::string &path) {
    size_t separator = last_folder_separator(path);
    size_t name = separator == std::string::npos ? 0 : separator + 1;
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < name) return "";
    std::string extension = path.substr(dot + 1);
    for (char &c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

// What a file's extension says it is: a format of the table, the TKA animation, or nothing.
struct named_kind {
    const model_format *format = nullptr;
    bool animation = false;
    bool any() const { return format || animation; }
    const char *noun() const { return animation ? tka_noun : format ? format->noun : ""; }
};

named_kind kind_named(const std::string &path) {
    const std::string extension = extension_of(path);
    named_kind kind;
    if (extension.empty()) return kind;
    if (extension == tka_extension) {
        kind.animation = true;
        return kind;
    }
    for (size_t f = 0; f < num_model_formats; ++f)
        for (const char *known : model_formats[f].extensions)
            if (known && extension == known) kind.format = &model_formats[f];
    return kind;
}

// "a glTF model", "a TKA animation".
std::string content_noun(const model_content &content) {
    if (content.animation) return std::string("a ") + tka_noun;
    return std::string("a ") + content.format->noun + " model";
}

std::string system_reason(int error) {
    return std::strerror(error);
}

// The first octets of the file, or the system's reason for not reading them (0: read).
int read_start(const std::string &path, std::vector<uint8_t> *bytes) {
    errno = 0;
    FILE *stream = open_read(path.c_str());
    if (!stream) return errno ? errno : EIO;
    bytes->resize(model_sniff_size);
    size_t got = std::fread(bytes->data(), 1, bytes->size(), stream);
    const bool failed = std::ferror(stream) != 0;
    const int error = errno ? errno : EIO;
    close_file(stream);
    if (failed) return error;
    bytes->resize(got);
    return 0;
}

// The reader's explanation names the record it stopped in, but read_failure keeps only the
// composed line, so the record stays in the message; its leading "<path>: " is the report's own.
void add_read_failed(file_report *report, int code, const read_failure &failure,
                     const message_capture &capture) {
    std::string explained = failure.message.empty() ? capture.joined("") : failure.message;
    const std::string own_path = report->path + ": ";
    if (explained.rfind(own_path, 0) == 0) explained.erase(0, own_path.size());
    finding &added = add_finding(report, finding_read_failed,
                                 "the reader refused it with code " + std::to_string(code) +
                                     (explained.empty() ? "" : ": " + explained));
    added.offset = failure.offset;
}

std::vector<std::string> bone_names(uint16_t count, const tkm_bone *bones) {
    std::vector<std::string> names;
    for (uint16_t i = 0; i < count; ++i)
        names.emplace_back(bones[i].name ? bones[i].name : "");
    return names;
}

void check_tkm(const std::string &path, checked_file *checked) {
    mesh_ptr mesh(create_mesh());
    if (!mesh) return;
    read_failure failure;
    int code = 0;
    {
        message_capture capture;
        code = read_tkm_explained(mesh.get(), path.c_str(), &failure);
        if (code) add_read_failed(&checked->report, code, failure, capture);
    }
    if (code) return;
    check_mesh_values(*mesh, &checked->report);
    check_mesh_class(*mesh, &checked->report);
    check_textures(*mesh, path, &checked->report);
    checked->kind = checked_mesh;
    checked->bone_names = bone_names(mesh->num_bones, mesh->bones);
}

// A mesh of the animation's own skeleton, for the loader, which loads an animation for a mesh:
// the bones' bind poses as the file gives them.
mesh_ptr skeleton_mesh(const tka_animation &animation) {
    mesh_ptr mesh(create_mesh());
    if (!mesh) return nullptr;
    mesh->bones = alloc_elements<tkm_bone>(animation.num_bones);
    if (!mesh->bones) return nullptr;
    mesh->num_bones = animation.num_bones;
    for (uint16_t i = 0; i < animation.num_bones; ++i) {
        std::memcpy(mesh->bones[i].position, animation.bones[i].position, sizeof(float) * 3);
        std::memcpy(mesh->bones[i].rotation, animation.bones[i].rotation, sizeof(float) * 4);
    }
    return mesh;
}

void check_tka(const std::string &path, checked_file *checked) {
    // A first load for a mesh without bones reads the file's own skeleton (and stops there
    // unless it has none); the second loads the whole file for a mesh of that skeleton.
    mesh_ptr no_bones(create_mesh());
    animation_ptr first(create_animation());
    if (!no_bones || !first) return;
    read_failure failure;
    message_capture capture;
    int code = load_tka_explained(first.get(), no_bones.get(), path.c_str(), &failure);
    animation_ptr animation = std::move(first);
    if (code == tka_code_not_usable && animation->bones && animation->num_bones != 0) {
        mesh_ptr skeleton = skeleton_mesh(*animation);
        animation.reset(create_animation());
        if (!skeleton || !animation) return;
        capture.errors.clear();
        capture.information.clear();
        code = load_tka_explained(animation.get(), skeleton.get(), path.c_str(), &failure);
    }
    if (code) {
        add_read_failed(&checked->report, code, failure, capture);
        return;
    }
    check_animation_values(*animation, &checked->report);
    checked->kind = checked_animation;
    checked->bone_names = bone_names(animation->num_bones, animation->bones);
}

// The starts of what a conversion prints that another finding tells already: the bone count of
// no class (UNKNOWN_BONE_COUNT, from the built mesh).
constexpr const char *told_elsewhere[] = {"Unknown number of bones"};

bool is_told_elsewhere(const std::string &line, const std::string &misnamed) {
    if (line.rfind(misnamed, 0) == 0) return true;
    for (const char *start : told_elsewhere)
        if (line.rfind(start, 0) == 0) return true;
    return false;
}

// A converted format: the load tkmtool convert makes, with its images named but not written.
void check_converted(const std::string &path, const model_format &format, checked_file *checked) {
    load_context context; // no output path: nothing is written
    failure failed;
    mesh_ptr mesh;
    {
        message_capture capture;
        mesh = load_mesh(path, &failed, &context);
        // The sniff's warning about the name is the MISNAMED_FILE already given.
        const std::string misnamed = "Warning: " + path + " is a";
        if (!mesh && failed.stage && std::strcmp(failed.stage, format.read_stage) == 0) {
            add_read_failed(&checked->report, failed.code, failed.detail, capture);
            return;
        }
        if (!mesh) {
            add_finding(&checked->report, finding_convert_refused,
                        "tkmtool convert refuses it: " + capture.joined("the conversion failed"));
            return;
        }
        for (const std::string &line : capture.errors)
            if (!is_told_elsewhere(line, misnamed))
                add_finding(&checked->report, finding_convert_note,
                            "tkmtool convert says: " + line);
    }
    check_mesh_values(*mesh, &checked->report);
    check_mesh_class(*mesh, &checked->report);
    checked->kind = checked_mesh;
    checked->bone_names = bone_names(mesh->num_bones, mesh->bones);
}

} // namespace

checked_file check_item_file(const check_item &item) {
    checked_file checked;
    checked.report.path = item.path;
    if (item.folder_error) {
        add_finding(&checked.report, finding_folder_unreadable,
                    "the folder cannot be listed: " + system_reason(item.folder_error));
        return checked;
    }
    const named_kind named = kind_named(item.path);
    std::vector<uint8_t> start;
    if (int error = read_start(item.path, &start)) {
        // A file of no model name in a walked folder is none of check's business.
        if (!item.named && !named.any()) return checked;
        add_finding(&checked.report, finding_file_unreadable,
                    "the file cannot be read: " + system_reason(error));
        return checked;
    }
    model_content content = sniff_model_content(start.data(), start.size());
    if (!content.told && named.any()) {
        // Too short to tell: read as its name says, whose reader says what is missing.
        content.format = named.format;
        content.animation = named.animation;
    }
    if (!content.format && !content.animation) {
        if (!item.named && !named.any()) return checked;
        checked.report.checked = true;
        add_finding(&checked.report, finding_unknown_format,
                    "the file is not a TKM, TKA, Milkshape or glTF model" +
                        std::string(named.any()
                                        ? ", though its name says " + std::string(named.noun())
                                        : "") +
                        "; remove it or replace it with the model");
        return checked;
    }
    checked.report.checked = true;
    const bool same = content.animation ? named.animation : named.format == content.format;
    if (!same)
        add_finding(&checked.report, finding_misnamed_file,
                    "the file is " + content_noun(content) +
                        (named.any() ? ", though its name says " + std::string(named.noun())
                                     : ", though its name does not say so") +
                        "; checked as what it is: rename it");
    if (content.animation)
        check_tka(item.path, &checked);
    else if (!reads_scene(*content.format))
        check_tkm(item.path, &checked);
    else
        check_converted(item.path, *content.format, &checked);
    return checked;
}
