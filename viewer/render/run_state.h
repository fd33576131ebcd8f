// SPDX-License-Identifier: MIT
// The OpenGL state one material run is drawn in: its material colours and its texture.
#pragma once

#include <GL/gl.h>

struct tkm_mesh;
struct material_run;

// Sets the four material colours (RGBA each) and the shininess on face.
void set_material(GLenum face, const float *ambient, const float *diffuse, const float *specular,
                  const float *emission, float shininess);

// Puts OpenGL into the state the mesh pass draws run in: the run's material (plain white with its
// opacity while white_materials is set) and its first texture, bound and enabled when it is loaded
// and textures are shown. False when the run is not drawn at all: no such material, a marker
// material (its material is then left alone), or a hidden texture (the material is already set).
// *textured tells whether the run's corners carry texture coordinates.
bool begin_run(const tkm_mesh &mesh, const material_run &run, bool *textured);
