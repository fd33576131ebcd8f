// SPDX-License-Identifier: MIT
// Pairing animations with the meshes beside them. The game plays a TKA on a mesh bone by bone in
// index order, so a fit is the same count and the same name at every index.
#include "check_pairing.h"

#include <cstdlib>
#include <string>

#include "viewer/files/path_names.h"

namespace {

std::string file_name(const std::string &path) {
    size_t separator = last_folder_separator(path);
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

// Why mesh does not fit animation: "52 bones, but SWT_Officer.tkm has 34", or the first index
// whose names differ. Empty when it fits.
std::string misfit(const checked_file &animation, const checked_file &mesh) {
    const auto &want = animation.bone_names;
    const auto &have = mesh.bone_names;
    const std::string name = file_name(mesh.report.path);
    if (want.size() != have.size())
        return std::to_string(want.size()) + " bones, but " + name + " has " +
               std::to_string(have.size());
    for (size_t i = 0; i < want.size(); ++i)
        if (want[i] != have[i])
            return "bone " + std::to_string(i) + " is " + want[i] + " here, but " + have[i] +
                   " in " + name;
    return "";
}

// How far mesh is from fitting: names that differ at the same count, else the count difference
// after every same-count mesh.
size_t distance(const checked_file &animation, const checked_file &mesh) {
    const auto &want = animation.bone_names;
    const auto &have = mesh.bone_names;
    if (want.size() != have.size())
        return want.size() + 1 +
               static_cast<size_t>(std::labs(long(want.size()) - long(have.size())));
    size_t differing = 0;
    for (size_t i = 0; i < want.size(); ++i)
        differing += want[i] != have[i];
    return differing;
}

void pair_one(checked_file &animation, const std::vector<checked_file> &files) {
    const std::string folder = directory_of(animation.report.path);
    std::string fits;
    const checked_file *nearest = nullptr;
    bool any_mesh = false;
    for (const checked_file &mesh : files) {
        if (mesh.kind != checked_mesh || directory_of(mesh.report.path) != folder) continue;
        any_mesh = true;
        if (misfit(animation, mesh).empty()) {
            fits += (fits.empty() ? "" : ", ") + file_name(mesh.report.path);
        } else if (!nearest || distance(animation, mesh) < distance(animation, *nearest)) {
            nearest = &mesh;
        }
    }
    if (!fits.empty())
        add_finding(&animation.report, finding_animation_fits, "plays on " + fits);
    else if (!any_mesh)
        add_finding(&animation.report, finding_animation_fits_no_mesh,
                    "no mesh in its folder to play on; put it beside the mesh it is for");
    else
        add_finding(&animation.report, finding_animation_fits_no_mesh,
                    "fits no mesh in its folder: " + misfit(animation, *nearest) +
                        "; export it from the mesh's own skeleton");
}

} // namespace

void pair_animations(std::vector<checked_file> &files) {
    for (checked_file &file : files)
        if (file.kind == checked_animation) pair_one(file, files);
}
