// Off-screen pbuffer surfaces with their own GL context, sharing texture
// objects with the window's context, whose colour buffer can be bound as a
// texture. On Linux this is an EGL pbuffer with eglBindTexImage, which only
// covers 2D textures; where the window's context does not come through EGL
// (GLX under an X server) there is no pbuffer at all.
//
// Handles are small non-zero integers (0 is "none"), so they fit the
// texture record's 32-bit handle fields.
#pragma once

enum PlatformPbufferTarget {
    PLATFORM_PBUFFER_2D = 0,
    PLATFORM_PBUFFER_RECTANGLE = 1,
    PLATFORM_PBUFFER_CUBE_MAP = 2,
};

// True when pbuffers of this texture target can be made and bound as
// textures with the context that is current now.
bool platform_pbuffer_available(PlatformPbufferTarget target);

// True when an RGBA8 surface with a 16-bit depth buffer that can be bound
// as an RGBA texture exists.
bool platform_pbuffer_choose_format();

// A pbuffer of width x height with its own context sharing textures with
// the current (window) context, whose picture shows in `texture` (a 2D
// texture name of the window's context). 0 when it cannot be made. Where
// the driver cannot bind a pbuffer as a texture, the picture is copied into
// `texture` when drawing returns to the window.
unsigned platform_pbuffer_create(int width, int height, PlatformPbufferTarget target, unsigned texture);

// The surface's real size; false for an unknown handle.
bool platform_pbuffer_query_size(unsigned handle, int* width, int* height);

// True when the surface's contents were lost (never on EGL).
bool platform_pbuffer_lost(unsigned handle);

// Directs drawing into the pbuffer (its context becomes current). The
// context that was current before is remembered for the restore below.
bool platform_pbuffer_make_current(unsigned handle);

// Makes the window's context current again.
void platform_pbuffer_restore();

// Binds the pbuffer's colour buffer as the image of the texture currently
// bound on GL_TEXTURE_2D of the active unit, and releases it again. Called
// by texture_bind / texture_unbind and texture_draw for kind-2 records.
void platform_pbuffer_bind_tex_image(unsigned handle);
void platform_pbuffer_release_tex_image(unsigned handle);

// Destroys the surface and its context (the window's context stays current).
void platform_pbuffer_destroy(unsigned handle);
