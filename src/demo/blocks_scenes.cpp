// The two robot scenes, the shaft, the credits and the end of the demo.
#include "demo/blocks.h"

#include "audio/audio.h"
#include "core/gl.h"
#include "demo/content.h"
#include "gfx/screen_pass.h"
#include "gfx/texture_state.h"
#include "scene/animation.h"
#include "scene/bbox.h"
#include "scene/camera.h"
#include "scene/frustum.h"
#include "scene/scene.h"
#include "scene/scene_draw.h"
#include "script/shader.h"
#include "shell/input.h"
#include "shell/window.h"
#include "text/font.h"

namespace {

constexpr Color white{255, 255, 255, 255};

// Where the reflection cube map is captured from.
constexpr float capture_eye[3] = {12.0f, 0.0f, 2.0f};

// Shrinks the camera object's scale by the three lowest bands while the
// scene is drawn; the view picks it up at the next camera_apply. It lives
// within one draw and reloads come between frames, so the object it holds
// cannot be freed under it.
class CameraShake {
public:
    explicit CameraShake(SceneObject* object) : object_(object) {
        if (!object_) return;
        saved_ = object_->scale;
        vec3_sub(&object_->scale, 0.05f * music_spectrum[0], 0.05f * music_spectrum[1], 0.05f * music_spectrum[2]);
    }
    void restore() {
        if (object_) object_->scale = saved_;
        object_ = nullptr;
    }
    ~CameraShake() { restore(); }
    CameraShake(const CameraShake&) = delete;
    CameraShake& operator=(const CameraShake&) = delete;

private:
    SceneObject* object_;
    Vec3 saved_{};
};

// Captures the cube map in the block's second frame only: the countdown
// starts at 0.9 and reaches exactly 1.0 after one step of 0.1.
void capture_once(heavy_demoblock* block) {
    if (block->capture_countdown != 1.0f) return;
    CubeCapture capture{};
    capture.target = block->content->cube_target;
    capture.draw = [block] { block->draw_environment(); };
    capture.orientation = block->capture_orientation;
    capture.x = capture_eye[0];
    capture.y = capture_eye[1];
    capture.z = capture_eye[2];
    cube_capture_pass(capture);
}

void count_down(heavy_demoblock* block) {
    block->capture_countdown = static_cast<float>(block->capture_countdown + 0.1);
}

void set_camera_pos(const SceneObject* object) {
    if (!object) return;
    skin_camera_pos[0] = object->location.x;
    skin_camera_pos[1] = object->location.y;
    skin_camera_pos[2] = object->location.z;
}

// The warehouse through the given camera, then one robot; shared by the two
// robot blocks.
void draw_warehouse(heavy_demoblock* block, Scene* camera_scene, const char* camera_name, Scene* robot) {
    Content* content = block->content;
    Camera* camera = demo_find_camera(camera_scene, camera_name);
    if (!camera) return;
    camera_apply(camera);
    SceneObject* holder = demo_find_object(camera_scene, camera_name);
    CameraShake shake(holder);
    set_camera_pos(holder);
    glGetFloatv(GL_MODELVIEW_MATRIX, block->capture_orientation.m);
    shader_bind(&content->radiosity_program);
    content_light_mapped_program(content, true);
    demo_scene_draw(&content->armazem_scene);
    content_light_mapped_program(content, false);
    shader_unbind(&content->radiosity_program);
    demo_scene_draw(robot);
    // A glow copy drawn in place of the scene that holds the camera leaves the
    // camera's matrix as the last frame had it; the picture that follows must
    // see this frame's, shake included, and so must the capture.
    if (camera_scene != robot && camera_scene != &content->armazem_scene) scene_update_matrices(camera_scene);
    shake.restore();
}

// The robot to draw: its coarse copy in the glow pass, where the content has one.
Scene* robot_for_pass(Scene* full, Scene* glow_copy, bool in_glow_pass) {
    return in_glow_pass && scene_find_object(glow_copy, "Body") ? glow_copy : full;
}

// Whether any of the box, widened a little against rounding in the planes,
// reaches into the view volume.
bool box_in_view(const Vec4 planes[6], const BoundingBox& box) {
    const float pad = 0.01f * (1.0f + (box.max.x - box.min.x) + (box.max.y - box.min.y) + (box.max.z - box.min.z));
    return box_in_frustum(planes, box.min.x - pad, box.min.y - pad, box.min.z - pad, box.max.x + pad, box.max.y + pad,
                          box.max.z + pad);
}

// Glow frame of the three plain glowing blocks: glow, the picture, glow on top.
void run_glow_frame(demoblock* block, float strength) {
    demo_glow_pass(block, strength);
    viewport_percent(0, 0, 100, 100);
    block->draw_scene();
    demo_glow_composite(block);
}

} // namespace

robot_wheee_block::robot_wheee_block() { capture_countdown = 0.9f; }

