// SPDX-License-Identifier: MIT
// The load paths from a file to what the viewer and tkmtool show and write: a mesh through the
// table of model formats (read, then built for a converted format).
//
// Index: load_model_mesh
#pragma once

#include "viewer/formats/model_formats.h"

struct scene_model;
struct tkm_mesh;

// Reads the file at path into the empty mesh by its format (its content's, else its name's, as
// choose_model_format says; none known: model_code_unknown_format): a TKM straight, any other
// format into scene (empty; it keeps the model as read, merged by the build, with the images that
// are to be written beside the mesh, placed by notes->images when given) and built. Failures are
// printed ("Error loading TarvikMesh: %d" with the line that explains it, the reader's own, "Can't
// convert glTF model: %d"), a conversion as "Converted glTF model!". 0, or the code of the stage
// left in notes->stage.
int load_model_mesh(const char *path, tkm_mesh *mesh, scene_model *scene, model_read_notes *notes);
