// Placeholder frame: clear and swap.
#include "viewer/render/draw.h"

#include <GL/gl.h>
#include <SDL/SDL.h>

void draw_frame()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    SDL_GL_SwapBuffers();
}
