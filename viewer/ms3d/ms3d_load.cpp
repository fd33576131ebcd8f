// Placeholder until the Milkshape import exists.
#include "viewer/ms3d/ms3d_load.h"

#include "support/messages.h"

int load_ms3d_mesh(const char *, tkm_mesh *)
{
    real_meow("Milkshape models cannot be converted by this build\n");
    return -1;
}
