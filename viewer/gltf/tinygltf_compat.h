// SPDX-License-Identifier: MIT
// tinygltf as both Debian releases ship it (2.7 in Debian 12, 2.9 in Debian 13), told apart here
// and nowhere else. Neither header defines a version macro (the version is only in its CMake
// and pkg-config files), so each difference is asked of the declarations themselves:
//
//   | what                          | 2.7            | 2.9                                      |
//   |-------------------------------|----------------|------------------------------------------|
//   | FsCallbacks                   | 4 callbacks    | + GetFileSizeInBytes; a null one refused |
//   | SetFsCallbacks                | void           | bool (false: refused, err says why)      |
//   | sparse indices/values offset  | int            | size_t                                   |
//   | image writer callback         | 6 arguments    | + FsCallbacks*, URICallbacks*; false     |
//   |                               |                | fails the whole document                 |
//
// The writer is given no image callback at all (the images are in buffer views or named files
// already), which both versions take as "keep the image's uri".
#pragma once

#include <tiny_gltf.h>

#include <cstddef>
#include <string>
#include <type_traits>

namespace tinygltf_compat {

// The file callbacks tinygltf reads external buffers and images with; file_size is the size of a
// file in octets (false: it cannot be read), which only 2.9 asks for.
struct file_callbacks {
    tinygltf::FileExistsFunction exists;
    tinygltf::ExpandFilePathFunction expand;
    tinygltf::ReadWholeFileFunction read;
    tinygltf::WriteWholeFileFunction write;
    bool (*file_size)(size_t *size, std::string *err, const std::string &path, void *user);
    void *user;
};

// Installs the callbacks; false when tinygltf refused them (*err then says why). A template only
// so that the branch for the other version is never compiled.
template <typename loader_type, typename fs_type = tinygltf::FsCallbacks>
bool set_file_callbacks(loader_type *loader, const file_callbacks &callbacks, std::string *err) {
    fs_type fs{};
    fs.FileExists = callbacks.exists;
    fs.ExpandFilePath = callbacks.expand;
    fs.ReadWholeFile = callbacks.read;
    fs.WriteWholeFile = callbacks.write;
    fs.user_data = callbacks.user;
    if constexpr (requires { loader->SetFsCallbacks(fs, err); }) {
        fs.GetFileSizeInBytes = callbacks.file_size;
        return loader->SetFsCallbacks(fs, err);
    } else {
        (void)err;
        loader->SetFsCallbacks(fs);
        return true;
    }
}

// A sparse accessor's byteOffset as a size: 2.7 stores an int (a negative one read as 0, which
// the buffer checks then judge), 2.9 a size_t.
template <typename offset_type> size_t sparse_offset(offset_type offset) {
    if constexpr (std::is_signed_v<offset_type>)
        return offset < 0 ? 0 : static_cast<size_t>(offset);
    else
        return static_cast<size_t>(offset);
}

} // namespace tinygltf_compat
