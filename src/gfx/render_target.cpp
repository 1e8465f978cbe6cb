#include "gfx/render_target.h"

#include "core/log.h"
#include "platform/platform_pbuffer.h"
#include "shell/window.h"

#include <cstdlib>
#include <cstring>

namespace {

// Set while a target's drawing has turned the window's scissor off.
bool scissor_lifted = false;

bool is_target_type(GLenum target) {
    return target == GL_TEXTURE_2D || target == GL_TEXTURE_RECTANGLE_ARB || target == GL_TEXTURE_CUBE_MAP;
}

const char* type_name(GLenum target) {
    switch (target) {
    case GL_TEXTURE_2D: return "VL_TEXTURE_2D";
    case GL_TEXTURE_CUBE_MAP: return "VL_TEXTURE_CUBEMAP";
    case GL_TEXTURE_RECTANGLE_ARB: return "VL_TEXTURE_NPT";
    default: return "";
    }
}

PlatformPbufferTarget pbuffer_target(GLenum target) {
    if (target == GL_TEXTURE_CUBE_MAP) return PLATFORM_PBUFFER_CUBE_MAP;
    if (target == GL_TEXTURE_RECTANGLE_ARB) return PLATFORM_PBUFFER_RECTANGLE;
    return PLATFORM_PBUFFER_2D;
}

void set_name(Texture* t) {
    t->name = static_cast<char*>(std::calloc(128, 1));
    if (t->name) std::strcpy(t->name, "Buffer Texture");
}

void cube_reflection_mode() {
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_REFLECTION_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_REFLECTION_MAP);
    glTexGeni(GL_R, GL_TEXTURE_GEN_MODE, GL_REFLECTION_MAP);
}

void cube_clamp() {
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
}

// Undefined contents: GL allocates the storage itself.
void create_plain(Texture* t) {
    GLenum format = t->bytes_per_pixel == 4 ? GL_RGBA : GL_RGB;
    glGenTextures(1, &t->gl_name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glBindTexture(t->target, t->gl_name);
    if (t->target == GL_TEXTURE_CUBE_MAP) {
        for (GLenum face = 0; face < 6; ++face)
            glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0, static_cast<GLint>(format), t->width, t->height, 0,
                         format, GL_UNSIGNED_BYTE, nullptr);
    } else if (t->target == GL_TEXTURE_2D || t->target == GL_TEXTURE_RECTANGLE_ARB) {
        glTexImage2D(t->target, 0, static_cast<GLint>(format), t->width, t->height, 0, format, GL_UNSIGNED_BYTE,
                     nullptr);
    }
    texture_set_filter(t->target);
}

// False when the creation stops before naming.
bool create_framebuffer(Texture* t) {
    if (!is_target_type(t->target)) return true;
    if (!epoxy_has_gl_extension("GL_EXT_framebuffer_object")) {
        // Without the entry points begin could never bind anything.
        log_set_level(LOG_ERROR);
        log_write("Texture FrameBuffer [#1A] Not Suported  !");
        return false;
    }
    glGenFramebuffersEXT(1, &t->framebuffer);
    glGenRenderbuffersEXT(1, &t->renderbuffer);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, t->renderbuffer);
    glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT24, t->width, t->height);

    glGenTextures(1, &t->gl_name);
    glBindTexture(t->target, t->gl_name);
    if (t->target == GL_TEXTURE_CUBE_MAP) {
        for (GLenum face = 0; face < 6; ++face)
            glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0, GL_RGBA, t->width, t->height, 0, GL_RGBA,
                         GL_UNSIGNED_BYTE, nullptr);
        texture_set_filter(t->target);
        cube_clamp();
        cube_reflection_mode();
    } else {
        glTexImage2D(t->target, 0, GL_RGBA, t->width, t->height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        texture_set_filter(t->target);
    }

    // Asked with the texture and depth buffer attached, so the answer is
    // about this target and not about the window's framebuffer.
    GLenum attach = t->target == GL_TEXTURE_CUBE_MAP ? GL_TEXTURE_CUBE_MAP_POSITIVE_X : t->target;
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, t->framebuffer);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, attach, t->gl_name, 0);
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, t->renderbuffer);
    GLenum status = glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
    glBindTexture(t->target, 0);

    if (status == GL_FRAMEBUFFER_COMPLETE_EXT) {
        log_set_level(LOG_OK);
        log_write("Texture FrameBuffer [%s %dx%dx%d] FBO Created !", type_name(t->target), t->width, t->height, 4);
    } else if (status == GL_FRAMEBUFFER_UNSUPPORTED_EXT) {
        log_set_level(LOG_ERROR);
        log_write("Texture FrameBuffer [#1A] Not Suported  !");
    } else {
        // Nothing could ever be drawn into it: no texture, no name.
        glDeleteTextures(1, &t->gl_name);
        t->gl_name = 0;
        return false;
    }
    return true;
}

