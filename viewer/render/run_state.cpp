// SPDX-License-Identifier: MIT
// The material and texture state of one material run, shared by both ways of drawing the runs.
#include "viewer/render/run_state.h"

#include "viewer/app/app_state.h"
#include "viewer/mesh/mesh.h"
#include "viewer/render/draw.h"

namespace {

void apply_material(const tkm_material &m) {
    if (app_state.white_materials) {
        const float white[4] = {1.0f, 1.0f, 1.0f, m.opacity};
        set_material(m.gl_face, white, white, white, white, 1.0f);
    } else {
        set_material(m.gl_face, m.gl_ambient, m.gl_diffuse, m.gl_specular, m.gl_emission,
                     m.gl_shininess);
    }
}

// The texture a run is drawn with: hidden runs are not drawn at all (false); otherwise binds the
// run's loaded texture and tells whether its corners carry texture coordinates.
bool prepare_texture(const tkm_mesh &mesh, const tkm_material &m, bool &textured) {
    textured = false;
    if (m.num_texture_refs > 0 && m.texture_refs) {
        uint16_t t = m.texture_refs[0].texture;
        if (t < mesh.num_texture_names && mesh.texture_names && mesh.texture_names[t].hidden)
            return false;
        const gl_texture_table &table = mesh.gl_textures;
        if (t < table.num_textures && table.textures && table.loaded && table.loaded[t]) {
            glBindTexture(GL_TEXTURE_2D, table.textures[t]);
            glEnable(GL_TEXTURE_2D);
            textured = app_state.show_textures != 0;
            if (!app_state.show_textures) glDisable(GL_TEXTURE_2D);
            return true;
        }
    }
    glDisable(GL_TEXTURE_2D);
    return true;
}

} // namespace

void set_material(GLenum face, const float *ambient, const float *diffuse, const float *specular,
                  const float *emission, float shininess) {
    glMaterialfv(face, GL_AMBIENT, ambient);
    glMaterialfv(face, GL_DIFFUSE, diffuse);
    glMaterialfv(face, GL_SPECULAR, specular);
    glMaterialfv(face, GL_EMISSION, emission);
    glMaterialf(face, GL_SHININESS, shininess);
}

bool begin_run(const tkm_mesh &mesh, const material_run &run, bool *textured) {
    *textured = false;
    if (run.material >= mesh.num_materials || !mesh.materials) return false;
    const tkm_material &m = mesh.materials[run.material];
    if (is_marker_material(&m)) return false;
    apply_material(m);
    return prepare_texture(mesh, m, *textured);
}
