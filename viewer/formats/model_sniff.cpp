// SPDX-License-Identifier: MIT
// The signatures of the formats, what a file's first octets tell, and the choice of the reader
// with the warning or refusal that goes with it.
//
// Index: signatures | sniff_model_content | the words | choose_model_format |
//        choose_animation_loader
#include "viewer/formats/model_sniff.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "support/messages.h"
#include "support/paths.h"
#include "viewer/anim/tka_format.h"
#include "viewer/mesh/tkm_format.h"
#include "viewer/ms3d/ms3d_format.h"

namespace {

// ---- signatures

enum class verdict { no, yes, too_short };

// The TKM and TKA readers compare their magic up to and including its zero octet.
constexpr size_t compared_magic = 11;
static_assert(tkm_magic[compared_magic - 1] == 0 && tka_magic[compared_magic - 1] == 0);

constexpr uint8_t glb_magic[4] = {'g', 'l', 'T', 'F'};
constexpr size_t glb_header = 8; // the magic and the u32 version
constexpr uint32_t glb_versions[] = {1, 2};
constexpr uint8_t utf8_bom[3] = {0xEF, 0xBB, 0xBF};
constexpr char json_space[] = " \t\r\n";

verdict starts_with(const uint8_t *bytes, size_t size, const void *magic, size_t length) {
    const size_t compared = size < length ? size : length;
    if (compared && std::memcmp(bytes, magic, compared) != 0) return verdict::no;
    return size < length ? verdict::too_short : verdict::yes;
}

verdict shows_tkm(const uint8_t *bytes, size_t size) {
    return starts_with(bytes, size, tkm_magic, compared_magic);
}

verdict shows_tka(const uint8_t *bytes, size_t size) {
    return starts_with(bytes, size, tka_magic, compared_magic);
}

verdict shows_ms3d(const uint8_t *bytes, size_t size) {
    return starts_with(bytes, size, ms3d_magic, sizeof ms3d_magic);
}

verdict shows_glb(const uint8_t *bytes, size_t size) {
    const verdict magic = starts_with(bytes, size, glb_magic, sizeof glb_magic);
    if (magic != verdict::yes) return magic;
    if (size < glb_header) return verdict::too_short;
    uint32_t version = 0;
    std::memcpy(&version, bytes + sizeof glb_magic, sizeof version); // little-endian host
    for (uint32_t known : glb_versions)
        if (version == known) return verdict::yes;
    return verdict::no;
}

verdict shows_json(const uint8_t *bytes, size_t size) {
    size_t at = 0;
    if (size && bytes[0] == utf8_bom[0]) {
        const verdict bom = starts_with(bytes, size, utf8_bom, sizeof utf8_bom);
        if (bom != verdict::yes) return bom;
        at = sizeof utf8_bom;
    }
    while (at < size && bytes[at] != 0 && std::strchr(json_space, bytes[at]))
        at++;
    if (at == size) return verdict::too_short;
    return bytes[at] == '{' ? verdict::yes : verdict::no;
}

// One signature: the model format it shows (by its name in the table), or the TKA animation.
struct signature {
    const char *format; // null: the TKA animation
    verdict (*shows)(const uint8_t *bytes, size_t size);
};

constexpr signature signatures[] = {
    {"TarvikMesh", shows_tkm}, {"Milkshape", shows_ms3d}, {"glTF", shows_glb},
    {"glTF", shows_json},      {nullptr, shows_tka},
};

const model_format *format_named(const char *name) {
    for (size_t f = 0; f < num_model_formats; f++)
        if (std::strcmp(model_formats[f].name, name) == 0) return &model_formats[f];
    return nullptr;
}

} // namespace

// ---- sniff_model_content

model_content sniff_model_content(const uint8_t *bytes, size_t size) {
    model_content content;
    if (!bytes) size = 0;
    bool undecided = false;
    for (const signature &row : signatures) {
        const verdict seen = row.shows(bytes, size);
        if (seen == verdict::too_short) undecided = true;
        if (seen != verdict::yes) continue;
        content.format = row.format ? format_named(row.format) : nullptr;
        content.animation = row.format == nullptr;
        content.told = true;
        return content;
    }
    content.told = !undecided;
    return content;
}

const model_format *recognise_model_format(const uint8_t *bytes, size_t size) {
    return sniff_model_content(bytes, size).format;
}

model_content sniff_model_file(const char *path) {
    uint8_t bytes[model_sniff_size];
    // Not open_read: a file that cannot be opened is reported by the reader chosen for it.
    std::FILE *file = path ? std::fopen(path, "rb") : nullptr;
    if (!file) return {};
    const size_t size = std::fread(bytes, 1, sizeof bytes, file);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) return {};
    return sniff_model_content(bytes, size);
}

// ---- the words

namespace {

// What a load says of a file whose content and name differ, or that is of no known format; %s
// are the path, what the file is ("a Milkshape model") and what its name says ("TKM").
struct sniff_words {
    const char *named;   // the name says another format
    const char *unnamed; // the name says none
    const char *refused; // neither content nor name show a known format
};

constexpr sniff_words words = {
    "Warning: %s is %s, though its name says %s\n",
    "Warning: %s is %s; its name does not say so\n",
    "Error loading model: %s is not a TKM, Milkshape or glTF model\n",
};

constexpr const char *tka_noun = "TKA";

void warn(const char *path, const std::string &what, const char *says) {
    if (says)
        real_meow(words.named, path, what.c_str(), says);
    else
        real_meow(words.unnamed, path, what.c_str());
}

std::string model_words(const model_format &format) {
    return std::string("a ") + format.noun + " model";
}

// ---- choose_model_format

const model_format *model_format_of(const char *path, bool report) {
    const model_content content = sniff_model_file(path);
    const model_format *named = named_model_format(path);
    if (content.format) {
        if (report && named != content.format)
            warn(path, model_words(*content.format), named ? named->noun : nullptr);
        return content.format;
    }
    if (!content.told || named) return &find_model_format(path);
    if (report) real_meow(words.refused, path);
    return nullptr;
}

} // namespace

const model_format *choose_model_format(const char *path) {
    return model_format_of(path, true);
}

const model_format *quiet_model_format(const char *path) {
    return model_format_of(path, false);
}

// ---- choose_animation_loader

namespace {

// What an animation's name says: TKA for .tka and for a name without a dot (the viewer's old
// rule), a model format's noun, or null for an extension of none.
const char *animation_name_says(const char *name) {
    const char *extension = file_extension(name);
    if (!extension || extension == name || str_equiv(extension, "tka")) return tka_noun;
    const model_format *named = named_model_format(name);
    return named ? named->noun : nullptr;
}

} // namespace

model_animation_loader choose_animation_loader(const char *path, const char *name) {
    const model_content content = sniff_model_file(path);
    const char *says = animation_name_says(name);
    if (content.animation) {
        if (says != tka_noun) warn(path, std::string("a ") + tka_noun + " animation", says);
        return nullptr;
    }
    // Of the models only a format with an animation load of its own is told by content; for any
    // other the name decides, and its reader says what is wrong.
    const model_format &named = find_model_format(name);
    if (content.format && content.format->load_animation) {
        if (content.format != named_model_format(name))
            warn(path, model_words(*content.format), says);
        return content.format->load_animation;
    }
    return named.load_animation;
}
