// SPDX-License-Identifier: MIT
// Images of a converted model written beside it. A glTF file carries PNG or JPEG bytes while the
// mesh may name its texture "skin.bmp" (as it did before it was exported): such bytes go through
// the caller's encoder, so that the file beside the mesh is what its name says.
//
// Index: formats | write_scene_images
#include "viewer/scene/image_files.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>

#include "support/messages.h"
#include "support/scratch_write.h"
#include "viewer/files/path_names.h"
#include "viewer/scene/scene.h"

namespace {

// ---- formats

// The file name's extension and the first bytes of such a file (none for TGA: it has no
// signature).
struct image_format_entry {
    const char *extension;
    scene_image_format format;
    std::vector<uint8_t> signature;
};
const image_format_entry image_formats[] = {
    {".png", image_format_png, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}},
    {".jpg", image_format_jpeg, {0xFF, 0xD8, 0xFF}},
    {".jpeg", image_format_jpeg, {0xFF, 0xD8, 0xFF}},
    {".bmp", image_format_bmp, {'B', 'M'}},
    {".tga", image_format_tga, {}},
};

const image_format_entry *entry_of(const std::string &file_name) {
    const size_t dot = file_name.find_last_of('.');
    if (dot == std::string::npos) return nullptr;
    std::string extension = file_name.substr(dot);
    for (char &c : extension)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    for (const image_format_entry &entry : image_formats)
        if (extension == entry.extension) return &entry;
    return nullptr;
}

bool same_content(const std::string &path, const std::vector<uint8_t> &bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    const std::vector<uint8_t> old((std::istreambuf_iterator<char>(in)), {});
    return old == bytes;
}

} // namespace

scene_image_format named_image_format(const scene_image &image) {
    const image_format_entry *entry = entry_of(image.file_name);
    return entry ? entry->format : image_format_unknown;
}

bool image_in_named_format(const scene_image &image) {
    const image_format_entry *entry = entry_of(image.file_name);
    return entry && !entry->signature.empty() && image.bytes.size() >= entry->signature.size() &&
           std::equal(entry->signature.begin(), entry->signature.end(), image.bytes.begin());
}

// ---- write_scene_images

int write_scene_images(const std::vector<scene_image> &images, const std::string &beside,
                       scene_image_encoder encode) {
    const std::string directory = beside.substr(0, last_folder_separator(beside) + 1);
    int failed = 0;
    for (const scene_image &image : images) {
        const std::string target = directory + image.file_name;
        std::vector<uint8_t> encoded;
        const bool as_they_are = image_in_named_format(image);
        if (!as_they_are && (!encode || !encode(image, &encoded))) {
            real_meow("Can't write texture %s: its image cannot be converted\n", target.c_str());
            failed++;
            continue;
        }
        const std::vector<uint8_t> &bytes = as_they_are ? image.bytes : encoded;
        if (same_content(target, bytes)) continue;
        const int reason = replace_file_bytes(target.c_str(), bytes.data(), bytes.size());
        if (reason == 0) {
            real_purr("Wrote texture %s\n", target.c_str());
        } else {
            real_meow("Can't write texture %s%s\n", target.c_str(), colon_reason(reason).c_str());
            failed++;
        }
    }
    return failed;
}
