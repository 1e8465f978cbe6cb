// The one way the engine includes OpenGL: libepoxy resolves every core and
// ARB/EXT entry point, GLU supplies gluPerspective and gluBuild2DMipmaps.
#pragma once

#include <epoxy/gl.h>
#include <GL/glu.h>
