// The nine blocks on real GL with a controlled time and spectrum.
#include "audio/audio.h"
#include "core/gl.h"
#include "core/log.h"
#include "demo/blocks.h"
#include "demo/content.h"
#include "gfx/render_target.h"
#include "scene/object.h"
#include "scene/scene.h"
#include "script/shader.h"
#include "shell/input.h"
#include "shell/window.h"
#include "support/gl_context.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

void set_spectrum(float s0, float s1 = 0, float s2 = 0, float s3 = 0, float s4 = 0) {
    std::fill(std::begin(music_spectrum), std::end(music_spectrum), 0.0f);
    music_spectrum[0] = s0;
    music_spectrum[1] = s1;
    music_spectrum[2] = s2;
    music_spectrum[3] = s3;
    music_spectrum[4] = s4;
}

// Places a block in its frame as the timeline would.
void set_frame(demoblock* block, int start, int end, float progress) {
    demoblock_set_span(block, start, end);
    block->progress = progress;
    block->time = start + static_cast<int>(progress * static_cast<float>(end - start));
}

SceneObject* add_object(Scene* scene, const char* name, uint32_t flags = 0) {
    auto* object = new SceneObject;
    object->name = name;
    object->scale = Vec3{1, 1, 1};
    object->flags = flags;
    list_push_back(&scene->objects, object);
    ++scene->object_count;
    return object;
}

// A camera held by an object of the same name, as the scene files have them.
SceneObject* add_camera(Scene* scene, const char* name, Vec3 location) {
    SceneObject* holder = add_object(scene, name, OBJECT_CAMERA);
    holder->location = location;
    object_compute_matrix(holder);
    auto* camera = new Camera;
    camera->name = name;
    camera->matrix = &holder->matrix;
    holder->data = camera;
    list_push_back(&scene->cameras, camera);
    ++scene->camera_count;
    return holder;
}

// A small real blur program with the two uniforms the glow pass sets.
void load_blur_program(Content* content) {
    static const char script[] =
        "shader_program(1, \"void main() { gl_TexCoord[0] = gl_MultiTexCoord0; gl_Position = ftransform(); }\")\n"
        "shader_program(2, \"uniform sampler2D tex_blur; uniform vec3 offset;\n"
        "void main() { gl_FragColor = texture2D(tex_blur, gl_TexCoord[0].xy + offset.xy * offset.z / 256.0); }\")\n"
        "shader_settings(4)\nshader_link()\nshader_assign_tex(\"tex_blur\", 0)\n";
    FILE* file = fmemopen(const_cast<char*>(script), sizeof script - 1, "r");
    ASSERT_NE(file, nullptr);
    shader_load_stream(&content->blur_program, file, "test_blur.vsl");
    content->blur_texture_location = glGetUniformLocationARB(content->blur_program.program, "tex_blur");
    content->blur_offset_location = glGetUniformLocationARB(content->blur_program.program, "offset");
    ASSERT_GE(content->blur_offset_location, 0);
}

// Content with real render targets and scenes that carry only the names the
// blocks look up (no meshes): the passes and the block logic run for real.
class BlocksTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        test_gl_context();
        content = new Content;
        content_init(content);
        content->glow_target = render_target_create(GL_TEXTURE_2D, 256, 256, 4, RENDER_TARGET_FBO);
        content->glow_target_2 = render_target_create(GL_TEXTURE_2D, 256, 256, 4, RENDER_TARGET_FBO);
        render_target_create(&content->cube_target, GL_TEXTURE_CUBE_MAP, 128, 128, 4, RENDER_TARGET_FBO);
        load_blur_program(content);
        add_camera(&content->armazem_scene, "CAMXDD", Vec3{0, 1, 8});
        add_camera(&content->robot_afropowa_scene, "Camera", Vec3{2, 1, 6});
        add_camera(&content->level_elements_scene, "Camera", Vec3{0, 0, 30});
        add_camera(&content->circuits_scene, "Camera", Vec3{0, 4, 10});
        auto* circuits_material = new Material;
        circuits_material->name = "Material";
        list_push_back(&content->circuits_scene.materials, circuits_material);
        ++content->circuits_scene.material_count;
        for (const char* name : {"C1", "C2", "C3", "C4", "C5"}) add_object(&content->level_elements_scene, name);
        // Glow copies, as the real content has them: the glow pass draws these.
        add_object(&content->robot_wheee_glow_scene, "Body");
        add_object(&content->robot_afropowa_glow_scene, "Body");
    }
    void SetUp() override {
        test_gl_context();
        while (glGetError() != GL_NO_ERROR) {}
        view_ortho(800, 600);
        set_spectrum(0);
    }
    static Content* content;
};
Content* BlocksTest::content = nullptr;

