// The loading bar, the two title screens and the circuits.
#include "demo/blocks.h"

#include "audio/audio.h"
#include "core/gl.h"
#include "demo/content.h"
#include "gfx/primitives.h"
#include "gfx/screen_pass.h"
#include "scene/animation.h"
#include "scene/bbox.h"
#include "scene/camera.h"
#include "scene/object.h"
#include "scene/occlusion.h"
#include "scene/scene.h"
#include "scene/scene_draw.h"
#include "shell/window.h"
#include "text/font.h"

#include <cmath>
#include <vector>

namespace {

constexpr Color white{255, 255, 255, 255};

// One hexagon of the honeycomb: 0, 60, ... 300 degrees and a closing vertex
// at 360, stepped in single precision exactly as the grid was designed.
struct Hexagon {
    float x[8];
    float y[8];
    int count;
};

Hexagon make_hexagon() {
    Hexagon h{};
    const float limit = 6.2831854820251465f;
    const float step = 1.0471975803375244f;
    float t = 0.0f;
    h.x[0] = 16.0f * std::cos(t);
    h.y[0] = 16.0f * std::sin(t);
    h.count = 1;
    for (t += step; t < limit && h.count < 8; t += step) {
        h.x[h.count] = 16.0f * std::cos(t);
        h.y[h.count] = 16.0f * std::sin(t);
        ++h.count;
    }
    return h;
}

// The whole grid as one triangle list: each hexagon is the fan a polygon is
// drawn as, so one draw call gives the pixels of 448 separate polygons.
std::vector<float> make_honeycomb() {
    const Hexagon hexagon = make_hexagon();
    std::vector<float> v;
    auto vertex = [&](float x, float y, int k) {
        v.push_back(x + hexagon.x[k]);
        v.push_back(y + hexagon.y[k]);
        v.push_back(0.0f);
    };
    for (int i = 0; i < 28; ++i) {
        const float h = (i % 2) ? 0.5f : 0.0f;
        for (int j = 0; j < 16; ++j) {
            const float x = 30.0f * i;
            const float y = 30.0f * (j + h);
            for (int k = 1; k + 1 < hexagon.count; ++k) {
                vertex(x, y, 0);
                vertex(x, y, k);
                vertex(x, y, k + 1);
            }
        }
    }
    return v;
}

void draw_honeycomb() {
    static const std::vector<float> grid = make_honeycomb();
    glEnable(GL_LINE_SMOOTH);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    // Alpha is 1, so blending would only read back what each cell replaces;
    // it is on again afterwards, as the rest of the title expects.
    glDisable(GL_BLEND);
    glColor3ub(1, 1, 1);
    glPushMatrix();
    glTranslatef(-10.0f, 80.0f, 0.0f);
    GLint array_buffer = 0;
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &array_buffer);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, grid.data());
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(grid.size() / 3));
    glPopClientAttrib();
    glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(array_buffer));
    glPopMatrix();
    glEnable(GL_BLEND);
    glDisable(GL_LINE_SMOOTH);
}

// GL's blend of 8-bit values: a x b / 255, rounded.
int blend_product(int a, int b) { return (a * b + 127) / 255; }

// The flash is the first thing a title draws after the clear. Over a black
// clear colour its blend has a known result, which an opaque quad of that
// colour gives without reading the frame back; over another it is blended.
void draw_flash(Color flash) {
    GLfloat clear[4] = {0, 0, 0, 0};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    if (clear[0] != 0 || clear[1] != 0 || clear[2] != 0) {
        draw_rect(0, 0, 800, 600, flash);
        return;
    }
    // The alpha terms are at most a and 255 - a, so their sum fits a byte.
    const int a = flash.a, under = static_cast<int>(std::lround(clear[3] * 255.0f));
    const Color blended{static_cast<uint8_t>(blend_product(flash.r, a)),
                        static_cast<uint8_t>(blend_product(flash.g, a)),
                        static_cast<uint8_t>(blend_product(flash.b, a)),
                        static_cast<uint8_t>(blend_product(a, a) + blend_product(under, 255 - a))};
    draw_rect_opaque(0, 0, 800, 600, blended);
}

// Flash, honeycomb, logo and vignette of both title screens.
void draw_title(float progress, const Texture& logo, int logo_alpha) {
    const float s0 = music_spectrum[0];
    const int flash = title_flash_alpha(progress, s0);
    draw_flash(Color{200, 100, 0, static_cast<uint8_t>(flash)});
    draw_honeycomb();
    texture_draw(logo, 288, 240, 512, 512, Color{255, 255, 255, static_cast<uint8_t>(logo_alpha)});
    draw_gradient_rect(0, 0, 800, 300, Color{0, 0, 0, 255}, Color{0, 0, 0, 50});
    draw_gradient_rect(0, 300, 800, 300, Color{0, 0, 0, 50}, Color{0, 0, 0, 255});
}

// The glowing frame of the title blocks: glow, 2D view, the picture, glow on top.
void run_title_frame(demoblock* block, float strength) {
    demo_glow_pass(block, strength);
    viewport_percent(0, 0, 100, 100);
    view_ortho(800, 600);
    block->draw_scene();
    demo_glow_composite(block);
}

} // namespace

void loading_block::run() {
    font_set_style(VL_FONT_LARGE | VL_FONT_CENTER | VL_FONT_MIDDLE);
    font_print(400.0f, 250.0f, white, "LOADING DATA");
    glLineWidth(2.0f);
    draw_rect_outline(100, 300, 600, 50, white);
    draw_rect(100, 300, loading_bar_width(time), 50, white);
}

void core_title_block::run() { run_title_frame(this, glow_strength(2, music_spectrum[0])); }

