// SPDX-License-Identifier: MIT
// Default grippers and grips of converted Milkshape models.
//
// Sections: tables, make_gripper and the makers, make_default_grippers.
#include "viewer/scene/default_grippers.h"

#include <cstring>
#include <iterator>

#include "support/messages.h"
#include "viewer/mesh/mesh.h"
#include "viewer/math/math3d.h"

namespace {

// ---- tables

// Gripper names are stored with length 6: the five letters and a zero, as the game's files do.
constexpr uint16_t gripper_name_length = 6;

struct gripper_row {
    const char *name;
    uint16_t bone;
    gripper_placement placement; // axes in columns 0..2, position in column 3
};

constexpr gripper_row officer_grippers[] = {
    {"Grip1",
     28,
     {{0.9860468f, 0.10014942f, 0.13296063f},
      {-0.12557091f, -0.07692832f, 0.98910695f},
      {0.10928679f, -0.991994f, -0.06315734f},
      {2.4519584f, 0.9726911f, 1.6736209f}}},
    {"Grip2",
     9,
     {{0.8577861f, 0.4590601f, 0.2312851f},
      {-0.44864634f, 0.88820636f, -0.09891555f},
      {-0.25083724f, -0.018798137f, 0.96784437f},
      {4.1803484f, 1.8175923f, -3.0075855f}}},
    {"Grip3",
     1,
     {{-0.67457247f, -0.3112841f, 0.66936886f},
      {0.73071903f, -0.15272501f, 0.6653758f},
      {-0.10489166f, 0.9379643f, 0.33048436f},
      {5.5494266f, 10.0170145f, 2.2666402f}}},
};

constexpr gripper_row male_grippers[] = {
    {"Grip1",
     22,
     {{0.98796475f, 0.13845283f, 0.06895042f},
      {-0.071651615f, 0.01712883f, 0.9972805f},
      {0.17108722f, -0.98476094f, 0.03134597f},
      {2.6980512f, 0.59360665f, 1.1875756f}}},
    {"Grip2",
     12,
     {{0.9623078f, 0.21610184f, 0.16514377f},
      {-0.20890877f, 0.97609496f, -0.059844986f},
      {-0.17412862f, 0.023210153f, 0.9844522f},
      {4.395756f, 0.8781933f, -2.9717302f}}},
    {"Grip3",
     1,
     {{0.6159632f, -0.44562003f, 0.64956987f},
      {0.52771807f, -0.3788511f, -0.76030004f},
      {0.5848953f, 0.8111068f, 0.0019029701f},
      {-23.713556f, 12.538653f, 12.36164f}}},
};

constexpr gripper_row female_grippers[] = {
    {"Grip1",
     19,
     {{-0.821533f, 0.56783813f, -0.05136363f},
      {-0.058436003f, 0.007672444f, 0.99826235f},
      {0.5666942f, 0.8222466f, 0.05268496f},
      {-49.10754f, 18.07576f, -1.6379219f}}},
    {"Grip2",
     9,
     {{0.48565727f, -0.81001735f, -0.32857725f},
      {-0.8174632f, -0.5540267f, 0.15755461f},
      {-0.30966255f, 0.1921623f, -0.93124306f},
      {-48.132977f, 17.921486f, 4.7714386f}}},
    {"Grip3",
     1,
     {{-0.6838444f, -0.24829939f, -0.6860787f},
      {0.72961104f, -0.23919368f, -0.6406668f},
      {-0.0050282166f, -0.93868726f, 0.34473366f},
      {5.451717f, 7.3423047f, 2.2608554f}}},
};

// Weapons have no "Grip2": one grip per hand, both on the weapon's root bone.
constexpr const char *weapon_grip_names[] = {"Grip1", "Grip3"};

// Turns a grip from the weapon's bone frame into the hand's: -90 degrees about y.
constexpr float weapon_grip_turn[16] = {0, 0, 1, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 0, 1};

int make_table_gripper(gripper *out, const gripper_row *rows, uint32_t k) {
    if (k >= 3) return 1;
    return make_gripper(out, rows[k].name, rows[k].bone, &rows[k].placement);
}

using gripper_maker = int (*)(gripper *, uint32_t);

struct gripper_set {
    uint16_t num_bones;
    gripper_maker maker;
};

constexpr gripper_set gripper_sets[] = {
    {52, make_officer_gripper},
    {37, make_male_gripper},
    {34, make_female_gripper},
};

int make_grippers(tkm_mesh *mesh, gripper_maker maker) {
    mesh->grippers = alloc_elements<gripper>(3);
    if (!mesh->grippers) return 1;
    mesh->num_grippers = 3;
    for (uint32_t k = 0; k < 3; k++) {
        const int result = maker(&mesh->grippers[k], k);
        if (result) {
            real_meow("Error code %d making default gripper.  This model can't be exported!\n",
                      result);
            return 1;
        }
    }
    return 0;
}

int make_weapon_grips(tkm_mesh *mesh) {
    mesh->grips = alloc_elements<gripper>(2);
    if (!mesh->grips) return 1;
    mesh->num_grips = 2;
    for (uint32_t k = 0; k < 2; k++) {
        const int result = make_weapon_grip(&mesh->grips[k], k);
        if (result) {
            real_meow("Error code %d making default grip.  This model can't be exported!\n",
                      result);
            return 1;
        }
        mat4_multiply(mesh->grips[k].local, weapon_grip_turn, mesh->bones[0].local);
    }
    return 0;
}

} // namespace

// ---- make_gripper and the makers

int make_gripper(gripper *out, const char *name, uint16_t bone,
                 const gripper_placement *placement) {
    mat4_identity(out->local);
    if (placement)
        for (int column = 0; column < 4; column++)
            std::memcpy(&out->local[4 * column], (*placement)[column], 3 * sizeof(float));
    // The name block holds the stored six bytes (letters and their zero) and the terminator.
    char stored[gripper_name_length] = {};
    std::strncpy(stored, name, gripper_name_length - 1);
    out->name = alloc_counted_string(stored, gripper_name_length);
    if (!out->name) return 1;
    out->name_length = gripper_name_length;
    out->bone = bone;
    real_purr("Making gripper '%s' with bone %u at (% 0.4f, % 0.4f, % 0.4f)\n", out->name,
              unsigned{bone}, double{out->local[12]}, double{out->local[13]},
              double{out->local[14]});
    return 0;
}

int make_officer_gripper(gripper *out, uint32_t k) {
    return make_table_gripper(out, officer_grippers, k);
}

int make_male_gripper(gripper *out, uint32_t k) {
    return make_table_gripper(out, male_grippers, k);
}

int make_female_gripper(gripper *out, uint32_t k) {
    return make_table_gripper(out, female_grippers, k);
}

int make_weapon_grip(gripper *out, uint32_t k) {
    if (k >= std::size(weapon_grip_names)) return 1;
    return make_gripper(out, weapon_grip_names[k], 0, nullptr);
}

// ---- make_default_grippers

int make_default_grippers(tkm_mesh *mesh) {
    mesh->num_grips = 0;
    mesh->grips = nullptr;
    mesh->num_grippers = 0;
    mesh->grippers = nullptr;
    for (const gripper_set &set : gripper_sets)
        if (set.num_bones == mesh->num_bones) return make_grippers(mesh, set.maker);
    if (mesh->num_bones == 40) return 0; // children carry nothing
    if (mesh->num_bones == 2) return make_weapon_grips(mesh);
    real_purr("Don't know how to make grippers for this model.  Sucks to be you.\n");
    return 0;
}
