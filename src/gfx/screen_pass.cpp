#include "gfx/screen_pass.h"

#include "core/gl.h"
#include "gfx/render_target.h"
#include "shell/window.h"

namespace {

const Color white = {255, 255, 255, 255};

// One blur step: draws `source` into `destination` through the blur program
// with the given offset vector.
void blur_step(const GlowSetup& glow, const Texture& source, const Texture& destination, float dx, float dy,
               float strength) {
    if (render_target_begin(destination, 0)) {
        view_ortho_viewport();
        shader_bind(glow.blur_program);
        glUniform1iARB(glow.blur_texture_location, 0);
        const GLfloat offset[3] = {dx, dy, strength};
        glUniform3fvARB(glow.blur_offset_location, 1, offset);
        texture_draw(source, 0, 0, destination.width, destination.height, white);
        shader_unbind(glow.blur_program);
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

bool glow_pass(const GlowSetup& glow, const PassDraw& draw, float strength) {
    if (!glow.blur_program) return false;

    if (render_target_begin(glow.target, 0) && draw) draw();
    render_target_end(glow.target);

    blur_step(glow, glow.target, glow.target_2, 1, 0, strength);
    render_target_end(glow.target_2);

    blur_step(glow, glow.target_2, glow.target, 0, 1, strength);
    return render_target_end(glow.target);
}

void glow_composite(const Texture& glow_target) {
    glBlendFunc(GL_ONE, GL_ONE);
    texture_draw(glow_target, 0, 0, 800, 600, white);
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
            if (capture.draw) capture.draw();
            glPopMatrix();
        }
        result = render_target_end(capture.target);
    }
    return result;
}
