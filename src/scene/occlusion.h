// Hidden-geometry tests worked out on the CPU before anything is drawn, so
// that what the depth test would reject at every pixel is never sent.
#pragma once

#include "scene/scene.h"

// Whether a box is hidden at every pixel behind an opaque convex quad, as
// the view of modelview and projection sees it: the quad's plane parts the
// eye, on its front side, from the whole box, and the box's image within the
// viewport lies inside the image of the quad's drawn part (nearer than the
// near plane nothing is drawn), a little in from its rim. The quad's corners
// run counter-clockwise seen from its front, from where alone it hides. Box
// and quad are in the space modelview takes to the eye. Anything the test
// cannot be sure of (a box corner behind the eye, a quad seen edge-on) counts
// as visible.
bool occlusion_box_behind_quad(const Matrix& modelview, const Matrix& projection, const BoundingBox& box,
                               const Vec3 quad[4]);