TEST(TitleArithmetic, FlashAndLogoAlphas) {
    EXPECT_EQ(title_flash_alpha(0.5f, 0.0f), 38);
    EXPECT_EQ(core_title_logo_alpha(0.5f, 0.0f), 230);
    EXPECT_EQ(blender_title_logo_alpha(0.5f, 0.0f), 163);
    // Loud bass pushes the flash past 255; the byte wraps.
    EXPECT_EQ(title_flash_alpha(0.5f, 1.0f), 193);
    // Nothing at the start of the span.
    EXPECT_EQ(title_flash_alpha(0.0f, 0.0f), 0);
    EXPECT_EQ(core_title_logo_alpha(0.0f, 0.0f), 0);
    EXPECT_EQ(blender_title_logo_alpha(0.0f, 0.7f), 0);
    // Absurd spectrum values stay defined.
    EXPECT_GE(title_flash_alpha(0.5f, 1e30f), 0);
    EXPECT_LE(title_flash_alpha(0.5f, 1e30f), 255);
}

TEST(TitleArithmetic, LoadingBarAndBoost) {
    EXPECT_EQ(loading_bar_width(0), 0);
    EXPECT_EQ(loading_bar_width(50), 300);
    EXPECT_EQ(loading_bar_width(99), 594);
    EXPECT_FLOAT_EQ(robot_wheee_boost(0.9f), 1.5f);
    EXPECT_EQ(robot_wheee_boost(0.8f), 0.0f);
    EXPECT_EQ(robot_wheee_boost(450.0f / 525.0f), 0.0f);
    EXPECT_NEAR(robot_wheee_boost(0.99999f), 5.0f, 1e-3f);
}

TEST_F(BlocksTest, LoadingBarFillsWithTime) {
    loading_block block;
    block.content = content;
    set_frame(&block, 0, 100, 0.5f);
    block.run();
    const int row = 325;
    EXPECT_EQ(test_read_pixel(110, row).r, 255);
    EXPECT_EQ(test_read_pixel(398, row).r, 255);
    EXPECT_EQ(test_read_pixel(402, row).r, 0);
    EXPECT_EQ(test_read_pixel(650, row).r, 0);

    test_gl_context();
    view_ortho(800, 600);
    set_frame(&block, 0, 100, 0.0f);
    block.run();
    EXPECT_EQ(test_read_pixel(110, row).r, 0);
    EXPECT_EQ(test_read_pixel(100, row).r, 255); // the outline is there from the start
}

TEST_F(BlocksTest, CircuitsLeaveTheFrontCopysPlaceAndAlpha) {
    circuits_block block;
    block.content = content;
    Scene* scene = &content->circuits_scene;
    Material* material = scene_find_material(scene, "Material");
    material->flags = MATERIAL_TWO_PASS;
    set_frame(&block, 24000, 36000, 0.5f);
    block.run();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(scene->position.x, 0.0f);
    EXPECT_EQ(scene->position.y, 0.0f);
    EXPECT_EQ(scene->position.z, 0.0f);
    EXPECT_EQ(material->colour[3], 1.0f);
    EXPECT_EQ(material->flags, static_cast<uint32_t>(MATERIAL_TWO_PASS));
}

class CountingBlock5 : public robot_wheee_block {
public:
    void draw_environment() override {
        ++environment_draws;
        robot_wheee_block::draw_environment();
    }
    int environment_draws = 0;
};

class CountingBlock6 : public robot_afropowa_block {
public:
    void draw_environment() override {
        ++environment_draws;
        robot_afropowa_block::draw_environment();
    }
    int environment_draws = 0;
};