void core_title_block::draw_scene() {
    draw_title(progress, content->core_text_texture, core_title_logo_alpha(progress, music_spectrum[0]));
}

void blender_title_block::run() { run_title_frame(this, glow_strength(3, music_spectrum[0])); }

void blender_title_block::draw_scene() {
    draw_title(progress, content->blender_text_texture, blender_title_logo_alpha(progress, music_spectrum[0]));
}

namespace {

// The circuits' copies behind the front one lie below its board, and the
// camera looks down on them. The board's top is an opaque plate over its
// whole box, so whatever of them lies behind it at every pixel would only be
// set up and rejected by the depth test; such objects are left out. The
// front copy writes depth whatever the test, but all it draws after the
// board stands on it, nearer the camera, so no depth behind the plate is
// left where the plate is seen.
struct BoardPlate {
    bool valid = false;
    Matrix modelview{};
    Matrix projection{};
    Vec3 corners[4]{};
};

// The top of the board as the front copy draws it; call with the camera
// applied, after the front copy, whose drawing worked out the object matrices.
BoardPlate board_plate(Scene* scene, Vec3 front) {
    BoardPlate plate;
    SceneObject* board = scene_find_object(scene, "Board");
    Mesh* mesh = board ? object_mesh(board) : nullptr;
    if (!mesh) return plate;
    Matrix m = scene_root_at(scene, front);
    matrix_multiply(&m, board->matrix);
    const BoundingBox& b = mesh->box;
    const float x[4] = {b.min.x, b.max.x, b.max.x, b.min.x};
    const float y[4] = {b.min.y, b.min.y, b.max.y, b.max.y};
    for (int i = 0; i < 4; ++i) plate.corners[i] = matrix_transform_point(m, x[i], y[i], b.max.z);
    glGetFloatv(GL_MODELVIEW_MATRIX, plate.modelview.m);
    glGetFloatv(GL_PROJECTION_MATRIX, plate.projection.m);
    plate.valid = true;
    return plate;
}

// `root` is the copy's root transform.
bool hidden_by_plate(const BoardPlate& plate, const Matrix& root, const SceneObject& object) {
    const Mesh* mesh = object_mesh(&object);
    if (!plate.valid || !mesh) return false;
    Matrix m = root;
    matrix_multiply(&m, object.matrix);
    return occlusion_box_behind_quad(plate.modelview, plate.projection, bbox_transform(mesh->box, m), plate.corners);
}

} // namespace

void circuits_block::run() {
    demo_glow_pass(this, glow_strength(4, music_spectrum[0]));
    viewport_percent(0, 0, 100, 100);
    draw_scene();
    view_ortho(800, 600);
    scene_animate(&content->circuits_scene, progress * 748.0f + 2.0f);
    demo_glow_composite(this);
}

void circuits_block::draw_scene() {
    Scene* scene = &content->circuits_scene;
    Material* material = demo_find_material(scene, "Material");
    demo_perspective();
    Camera* camera = demo_find_camera(scene, "Camera");
    if (!camera) return;
    camera_apply(camera);

    // Three copies along the view axis, the farther ones fainter. The front
    // copy is opaque and hides most of the other two, so it goes first and
    // leaves its depth behind: the test then drops their hidden fragments
    // before they are shaded. The front copy passes the test everywhere, as
    // it did with none, and the two behind it write no depth and blend over
    // each other in their old order, so every pixel is what drawing them far
    // to near without a depth test gave.
    const float depths[3] = {0.0f, -2.0f, -1.0f};
    const float alphas[3] = {1.0f, 0.2f, 0.4f};
    // The front copy, at alpha 1 over nothing, needs no blending either. Nor
    // does it need the back faces a two-pass material draws first: it
    // replaces what it draws, and every part of the board is closed towards
    // the camera, so its front faces then cover each of those pixels.
    const uint32_t flags = material ? material->flags : 0;
    uint32_t front_flags = flags | MATERIAL_OPAQUE;
    if (front_flags & MATERIAL_TWO_PASS)
        front_flags = (front_flags & ~static_cast<uint32_t>(MATERIAL_TWO_PASS)) | MATERIAL_CULL_BACK;
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_ALWAYS);
    BoardPlate plate;
    for (int i = 0; i < 3; ++i) {
        const Vec3 position{0.0f, 0.0f, depths[i]};
        if (i == 1) {
            glDepthFunc(GL_LESS);
            glDepthMask(GL_FALSE);
            plate = board_plate(scene, Vec3{0.0f, 0.0f, depths[0]});
        }
        scene->position = position;
        if (material) {
            material->colour[3] = alphas[i];
            material->flags = i == 0 ? front_flags : flags;
        }
        if (i == 0) {
            demo_scene_draw(scene);
            continue;
        }
        const Matrix root = scene_root_at(scene, position);
        demo_scene_draw_filtered(scene,
                                 [&](const SceneObject& object) { return !hidden_by_plate(plate, root, object); });
    }
    glDepthMask(GL_TRUE);
    glDisable(GL_DEPTH_TEST);
    // Whatever order the copies took, the front one's place and alpha are
    // what the block leaves behind.
    scene->position = Vec3{0.0f, 0.0f, 0.0f};
    if (material) material->colour[3] = 1.0f;
}

void demo_scene_draw(Scene* scene) {
    ++demo_scene_draw_count;
    scene_draw(scene, false);
}

void demo_scene_draw_filtered(Scene* scene, const std::function<bool(const SceneObject&)>& keep) {
    ++demo_scene_draw_count;
    scene_draw_filtered(scene, false, keep);
}

void demo_perspective() {
    // The frame's aspect, not the window's: every size keeps the 800 x 600 framing.
    view_perspective(frame_aspect(), 35.0f, 10000.0f, 0.1f);
}