bool fail(const char* message) {
    log_set_level(LOG_ERROR);
    log_write("%s", message);
    return false;
}

bool create_pbuffer(Texture* t) {
    if (!is_target_type(t->target)) return true;
    PlatformPbufferTarget kind = pbuffer_target(t->target);
    if (!platform_pbuffer_available(kind)) return fail("Texture FrameBuffer [#1] PBuffer not suported !");

    glEnable(t->target);
    glGenTextures(1, &t->gl_name);
    glBindTexture(t->target, t->gl_name);
    cube_clamp();
    texture_set_filter(t->target);

    if (!platform_pbuffer_choose_format()) return fail("Texture FrameBuffer [#2] Surface format not suported !");

    unsigned handle = platform_pbuffer_create(t->width, t->height, kind, t->gl_name);
    // Surface, context and pbuffer live together in the platform's record.
    t->pbuffer = handle;
    t->framebuffer = handle;
    t->renderbuffer = handle;
    if (!handle) return fail("Texture FrameBuffer [#3] Impossible to create !");

    int width = 0;
    int height = 0;
    if (!platform_pbuffer_query_size(handle, &width, &height) || width != t->width || height != t->height)
        return fail("Texture FrameBuffer [#4] Incorrect Size !");

    bool switched = platform_pbuffer_make_current(handle);
    platform_pbuffer_restore();
    if (!switched) return fail("Texture FrameBuffer [#5] Invalid Contex Change  !");

    texture_reset_units();
    if (t->target == GL_TEXTURE_CUBE_MAP) cube_reflection_mode();
    log_set_level(LOG_OK);
    log_write("Texture FrameBuffer [%s %dx%dx%d] OFS Created !", type_name(t->target), t->width, t->height, 4);
    return true;
}

} // namespace

void render_target_create(Texture* t, GLenum target, int width, int height, int bytes_per_pixel,
                          RenderTargetKind kind) {
    t->target = target;
    t->kind = kind;
    t->width = width;
    t->height = height;
    t->bytes_per_pixel = bytes_per_pixel;

    bool named = true;
    if (kind == RENDER_TARGET_PLAIN) create_plain(t);
    else if (kind == RENDER_TARGET_FBO) named = create_framebuffer(t);
    else if (kind == RENDER_TARGET_PBUFFER) named = create_pbuffer(t);
    if (named) set_name(t);
}

Texture render_target_create(GLenum target, int width, int height, int bytes_per_pixel, RenderTargetKind kind) {
    Texture t;
    texture_init(&t);
    render_target_create(&t, target, width, height, bytes_per_pixel, kind);
    return t;
}

bool render_target_begin(Texture t, int face) {
    bool cube = t.target == GL_TEXTURE_CUBE_MAP;
    if (cube && (face < 0 || face > 5)) return false;

    if (t.kind == RENDER_TARGET_PBUFFER) {
        // Cube-map pbuffers are refused at creation on this platform, so no
        // face selection is needed here.
        if (platform_pbuffer_lost(t.pbuffer)) return false;
        if (!platform_pbuffer_make_current(t.pbuffer)) return false;
    } else if (t.kind == RENDER_TARGET_FBO) {
        // A target whose creation stopped has nothing to draw into; going on
        // would clear and draw over the window.
        if (t.framebuffer == 0 || t.gl_name == 0) return false;
        GLenum attach = cube ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + static_cast<GLenum>(face) : t.target;
        // The window's scissor means nothing here; it returns at the end.
        if (glIsEnabled(GL_SCISSOR_TEST)) {
            glDisable(GL_SCISSOR_TEST);
            scissor_lifted = true;
        }
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, t.framebuffer);
        glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, t.renderbuffer);
        glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, attach, t.gl_name, 0);
        glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, t.renderbuffer);
    } else {
        // A plain texture has no surface of its own.
        return false;
    }
    gl_clear();
    glViewport(0, 0, t.width, t.height);
    texture_reset_units();
    return true;
}

bool render_target_end(Texture t) {
    if (t.kind == RENDER_TARGET_PBUFFER) {
        platform_pbuffer_restore();
    } else if (t.kind == RENDER_TARGET_FBO) {
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
        if (scissor_lifted) glEnable(GL_SCISSOR_TEST);
        scissor_lifted = false;
    }
    return true;
}