template <typename Block> void expect_capture_in_second_frame_only(Content* content, int start, int end) {
    Block block;
    block.content = content;
    EXPECT_EQ(block.capture_countdown, 0.9f);
    int seen[5];
    for (int frame = 0; frame < 5; ++frame) {
        set_frame(&block, start, end, 0.01f * frame);
        block.run();
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << "frame " << frame;
        seen[frame] = block.environment_draws;
    }
    EXPECT_EQ(seen[0], 0);
    EXPECT_EQ(seen[1], 6);
    EXPECT_EQ(seen[4], 6);
    // The first frame stored the camera's view for the capture.
    Matrix identity = matrix_identity();
    EXPECT_FALSE(std::equal(std::begin(identity.m), std::end(identity.m), std::begin(block.capture_orientation.m)));
}

TEST_F(BlocksTest, Block5CapturesTheCubeMapInItsSecondFrame) {
    expect_capture_in_second_frame_only<CountingBlock5>(content, 36000, 60000);
}

TEST_F(BlocksTest, Block6CapturesTheCubeMapInItsSecondFrame) {
    expect_capture_in_second_frame_only<CountingBlock6>(content, 60000, 71800);
}

TEST_F(BlocksTest, RobotBlocksShakeTheCameraOnlyWhileDrawing) {
    robot_wheee_block block;
    block.content = content;
    SceneObject* holder = scene_find_object(&content->armazem_scene, "CAMXDD");
    const Vec3 before = holder->scale;
    set_spectrum(0.4f, 0.2f, 0.1f);
    set_frame(&block, 36000, 60000, 0.5f);
    block.run();
    EXPECT_EQ(holder->scale.x, before.x);
    EXPECT_EQ(holder->scale.y, before.y);
    EXPECT_EQ(holder->scale.z, before.z);
    EXPECT_EQ(skin_camera_pos[0], holder->location.x);
    EXPECT_EQ(skin_camera_pos[1], holder->location.y);
    EXPECT_EQ(skin_camera_pos[2], holder->location.z);
    EXPECT_EQ(skin_camera_pos[3], 0.0f);
}

// The picture, and the view stored for the capture, see the camera where
// this frame's animation put it, with this frame's shake, although the glow
// pass before them drew a copy of the robot rather than the camera's scene.
template <typename Block>
void expect_view_of_this_frame(Content* content, Scene* camera_scene, const char* camera, int start, int end) {
    Block block;
    block.content = content;
    SceneObject* holder = scene_find_object(camera_scene, camera);
    const Vec3 location = holder->location;
    set_spectrum(0.4f, 0.2f, 0.1f);
    const float sx = 1.0f - 0.05f * 0.4f, sy = 1.0f - 0.05f * 0.2f, sz = 1.0f - 0.05f * 0.1f;
    for (int frame = 0; frame < 3; ++frame) {
        // What the last frame's animation step left for this one.
        holder->location.x = location.x + 1.5f * static_cast<float>(frame);
        set_frame(&block, start, end, 0.1f * static_cast<float>(frame));
        block.run();
        const Matrix& view = block.capture_orientation;
        EXPECT_FLOAT_EQ(view.m[0], 1.0f / sx) << "frame " << frame;
        EXPECT_FLOAT_EQ(view.m[5], 1.0f / sy) << "frame " << frame;
        EXPECT_FLOAT_EQ(view.m[10], 1.0f / sz) << "frame " << frame;
        EXPECT_FLOAT_EQ(view.m[12], -holder->location.x / sx) << "frame " << frame;
        EXPECT_FLOAT_EQ(view.m[14], -holder->location.z / sz) << "frame " << frame;
    }
    holder->location = location;
}

TEST_F(BlocksTest, RobotBlocksShowThisFramesCameraAndShake) {
    expect_view_of_this_frame<robot_wheee_block>(content, &content->armazem_scene, "CAMXDD", 36000, 60000);
    expect_view_of_this_frame<robot_afropowa_block>(content, &content->robot_afropowa_scene, "Camera", 60000, 71800);
}

