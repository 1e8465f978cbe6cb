// The one way the engine includes OpenGL: libepoxy resolves every core and
// ARB/EXT entry point, GLU supplies gluPerspective and gluBuild2DMipmaps.
#pragma once

// epoxy first: it refuses to follow GL/gl.h, which GLU pulls in.
// clang-format off
#include <epoxy/gl.h>
#include <GL/glu.h>
// clang-format on
