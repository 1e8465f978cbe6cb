#include "gfx/screen_pass.h"

#include "demo/content.h"
#include "demo/demoblock.h"
#include "gfx/render_target.h"
#include "platform/platform_pbuffer.h"
#include "script/shader.h"
#include "shell/window.h"

namespace {

const Color white = {255, 255, 255, 255};

// One blur step: draws `source` into `destination` through the blur program
// with the given offset vector.
void blur_step(const Content* content, const Texture& source, const Texture& destination, float dx, float dy,
               float strength) {
    if (render_target_begin(destination, 0)) {
        view_ortho_viewport();
        shader_bind(&content->blur_program);
        glUniform1iARB(content->blur_texture_location, 0);
        const GLfloat offset[3] = {dx, dy, strength};
        glUniform3fvARB(content->blur_offset_location, 1, offset);
        texture_draw(source, 0, 0, destination.width, destination.height, white);
        shader_unbind(&content->blur_program);
    }
}

void face_rotation(int face) {
    switch (face) {
    case 0:
        glRotatef(90, 0, 1, 0);
        glRotatef(180, 1, 0, 0);
        break;
    case 1:
        glRotatef(-90, 0, 1, 0);
        glRotatef(180, 1, 0, 0);
        break;
    case 2: glRotatef(-90, 1, 0, 0); break;
    case 3: glRotatef(90, 1, 0, 0); break;
    case 4: glRotatef(180, 1, 0, 0); break;
    case 5: glRotatef(180, 0, 0, 1); break;
    default: break;
    }
}

} // namespace

void texture_draw(Texture t, int x, int y, int w, int h, Color colour) {
    glEnable(GL_BLEND);
    glActiveTextureARB(GL_TEXTURE0_ARB);
    glEnable(t.target);
    glBindTexture(t.target, t.gl_name);
    if (t.kind == 2) platform_pbuffer_bind_tex_image(t.pbuffer);
    glColor4ub(colour.r, colour.g, colour.b, colour.a);

    float x0 = static_cast<float>(x);
    float y0 = static_cast<float>(y);
    float x1 = static_cast<float>(x + w);
    float y1 = static_cast<float>(y + h);
    if (t.target == GL_TEXTURE_2D) {
        // Render targets are stored bottom row first; repeat wrapping in t
        // turns -1..0 into the image's rows top to bottom.
        float s = t.kind == 1 || t.kind == 2 ? -1.0f : 1.0f;
        glBegin(GL_QUADS);
        glTexCoord2f(0, 0);
        glVertex2f(x0, y0);
        glTexCoord2f(1, 0);
        glVertex2f(x1, y0);
        glTexCoord2f(1, s);
        glVertex2f(x1, y1);
        glTexCoord2f(0, s);
        glVertex2f(x0, y1);
        glEnd();
    } else if (t.target == GL_TEXTURE_RECTANGLE_ARB) {
        float tw = static_cast<float>(w);
        float th = static_cast<float>(h);
        glBegin(GL_QUADS);
        glTexCoord2f(tw, 0);
        glVertex2f(x1, y1);
        glTexCoord2f(0, 0);
        glVertex2f(x0, y1);
        glTexCoord2f(0, th);
        glVertex2f(x0, y0);
        glTexCoord2f(tw, th);
        glVertex2f(x1, y0);
        glEnd();
    } else if (t.target == GL_TEXTURE_CUBE_MAP) {
        glBegin(GL_QUADS);
        glTexCoord3f(0, 0, 0);
        glVertex2f(x0, y0);
        glTexCoord3f(1, 0, 0);
        glVertex2f(x1, y0);
        glTexCoord3f(1, 1, 0);
        glVertex2f(x1, y1);
        glTexCoord3f(0, 1, 0);
        glVertex2f(x0, y1);
        glEnd();
    }

    glDisable(GL_BLEND);
    if (t.kind == 2) platform_pbuffer_release_tex_image(t.pbuffer);
    glBindTexture(t.target, 0);
    glDisable(t.target);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

bool glow_pass(demoblock* block, float strength) {
    if (!block || !block->content) return false;
    Content* content = block->content;

    if (render_target_begin(content->glow_target, 0)) block->draw_scene();
    render_target_end(content->glow_target);

    blur_step(content, content->glow_target, content->glow_target_2, 1, 0, strength);
    render_target_end(content->glow_target_2);

    blur_step(content, content->glow_target_2, content->glow_target, 0, 1, strength);
    return render_target_end(content->glow_target);
}

void glow_composite(demoblock* block) {
    if (!block || !block->content) return;
    glBlendFunc(GL_ONE, GL_ONE);
    texture_draw(block->content->glow_target, 0, 0, 800, 600, white);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

bool cube_capture_pass(CubeCapture capture) {
    bool result = true;
    capture.orientation.m[12] = 0;
    capture.orientation.m[13] = 0;
    capture.orientation.m[14] = 0;
    for (int face = 0; face < 6; ++face) {
        if (render_target_begin(capture.target, face)) {
            glViewport(0, 0, capture.target.width, capture.target.height);
            gl_clear();
            view_perspective_viewport(90, 10000, 0.1f);
            glLoadIdentity();
            face_rotation(face);
            matrix_apply(capture.orientation);
            glPushMatrix();
            glTranslatef(-capture.x, -capture.y, -capture.z);
            if (capture.block) capture.block->draw_environment();
            glPopMatrix();
        }
        result = render_target_end(capture.target);
    }
    return result;
}