TEST_F(BlocksTest, Block7StretchesThePiecesAndDrawsTheShaftTwice) {
    shaft_block block;
    block.content = content;
    Scene* level = &content->level_elements_scene;
    SceneObject* camera = scene_find_object(level, "Camera");
    const Vec3 camera_scale = camera->scale;
    set_spectrum(0.1f, 0.2f, 0.3f, 0.4f, 0.5f);
    set_frame(&block, 71800, 84000, 0.25f);
    const long draws = demo_scene_draw_count;
    block.run();
    EXPECT_EQ(demo_scene_draw_count - draws, 16);
    const char* names[5] = {"C1", "C2", "C3", "C4", "C5"};
    for (int k = 0; k < 5; ++k) EXPECT_FLOAT_EQ(scene_find_object(level, names[k])->scale.z, 2.0f * music_spectrum[k]);
    EXPECT_EQ(level->position.y, 30.0f);
    EXPECT_EQ(camera->scale.x, camera_scale.x);
    EXPECT_EQ(camera->scale.z, camera_scale.z);

    set_spectrum(0);
    block.run();
    for (int k = 0; k < 5; ++k) EXPECT_EQ(scene_find_object(level, names[k])->scale.z, 0.0f);
}

TEST_F(BlocksTest, Block9PostsOneQuitMessagePerFrame) {
    end_block block;
    block.content = content;
    // Drain whatever the window posted at start.
    for (int i = 0; i < 100 && message_pump(); ++i) {}
    set_frame(&block, 100000, 200000, 0.0f);
    block.run();
    int quits = 0;
    for (int i = 0; i < 20; ++i)
        if (!message_pump()) ++quits;
    EXPECT_EQ(quits, 1);
    EXPECT_EQ(message_exit_code(), 0);
}

TEST_F(BlocksTest, MissingNamesAreLoggedOnceAndSkipped) {
    Content empty;
    content_init(&empty);
    empty.glow_target = content->glow_target;
    empty.glow_target_2 = content->glow_target_2;
    empty.cube_target = content->cube_target;
    empty.blur_program = content->blur_program;
    empty.blur_texture_location = content->blur_texture_location;
    empty.blur_offset_location = content->blur_offset_location;
    std::remove("report.htm");
    log_reset_for_tests();
    const int before = demo_missing_name_count();
    const long draws = demo_scene_draw_count;

    loading_block b1;
    core_title_block b2;
    blender_title_block b3;
    circuits_block b4;
    robot_wheee_block b5;
    robot_afropowa_block b6;
    shaft_block b7;
    credits_block b8;
    demoblock* blocks[] = {&b1, &b2, &b3, &b4, &b5, &b6, &b7, &b8};
    set_spectrum(0.3f, 0.2f, 0.1f);
    for (int frame = 0; frame < 3; ++frame)
        for (int i = 0; i < 8; ++i) {
            blocks[i]->content = &empty;
            set_frame(blocks[i], demo_block_spans[i].start, demo_block_spans[i].end, 0.1f * frame);
            test_gl_context();
            view_ortho(800, 600);
            blocks[i]->run();
            EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << "block" << i + 1;
        }
    log_close();

    // circuits: "Material", "Camera"; warehouse: "CAMXDD"; robot two: "Camera";
    // level: "C1".."C5", "Camera" (object and camera).
    EXPECT_EQ(demo_missing_name_count() - before, 11);
    // Only the two cube captures draw (the empty warehouse, six faces each).
    EXPECT_EQ(demo_scene_draw_count - draws, 12);
    const std::string report = test_read_file("report.htm");
    size_t lines = 0;
    for (size_t at = report.find("not found"); at != std::string::npos; at = report.find("not found", at + 1)) ++lines;
    EXPECT_EQ(lines, 11u);
    EXPECT_NE(report.find("Demo [camera \"CAMXDD\"] not found in the scene, its drawing is skipped !"),
              std::string::npos);
}

TEST(DemoBlocks, NineBlocksInPlayOrder) {
    Timeline timeline;
    timeline_init(&timeline);
    Content content;
    demo_blocks_create(&timeline, &content);
    ListNode* cursor = nullptr;
    int i = 0;
    while (list_next(&timeline.blocks, &cursor)) {
        auto* block = static_cast<demoblock*>(cursor->data);
        ASSERT_LT(i, 9);
        EXPECT_EQ(block->start, demo_block_spans[i].start);
        EXPECT_EQ(block->end, demo_block_spans[i].end);
        EXPECT_EQ(block->content, &content);
        if (i > 0) {
            EXPECT_EQ(block->start, demo_block_spans[i - 1].end);
        }
        ++i;
    }
    EXPECT_EQ(i, 9);
    demo_blocks_free(&timeline);
    EXPECT_EQ(timeline.blocks.header, nullptr);
}

} // namespace
