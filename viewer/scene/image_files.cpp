// SPDX-License-Identifier: MIT
// Images of a converted model written beside it. A glTF file carries PNG or JPEG bytes while the
// mesh may name its texture "skin.bmp" (as it did before it was exported): such bytes go through
// the caller's encoder, so that the file beside the mesh is what its name says.
//
// Index: formats | place_scene_images | write_placed_images
#include "viewer/scene/image_files.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>

#include <sys/stat.h>

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

std::string lower_case(std::string text) {
    for (char &c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

const image_format_entry *entry_of(const std::string &file_name) {
    const size_t dot = file_name.find_last_of('.');
    if (dot == std::string::npos) return nullptr;
    const std::string extension = lower_case(file_name.substr(dot));
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

// ---- place_scene_images

namespace {

// The most numbered names tried for one image before it is given up.
constexpr int most_renamings = 9999;

// Whether another image of the model than the one at index carries name (file systems may not
// tell cases apart).
bool carried_by_another(const std::vector<scene_image> &images, size_t index,
                        const std::string &name) {
    for (size_t i = 0; i < images.size(); i++)
        if (i != index && lower_case(images[i].file_name) == lower_case(name)) return true;
    return false;
}

// "skin_3.bmp" for "skin.bmp" and 3; the number goes before the extension, which keeps the format.
std::string numbered_name(const std::string &name, int number) {
    const size_t dot = name.find_last_of('.');
    const size_t stem = dot == std::string::npos || dot == 0 ? name.size() : dot;
    return name.substr(0, stem) + "_" + std::to_string(number) + name.substr(stem);
}

// Where the image at index goes: its own name unless a different file stands under it (and
// overwriting was not asked for), else the first numbered name that is free or holds the bytes.
// Empty when every name is taken.
std::string file_name_for(const std::vector<scene_image> &images, size_t index,
                          const std::string &directory, const std::vector<uint8_t> &bytes,
                          bool overwrite) {
    const std::string &own = images[index].file_name;
    if (overwrite) return own;
    for (int number = 1; number <= most_renamings; number++) {
        const std::string name = number == 1 ? own : numbered_name(own, number);
        if (number > 1 && carried_by_another(images, index, name)) continue;
        struct stat info {};
        const std::string path = directory + name;
        if (stat(path.c_str(), &info) != 0 || same_content(path, bytes)) return name;
    }
    return std::string();
}

void rename_image(scene_model *scene, size_t index, const std::string &name) {
    scene->images[index].file_name = name;
    for (scene_material &material : scene->materials)
        if (material.image == int32_t(index)) material.texture = name;
}

} // namespace

void place_scene_images(scene_model *scene, scene_image_placing *placing) {
    const std::string &beside = placing->beside;
    const std::string directory = beside.substr(0, last_folder_separator(beside) + 1);
    for (size_t index = 0; index < scene->images.size(); index++) {
        const scene_image &image = scene->images[index];
        const std::string target = directory + image.file_name;
        scene_image_file file;
        const bool as_they_are = image_in_named_format(image);
        if (as_they_are)
            file.bytes = image.bytes;
        else if (!placing->encode || !placing->encode(image, &file.bytes)) {
            real_meow("Can't write texture %s: its image cannot be converted\n", target.c_str());
            placing->num_failed++;
            continue;
        }
        const std::string name =
            file_name_for(scene->images, index, directory, file.bytes, placing->overwrite);
        if (name.empty()) {
            real_meow("Can't write texture %s: it and every name up to %s are other files\n",
                      target.c_str(), numbered_name(target, most_renamings).c_str());
            placing->num_failed++;
            continue;
        }
        file.path = directory + name;
        if (name != image.file_name) {
            real_meow("Kept %s, a different file: the model's image is written as %s\n",
                      target.c_str(), file.path.c_str());
            rename_image(scene, index, name);
        }
        file.present = same_content(file.path, file.bytes);
        placing->files.push_back(std::move(file));
    }
}

// ---- write_placed_images

int write_placed_images(const scene_image_placing &placing) {
    int failed = placing.num_failed;
    for (const scene_image_file &file : placing.files) {
        if (file.present) continue;
        const int reason =
            replace_file_bytes(file.path.c_str(), file.bytes.data(), file.bytes.size());
        if (reason == 0) {
            real_purr("Wrote texture %s\n", file.path.c_str());
        } else {
            real_meow("Can't write texture %s%s\n", file.path.c_str(),
                      colon_reason(reason).c_str());
            failed++;
        }
    }
    return failed;
}
