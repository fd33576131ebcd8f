// The Milkshape conversion driver: the four steps in order, then the class.
#include "viewer/ms3d/ms3d_convert.h"

#include <cstring>

#include "support/messages.h"
#include "viewer/mesh/mesh.h"
#include "viewer/ms3d/ms3d_model.h"

int convert_ms3d(tkm_mesh *mesh, ms3d_model *model, merge_method method) {
    static constexpr char model_name[] = "Milkshape";
    mesh->header_word = 1029;
    mesh->name = alloc_counted_string(model_name, sizeof model_name - 1);
    if (!mesh->name) return 1;
    mesh->name_length = sizeof model_name - 1;
    mesh->num_blends = 0;
    mesh->blends = nullptr;
    if (convert_bones(mesh, model)) return 1;
    if (assign_vertices(mesh, model, method)) return 2;
    if (convert_triangles(mesh, model, method)) return 3;
    if (convert_materials(mesh, model)) return 4;
    mesh->class_name = model_class_name(mesh);
    real_purr("Converted Milkshape model!\n");
    return 0;
}
