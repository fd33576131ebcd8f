// SPDX-License-Identifier: MIT
// The attachment points a converted model gets by its bone count: grippers on the character
// classes, grips on weapons.
#pragma once

#include <cstdint>

struct tkm_mesh;
struct gripper;

// A placement: columns 0..2 (the axes) and column 3 (the position) of a gripper's local matrix.
using gripper_placement = float[4][3];

// Sets num_grips/grips and num_grippers/grippers from num_bones (and, for the 2-bone weapons,
// bone 0's local). 0 on success (also for counts that get nothing), 1 when one could not be made.
int make_default_grippers(tkm_mesh *mesh);

// Fills one record: identity local (or the placement's columns), the name stored with length 6
// (its five letters and a zero), the bone; prints the gripper line on standard output. Returns 0,
// or 1 when the name cannot be stored.
int make_gripper(gripper *out, const char *name, uint16_t bone, const gripper_placement *placement);

// Row k (0..2) of the officer (52), male (37) and female (34) tables; 1 for k >= 3.
int make_officer_gripper(gripper *out, uint32_t k);
int make_male_gripper(gripper *out, uint32_t k);
int make_female_gripper(gripper *out, uint32_t k);
// Weapon grip k (0: "Grip1", 1: "Grip3") on bone 0 with an identity placement; 1 for k >= 2.
int make_weapon_grip(gripper *out, uint32_t k);