void robot_wheee_block::run() {
    const float boost = robot_wheee_boost(progress);
    capture_once(this);
    demo_glow_pass(this, glow_strength(5, music_spectrum[0]) + boost);
    viewport_percent(0, 0, 100, 100);
    draw_scene();
    // The glow copy dances the same frame as the robot.
    const float dance_frame = progress * 650.0f + 2.0f;
    scene_animate(&content->robot_wheee_scene, dance_frame);
    scene_animate(&content->robot_wheee_glow_scene, dance_frame);
    scene_animate(&content->armazem_scene, progress * 525.0f + 2.0f);
    view_ortho(800, 600);
    demo_glow_composite(this);
    count_down(this);
}

void robot_wheee_block::draw_scene() {
    demo_perspective();
    draw_warehouse(this, &content->armazem_scene, "CAMXDD",
                   robot_for_pass(&content->robot_wheee_scene, &content->robot_wheee_glow_scene, in_glow_pass));
}

void robot_wheee_block::draw_environment() { demo_scene_draw(&content->armazem_scene); }

robot_afropowa_block::robot_afropowa_block() { capture_countdown = 0.9f; }

void robot_afropowa_block::run() {
    capture_once(this);
    demo_glow_pass(this, glow_strength(6, music_spectrum[0]));
    viewport_percent(0, 0, 100, 100);
    draw_scene();
    const float dance_frame = progress * 240.0f + 2.0f;
    scene_animate(&content->robot_afropowa_scene, dance_frame);
    scene_animate(&content->robot_afropowa_glow_scene, dance_frame);
    view_ortho(800, 600);
    demo_glow_composite(this);
    count_down(this);
}

void robot_afropowa_block::draw_scene() {
    Scene* robot = robot_for_pass(&content->robot_afropowa_scene, &content->robot_afropowa_glow_scene, in_glow_pass);
    demo_perspective();
    glPushMatrix();
    draw_warehouse(this, &content->robot_afropowa_scene, "Camera", robot);
    glPopMatrix();
}

void robot_afropowa_block::draw_environment() { demo_scene_draw(&content->armazem_scene); }

void shaft_block::run() {
    static const char* const pieces[5] = {"C1", "C2", "C3", "C4", "C5"};
    for (int k = 0; k < 5; ++k) {
        SceneObject* piece = demo_find_object(&content->level_elements_scene, pieces[k]);
        if (piece) piece->scale.z = music_spectrum[k] * 2.0f;
    }
    run_glow_frame(this, glow_strength(7, music_spectrum[0]));
}

void shaft_block::draw_scene() {
    Scene* scene = &content->level_elements_scene;
    demo_perspective();
    CameraShake shake(demo_find_object(scene, "Camera"));
    if (Camera* camera = demo_find_camera(scene, "Camera")) {
        camera_apply(camera);
        // One storey repeated eight times as a vertical shaft; nothing between
        // the copies touches texture state, so they share one span. Storeys
        // wholly outside the view, those behind the camera, would only be set
        // up and clipped away. The pieces' height follows the music, so the
        // storey's box is taken afresh each frame.
        Vec4 planes[6];
        frustum_update(planes);
        BoundingBox storey;
        const bool bounded = bbox_of_scene(scene, &storey);
        texture_state_begin();
        for (int y = -40; y < 40; y += 10) {
            scene->position = Vec3{0.0f, static_cast<float>(y), 0.0f};
            if (bounded && !box_in_view(planes, bbox_transform(storey, scene_root_at(scene, scene->position))))
                continue;
            demo_scene_draw(scene);
        }
        texture_state_end();
    }
    view_ortho(800, 600);
    shake.restore();
}

void credits_block::run() { run_glow_frame(this, glow_strength(8, music_spectrum[0])); }

void credits_block::draw_scene() {
    view_ortho(800, 600);
    font_set_style(VL_FONT_LARGE | VL_FONT_CENTER | VL_FONT_MIDDLE);
    font_print(400.0f, 200.0f, white, "%s", "ZIVORADOVU AT QUILLON '07");
    font_set_style(VL_FONT_MEDIUM | VL_FONT_CENTER | VL_FONT_MIDDLE);
    font_print(400.0f, 250.0f, white, "%s", "PROGRAMMING & GRAPHICS & ANIMATION\n\nTHE VANTOR DEVELOPERS\n");
    font_print(400.0f, 300.0f, white, "%s", "ASTONISHING MUSIC\n\nTHE VANTOR SYNTH");
    font_print(400.0f, 350.0f, white, "%s", "ORIGINAL IDEAS AND EXTRA MODELING\n\nTHE VANTOR CREW");
    font_print(400.0f, 400.0f, white, "%s", "MORAL SUPPORT\n\nEVERYONE AT QUILLON");
    font_print(400.0f, 500.0f, white, "%s", "^_^");
}

void end_block::run() { post_quit_message(0); }
