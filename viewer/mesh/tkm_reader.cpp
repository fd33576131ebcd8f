// Reading TKM files (being filled in).
#include "viewer/mesh/tkm_reader.h"

int read_tkm(tkm_mesh *, const char *) {
    return 1;
}
int read_bones(FILE *, uint16_t, tkm_bone *) {
    return 6;
}
int read_gripper_list(FILE *, uint16_t *count_out, gripper **array_out) {
    *count_out = 0;
    *array_out = nullptr;
    return 1;
}
void set_texture_base(texture_name *) {}
void derive_material_values(tkm_material *) {}
void derive_bone_matrices(tkm_bone *, uint16_t) {}
