// Render targets: texture records that can be drawn into, through a
// framebuffer object with a depth renderbuffer or a platform pbuffer; the
// plain kind is a texture of the given size that cannot be drawn into.
#pragma once

#include "gfx/texture.h"

// The kinds of texture record a target can be.
using RenderTargetKind = TextureKind;
constexpr RenderTargetKind RENDER_TARGET_PLAIN = TEXTURE_PLAIN;
constexpr RenderTargetKind RENDER_TARGET_FBO = TEXTURE_FRAMEBUFFER;
constexpr RenderTargetKind RENDER_TARGET_PBUFFER = TEXTURE_PBUFFER;

// Fills t (target GL_TEXTURE_2D, GL_TEXTURE_RECTANGLE_ARB or
// GL_TEXTURE_CUBE_MAP); outcomes go to the report log. A creation that
// stops early leaves the name null.
void render_target_create(Texture* t, GLenum target, int width, int height, int bytes_per_pixel, RenderTargetKind kind);
Texture render_target_create(GLenum target, int width, int height, int bytes_per_pixel, RenderTargetKind kind);

// Directs drawing into t (for a cube map into face 0..5: +X, -X, +Y, -Y,
// +Z, -Z), clears it, sets the viewport to the whole target and resets the
// texture units. False when drawing cannot go there; the caller skips its
// drawing but still calls render_target_end.
bool render_target_begin(Texture t, int face);

// Directs drawing back to the window. Always true.
bool render_target_end(Texture t);
