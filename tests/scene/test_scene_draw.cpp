// Scene drawing on real OpenGL, read back as pixels: the camera view, the
// object and group order, the material model (colour, blending, two-pass,
// wireframe, texture layers and their combine modes) and frustum culling.
#include "core/gl.h"
#include "gfx/texture.h"
#include "gfx/texture_state.h"
#include "scene/bbox.h"
#include "scene/camera.h"
#include "scene/frustum.h"
#include "scene/material.h"
#include "scene/scene.h"
#include "scene/scene_draw.h"
#include "scene/scene_file.h"
#include "scene/scene_writer.h"
#include "script/shader.h"
#include "script/vertex_profile.h"
#include "support/gl_context.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// 0: position; 1: position and RGBA colour; 2: position and texture
// coordinates on units 0 and 1.
const char* kProfiles = "#define MAX_VERTEX_PROFILES 3\n"
                        "def position {\n"
                        "vertex_profile_allocate(1)\n"
                        "vertex_profile_register(0, 1, 3, 0, 0)\n"
                        "}\n"
                        "def position_colour {\n"
                        "vertex_profile_allocate(2)\n"
                        "vertex_profile_register(0, 1, 3, 0, 0)\n"
                        "vertex_profile_register(1, 3, 4, 12, 0)\n"
                        "}\n"
                        "def position_two_uv {\n"
                        "vertex_profile_allocate(3)\n"
                        "vertex_profile_register(0, 1, 3, 0, 0)\n"
                        "vertex_profile_register(1, 4, 2, 12, 0)\n"
                        "vertex_profile_register(2, 4, 2, 20, 1)\n"
                        "}\n";

struct Rgba {
    float r, g, b, a;
};

class SceneDraw : public testing::Test {
protected:
    void SetUp() override {
        test_gl_context();
        if (vertex_profile_count != 3) {
            vertex_profile_free();
            FILE* f = fmemopen(const_cast<char*>(kProfiles), std::strlen(kProfiles), "r");
            ASSERT_NE(f, nullptr);
            vertex_profile_load_stream(f, "scene_draw_profiles.vsl");
        }
        ASSERT_EQ(vertex_profile_stride(2), 28);
        engine_options = 0;
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(45.0, 800.0 / 600.0, 0.1, 100.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_DEPTH_TEST);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        texture_reset_units();
        glDisable(GL_BLEND);
        glColor4ub(255, 255, 255, 255);
        depth_before = stack_depth();
    }

    void TearDown() override {
        EXPECT_EQ(stack_depth(), depth_before) << "modelview stack unbalanced";
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        scene_free(&scene);
        engine_options = 0;
    }

    static int stack_depth() {
        GLint depth = 0;
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
        return depth;
    }

    // Through the file format, so the loaded profiles check the description.
    void build(const SceneDesc& desc) {
        std::vector<uint8_t> bytes = scene_write(desc);
        SceneDesc decoded;
        std::string error;
        ASSERT_TRUE(scene_decode(bytes.data(), bytes.size(), &decoded, &error)) << error;
        scene_build(&scene, decoded);
    }

    // The usual set-up: the camera at z = 5 looking at mesh 0, an object at the origin.
    void build_with_camera(SceneDesc d, const char* object);

    void draw_through_camera(const char* camera = "Camera") {
        camera_apply(scene_find_camera(&scene, camera));
        scene_draw(&scene, false);
    }

    Scene scene{};
    int depth_before = 0;
};

// A 2 x 2 quad in the z = 0 plane, counter-clockwise seen from +z.
SceneDescMesh quad_mesh(const char* name, int profile, Rgba colour = {1, 1, 1, 1}, float half = 1, float z = 0) {
    SceneDescMesh m;
    m.name = name;
    m.profile = profile;
    m.vertex_count = 4;
    m.box_a = {half, half, 0};
    m.box_b = {-half, -half, 0};
    const float corners[4][2] = {{-half, -half}, {half, -half}, {half, half}, {-half, half}};
    const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (int i = 0; i < 4; ++i) {
        scene_desc_push_vec3(&m.vertices, Vec3{corners[i][0], corners[i][1], z});
        if (profile == 1)
            for (float c : {colour.r, colour.g, colour.b, colour.a}) scene_desc_push_f32(&m.vertices, c);
        if (profile == 2)
            for (int unit = 0; unit < 2; ++unit) {
                scene_desc_push_f32(&m.vertices, uv[i][0]);
                scene_desc_push_f32(&m.vertices, uv[i][1]);
            }
    }
    m.groups = {{0, {0, 1, 2, 0, 2, 3}}};
    return m;
}

SceneDescMaterial material(const char* name, Rgba colour, uint32_t flags = 0) {
    SceneDescMaterial m;
    m.name = name;
    m.colour[0] = colour.r;
    m.colour[1] = colour.g;
    m.colour[2] = colour.b;
    m.colour[3] = colour.a;
    m.flags = flags;
    return m;
}

// Camera "Camera" on an object at (0, 0, 5) looking down -z.
void add_camera(SceneDesc& d) {
    d.cameras.push_back({"Camera", 0});
    SceneDescObject o;
    o.name = "CameraObject";
    o.flags = OBJECT_CAMERA;
    o.camera = static_cast<int32_t>(d.cameras.size()) - 1;
    o.location = {0, 0, 5};
    d.objects.push_back(o);
}

void SceneDraw::build_with_camera(SceneDesc d, const char* object) {
    add_camera(d);
    d.objects.push_back(scene_desc_mesh_object(object, 0));
    build(d);
}

void expect_pixel(int x, int y, int r, int g, int b, int tolerance = 3) {
    TestPixel p = test_read_pixel(x, y);
    EXPECT_NEAR(p.r, r, tolerance) << "at " << x << "," << y;
    EXPECT_NEAR(p.g, g, tolerance) << "at " << x << "," << y;
    EXPECT_NEAR(p.b, b, tolerance) << "at " << x << "," << y;
}

Texture solid_texture(uint8_t r, uint8_t g, uint8_t b) {
    Texture t;
    texture_init(&t);
    glGenTextures(1, &t.gl_name);
    glBindTexture(GL_TEXTURE_2D, t.gl_name);
    const uint8_t pixel[4] = {r, g, b, 255};
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glBindTexture(GL_TEXTURE_2D, 0);
    t.width = t.height = 1;
    t.bytes_per_pixel = 4;
    return t;
}

GLint unit_binding(int unit) {
    glActiveTextureARB(GL_TEXTURE0_ARB + static_cast<GLenum>(unit));
    GLint name = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
    return name;
}

GLint unit_env(int unit, GLenum what) {
    glActiveTextureARB(GL_TEXTURE0_ARB + static_cast<GLenum>(unit));
    GLint value = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, what, &value);
    return value;
}

} // namespace

TEST_F(SceneDraw, MeshSeenThroughCameraInBothStorages) {
    SceneDesc d;
    d.meshes = {quad_mesh("Red", 1, {1, 0, 0, 1}), quad_mesh("Green", 1, {0, 1, 0, 1}, 0.25f)};
    d.meshes[0].flags = MESH_BUFFERED;
    add_camera(d);
    d.objects.push_back(scene_desc_mesh_object("Big", 0));
    d.objects.push_back(scene_desc_mesh_object("Small", 1, {0, 0, 0.5f}));
    build(d);

    camera_apply(scene_find_camera(&scene, "Camera"));
    Matrix view;
    glGetFloatv(GL_MODELVIEW_MATRIX, view.m);
    EXPECT_FLOAT_EQ(view.m[12], 0);
    EXPECT_FLOAT_EQ(view.m[13], 0);
    EXPECT_FLOAT_EQ(view.m[14], -5);
    scene_draw(&scene, false);
    EXPECT_EQ(stack_depth(), depth_before);

    // 1 unit at distance 5 is 600 / 2 / (5 tan 22.5) = 145 pixels.
    expect_pixel(400 + 50, 300 + 50, 255, 0, 0); // buffered quad
    expect_pixel(400, 300, 0, 255, 0);           // client-memory quad on top
    expect_pixel(10, 10, 0, 0, 0);
    expect_pixel(400 + 160, 300, 0, 0, 0);
    GLboolean normalize = glIsEnabled(GL_NORMALIZE);
    EXPECT_TRUE(normalize);
}

TEST_F(SceneDraw, CameraObjectLeavesColourBlackForTheNextMesh) {
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 1);
    SceneDesc d;
    d.meshes = {quad_mesh("Plain", 0, {}, 0.5f)};
    d.objects.push_back(scene_desc_mesh_object("Left", 0, {-1.5f, 0, 0}));
    add_camera(d);
    d.objects.push_back(scene_desc_mesh_object("Right", 0, {1.5f, 0, 0}));
    build(d);
    glColor3ub(255, 255, 255);
    draw_through_camera();
    expect_pixel(400 - 217, 300, 255, 255, 255);
    expect_pixel(400 + 217, 300, 0, 0, 0);
    expect_pixel(400, 300, 0, 0, 255);
}

TEST_F(SceneDraw, GroupsDrawLastToFirstWithTheirMaterials) {
    SceneDesc d;
    d.materials = {material("Red", {1, 0, 0, 1}), material("Green", {0, 1, 0, 1})};
    d.meshes = {quad_mesh("Quad", 0)};
    d.meshes[0].flags = MESH_MATERIALS;
    d.meshes[0].groups = {{0, {0, 1, 2, 0, 2, 3}}, {1, {0, 1, 2, 0, 2, 3}}, {1, {}}};
    build_with_camera(d, "Quad");
    draw_through_camera();
    // The file's first group is drawn last and covers the second; the empty one draws nothing.
    expect_pixel(400, 300, 255, 0, 0);
    GLboolean blend = glIsEnabled(GL_BLEND);
    EXPECT_TRUE(blend); // materials leave blending on

    // Half alpha blends over what is there.
    Material* red = scene_find_material(&scene, "Red");
    red->colour[3] = 0.5f;
    glClear(GL_COLOR_BUFFER_BIT);
    draw_through_camera();
    expect_pixel(400, 300, 127, 127, 0);
}

TEST_F(SceneDraw, TwoPassDrawsBackFacesThenFrontFaces) {
    for (uint32_t storage : {0u, static_cast<uint32_t>(MESH_BUFFERED)}) {
        glClear(GL_COLOR_BUFFER_BIT);
        scene_free(&scene);
        SceneDesc d;
        d.materials = {material("TwoPass", {1, 1, 1, 1}, MATERIAL_TWO_PASS)};
        // A back-facing red quad and a front-facing green one, both half transparent.
        SceneDescMesh m = quad_mesh("Pair", 1, {1, 0, 0, 0.5f});
        SceneDescMesh green = quad_mesh("", 1, {0, 1, 0, 0.5f});
        m.vertices.insert(m.vertices.end(), green.vertices.begin(), green.vertices.end());
        m.vertex_count = 8;
        m.groups = {{0, {0, 2, 1, 0, 3, 2, 4, 5, 6, 4, 6, 7}}};
        m.flags = MESH_MATERIALS | storage;
        d.meshes = {m};
        build_with_camera(d, "Pair");
        draw_through_camera();
        // Red first (front faces culled), then green over it: each drawn once.
        expect_pixel(400, 300, 63, 127, 0);
        GLboolean cull = glIsEnabled(GL_CULL_FACE);
        EXPECT_FALSE(cull);
        GLint face = 0;
        glGetIntegerv(GL_CULL_FACE_MODE, &face);
        EXPECT_EQ(face, GL_BACK);
    }
}

TEST_F(SceneDraw, CullBackAndOpaqueChangeOnlyTheirOwnDraw) {
    SceneDesc d;
    d.materials = {material("Solid", {1, 1, 1, 1}, MATERIAL_CULL_BACK | MATERIAL_OPAQUE)};
    // The same half-transparent quad wound both ways: only the front-facing
    // copy may show, and it replaces the picture instead of blending.
    SceneDescMesh m = quad_mesh("Both", 1, {0, 1, 0, 0.5f});
    m.groups = {{0, {0, 2, 1, 0, 3, 2}}};
    m.flags = MESH_MATERIALS;
    d.meshes = {m};
    build_with_camera(d, "Both");
    draw_through_camera();
    expect_pixel(400, 300, 0, 0, 0);

    Mesh* mesh = static_cast<Mesh*>(scene.meshes.header->tail->data);
    static_cast<MeshGroup*>(mesh->groups.header->tail->data)->indices = {0, 1, 2, 0, 2, 3};
    draw_through_camera();
    expect_pixel(400, 300, 0, 255, 0);
    // The next mesh without the flags sees both sides and blends again.
    GLboolean cull = glIsEnabled(GL_CULL_FACE);
    EXPECT_FALSE(cull);
    GLboolean blend = glIsEnabled(GL_BLEND);
    EXPECT_TRUE(blend);
}

TEST_F(SceneDraw, WireframeStaysUntilTheNextMaterial) {
    SceneDesc d;
    d.materials = {material("Wire", {1, 1, 1, 1}, MATERIAL_WIREFRAME), material("Solid", {1, 1, 1, 1})};
    d.meshes = {quad_mesh("Wire", 0), quad_mesh("Solid", 0)};
    d.meshes[0].flags = d.meshes[1].flags = MESH_MATERIALS;
    d.meshes[1].groups[0].material = 1;
    build_with_camera(d, "Wire");
    draw_through_camera();
    GLint modes[2] = {0, 0};
    glGetIntegerv(GL_POLYGON_MODE, modes);
    EXPECT_EQ(modes[0], GL_LINE);
    EXPECT_EQ(modes[1], GL_LINE);
    expect_pixel(400 + 60, 300, 0, 0, 0); // inside the quad, off its edges
    TestPixel edge = test_read_pixel(400 - 145, 300);
    TestPixel edge_next = test_read_pixel(400 - 146, 300);
    EXPECT_TRUE(edge.r > 200 || edge_next.r > 200);

    SceneObject* object = scene_find_object(&scene, "Wire");
    object->data = static_cast<Mesh*>(scene.meshes.header->tail->data);
    draw_through_camera();
    glGetIntegerv(GL_POLYGON_MODE, modes);
    EXPECT_EQ(modes[0], GL_FILL);
    expect_pixel(400 + 60, 300, 255, 255, 255);
}

TEST_F(SceneDraw, LayersTakeUnitsInOrderAndCombine) {
    Texture red = solid_texture(255, 0, 0);
    Texture green = solid_texture(0, 255, 0);
    Material m;
    MaterialLayer* first = new MaterialLayer{&red, LAYER_BIND, COMBINE_MODULATE};
    MaterialLayer* second = new MaterialLayer{&green, LAYER_BIND, COMBINE_ADD};
    list_push_back(&m.layers, first);
    list_push_back(&m.layers, second);
    material_apply(&m);
    EXPECT_EQ(unit_binding(0), static_cast<GLint>(red.gl_name));
    EXPECT_EQ(unit_binding(1), static_cast<GLint>(green.gl_name));
    EXPECT_EQ(unit_env(1, GL_TEXTURE_ENV_MODE), GL_ADD);
    material_release(&m);
    EXPECT_EQ(unit_binding(0), 0);
    EXPECT_EQ(unit_binding(1), 0);

    // A layer without the bind flag still uses up unit 0.
    first->flags = 0;
    first->texture = nullptr;
    material_apply(&m);
    EXPECT_EQ(unit_binding(0), 0);
    EXPECT_EQ(unit_binding(1), static_cast<GLint>(green.gl_name));
    material_release(&m);

    // Mode 11 leaves the environment as it was; modes 2 and 9 set theirs.
    first->flags = LAYER_BIND;
    first->texture = &red;
    first->mode = 11;
    second->mode = COMBINE_MIX_BY_COLOR;
    glActiveTextureARB(GL_TEXTURE0_ARB);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_BLEND);
    material_apply(&m);
    EXPECT_EQ(unit_env(0, GL_TEXTURE_ENV_MODE), GL_BLEND);
    EXPECT_EQ(unit_env(1, GL_TEXTURE_ENV_MODE), GL_COMBINE_ARB);
    EXPECT_EQ(unit_env(1, GL_COMBINE_RGB_ARB), GL_INTERPOLATE_ARB);
    EXPECT_EQ(unit_env(1, GL_SOURCE2_RGB_ARB), GL_PRIMARY_COLOR_ARB);
    material_release(&m);
    first->mode = COMBINE_MODULATE_4X;
    material_apply(&m);
    GLfloat scale = 0;
    glActiveTextureARB(GL_TEXTURE0_ARB);
    glGetTexEnvfv(GL_TEXTURE_ENV, GL_RGB_SCALE_ARB, &scale);
    EXPECT_EQ(scale, 4.0f);
    material_release(&m);

    // Drawn: white x red on unit 0, plus green on unit 1 gives yellow.
    SceneDesc d;
    d.materials = {material("Layered", {1, 1, 1, 1})};
    d.meshes = {quad_mesh("Quad", 2)};
    d.meshes[0].flags = MESH_MATERIALS;
    build_with_camera(d, "Quad");
    Material* layered = scene_find_material(&scene, "Layered");
    // Added layers go to the front: add green first, then red.
    MaterialLayer* add_layer = material_add_layer(layered);
    *add_layer = MaterialLayer{&green, LAYER_BIND, COMBINE_ADD};
    MaterialLayer* base_layer = material_add_layer(layered);
    *base_layer = MaterialLayer{&red, LAYER_BIND, COMBINE_MODULATE};
    draw_through_camera();
    expect_pixel(400, 300, 255, 255, 0);

    for (MaterialLayer* l : {first, second}) delete l;
    list_destroy(&m.layers);
    glDeleteTextures(1, &red.gl_name);
    glDeleteTextures(1, &green.gl_name);
}

TEST_F(SceneDraw, MissingPiecesAreSkippedNotDereferenced) {
    SceneDesc d;
    d.materials = {material("Broken", {0, 0, 1, 1}, MATERIAL_SHADER)};
    d.meshes = {quad_mesh("Quad", 0)};
    d.meshes[0].flags = MESH_MATERIALS;
    d.cameras = {{"Unclaimed", 0}};
    d.objects.push_back(scene_desc_mesh_object("Quad", 0, {0, 0, -5}));
    build(d);
    Material* broken = scene_find_material(&scene, "Broken");
    material_add_layer(broken)->flags = LAYER_BIND; // bound, but no texture
    draw_through_camera("Unclaimed");               // identity view
    expect_pixel(400, 300, 0, 0, 255);
    camera_apply(nullptr);
}

// A program that paints its colour, from a script in memory.
ShaderProgram flat_program(const char* colour) {
    const std::string script = "shader_program(1, \"void main() { gl_Position = ftransform(); }\")\n"
                               "shader_program(2, \"void main() { gl_FragColor = vec4(" +
                               std::string(colour) + "); }\")\nshader_settings(4)\nshader_link()\n";
    FILE* file = fmemopen(const_cast<char*>(script.data()), script.size(), "r");
    ShaderProgram program;
    shader_init(&program);
    if (!file) return program;
    shader_load_stream(&program, file, "flat.vsl");
    std::fclose(file);
    return program;
}

// A group with a program of its own, drawn inside the bind of the scene's
// program (the warehouse's light-mapped floor in it), hands that program back
// to the groups after it.
TEST_F(SceneDraw, ProgramBoundInsideAnotherIsHandedBack) {
    SceneDesc d;
    d.materials = {material("Mapped", {1, 1, 1, 1}, MATERIAL_SHADER), material("Next", {0, 0, 1, 1})};
    d.meshes = {quad_mesh("MappedQuad", 0, {}, 0.5f), quad_mesh("NextQuad", 0, {}, 0.5f)};
    for (int i = 0; i < 2; ++i) {
        d.meshes[static_cast<size_t>(i)].flags = MESH_MATERIALS;
        d.meshes[static_cast<size_t>(i)].groups = {{i, {0, 1, 2, 0, 2, 3}}};
    }
    add_camera(d);
    d.objects.push_back(scene_desc_mesh_object("MappedObject", 0, {-1.5f, 0, 0}));
    d.objects.push_back(scene_desc_mesh_object("NextObject", 1, {1.5f, 0, 0}));
    build(d);
    ShaderProgram outer = flat_program("0.0, 1.0, 0.0, 1.0");
    ShaderProgram inner = flat_program("1.0, 0.0, 0.0, 1.0");
    ASSERT_NE(outer.program, 0u);
    ASSERT_NE(inner.program, 0u);
    scene_find_material(&scene, "Mapped")->shader = &inner;

    shader_bind(&outer);
    draw_through_camera();
    EXPECT_EQ(glGetHandleARB(GL_PROGRAM_OBJECT_ARB), outer.program);
    shader_unbind(&outer);
    EXPECT_EQ(glGetHandleARB(GL_PROGRAM_OBJECT_ARB), 0u);
    expect_pixel(400 - 217, 300, 255, 0, 0);
    expect_pixel(400 + 217, 300, 0, 255, 0); // not the fixed-function blue

    // With nothing bound around it, the group leaves fixed function behind.
    glClear(GL_COLOR_BUFFER_BIT);
    draw_through_camera();
    EXPECT_EQ(glGetHandleARB(GL_PROGRAM_OBJECT_ARB), 0u);
    expect_pixel(400 + 217, 300, 0, 0, 255);
    shader_free(&outer);
    shader_free(&inner);
}

TEST_F(SceneDraw, FrustumCullingUsesTheFileBox) {
    SceneDesc d;
    // The second object sits past the far plane with its vertices brought back
    // into view, and a box that stays far away: only culling can tell.
    d.meshes = {quad_mesh("Honest", 1, {1, 0, 0, 1}, 0.5f), quad_mesh("FarBox", 1, {0, 1, 0, 1}, 0.5f, 200)};
    d.meshes[1].box_a = {101, 101, 1};
    d.meshes[1].box_b = {100, 100, 0};
    add_camera(d);
    d.objects.push_back(scene_desc_mesh_object("Honest", 0, {-1, 0, 0}));
    d.objects.push_back(scene_desc_mesh_object("FarBox", 1, {1, 0, -200}));
    build(d);
    draw_through_camera();
    expect_pixel(400 - 145, 300, 255, 0, 0);
    expect_pixel(400 + 145, 300, 0, 255, 0);

    engine_options = ENGINE_FRUSTUM_CULLING;
    glClear(GL_COLOR_BUFFER_BIT);
    draw_through_camera();
    expect_pixel(400 - 145, 300, 255, 0, 0); // inside the planes: drawn
    expect_pixel(400 + 145, 300, 0, 0, 0);   // its box is out of view: skipped

    // The planes follow the scene root: moving the root brings the honest box out of view.
    scene.position = {0, 0, -200};
    glClear(GL_COLOR_BUFFER_BIT);
    draw_through_camera();
    expect_pixel(400, 300, 0, 0, 0);
}

TEST_F(SceneDraw, AxesBonesAndEmptyScenes) {
    SceneDesc d;
    d.armatures = {{"Armature", {{-1, {1, 0, 0}, {0, 0, 0}}}, {}}};
    add_camera(d);
    SceneDescObject axes;
    axes.name = "Axes";
    axes.flags = OBJECT_AXES;
    axes.location = {0, 0.02f, 0};
    d.objects.push_back(axes);
    SceneDescObject rig;
    rig.name = "Rig";
    rig.flags = OBJECT_ARMATURE;
    rig.armature = 0;
    d.objects.push_back(rig);
    build(d);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    draw_through_camera();
    bool red = false, green = false;
    for (int dy = -5; dy <= 5; ++dy) {
        TestPixel p = test_read_pixel(400 + 70, 300 + dy);
        red |= p.r > 200 && p.g < 60;
        TestPixel q = test_read_pixel(400 + dy, 300 - 70);
        green |= q.g > 200 && q.r < 60;
    }
    EXPECT_TRUE(red);
    EXPECT_TRUE(green);
    GLboolean lighting = glIsEnabled(GL_LIGHTING), texturing = glIsEnabled(GL_TEXTURE_2D);
    EXPECT_FALSE(lighting);
    EXPECT_FALSE(texturing);
    GLboolean depth = glIsEnabled(GL_DEPTH_TEST);
    EXPECT_TRUE(depth); // no bones drawn without the request

    scene_draw(&scene, true);
    depth = glIsEnabled(GL_DEPTH_TEST);
    EXPECT_FALSE(depth); // the bone display leaves depth testing off

    Scene empty;
    scene_init(&empty);
    scene_draw(&empty, true);
    EXPECT_EQ(stack_depth(), depth_before);
}

TEST(SceneBox, TransformAlwaysHoldsTheOrigin) {
    BoundingBox box;
    box.min = {1, 1, 1};
    box.max = {2, 2, 2};
    BoundingBox out = bbox_transform(box, matrix_identity());
    EXPECT_EQ(out.min.x, 0);
    EXPECT_EQ(out.min.z, 0);
    EXPECT_EQ(out.max.y, 2);
    Matrix moved = matrix_identity();
    matrix_translate(&moved, 10, 0, 0);
    out = bbox_transform(box, moved);
    EXPECT_EQ(out.min.x, 10);
    EXPECT_EQ(out.max.x, 12);
    BoundingBox grown;
    bbox_init(&grown);
    bbox_extend(&grown, {-3, 4, 0});
    EXPECT_EQ(grown.min.x, -3);
    EXPECT_EQ(grown.max.y, 4);
}

namespace {

// The texture state the filter keeps, as GL reports it.
std::vector<GLint> texture_state_snapshot() {
    std::vector<GLint> s;
    GLint active = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &active);
    s.push_back(active);
    for (int unit = 0; unit < 8; ++unit) {
        s.push_back(unit_binding(unit));
        s.push_back(unit_env(unit, GL_TEXTURE_ENV_MODE));
        for (GLenum cap : {GL_TEXTURE_2D, GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R})
            s.push_back(glIsEnabled(cap));
    }
    glActiveTextureARB(static_cast<GLenum>(active));
    GLint blend_src = 0;
    glGetIntegerv(GL_BLEND_SRC, &blend_src);
    s.push_back(blend_src);
    s.push_back(glIsEnabled(GL_CULL_FACE));
    return s;
}

} // namespace

// Inside a span the filter drops repeated calls; every step must still leave
// GL exactly as the plain calls do, including the unbinding that acts on
// whichever unit is active and modes a later layer overwrites.
TEST_F(SceneDraw, FilteredTextureCallsLeaveTheSameState) {
    Texture red = solid_texture(255, 0, 0);
    Texture green = solid_texture(0, 255, 0);
    Material two_layers;
    MaterialLayer* first = new MaterialLayer{&red, LAYER_BIND | LAYER_REFLECTION_MAP, COMBINE_DOT3};
    MaterialLayer* second = new MaterialLayer{&green, LAYER_BIND | LAYER_SPHERE_MAP, COMBINE_ADD};
    list_push_back(&two_layers.layers, first);
    list_push_back(&two_layers.layers, second);
    Material one_layer;
    one_layer.flags = MATERIAL_TWO_PASS;
    MaterialLayer* only = new MaterialLayer{&green, LAYER_BIND, COMBINE_MODULATE_2X};
    list_push_back(&one_layer.layers, only);

    auto steps = [&](bool filtered) {
        std::vector<std::vector<GLint>> seen;
        if (filtered) texture_state_begin();
        for (int round = 0; round < 2; ++round) {
            material_apply(&two_layers);
            seen.push_back(texture_state_snapshot());
            material_release(&two_layers);
            seen.push_back(texture_state_snapshot());
            material_apply(&one_layer);
            texture_state_enable(GL_CULL_FACE, true);
            texture_bind(red, 3);
            seen.push_back(texture_state_snapshot());
            texture_unbind(red, 3);
            material_release(&one_layer);
            seen.push_back(texture_state_snapshot());
        }
        if (filtered) texture_state_end();
        return seen;
    };
    // Both runs start from all units off.
    auto clear_units = [] {
        for (int unit = 0; unit < 8; ++unit) {
            glActiveTextureARB(GL_TEXTURE0_ARB + static_cast<GLenum>(unit));
            for (GLenum cap : {GL_TEXTURE_2D, GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R}) glDisable(cap);
        }
        texture_reset_units();
    };
    clear_units();
    std::vector<std::vector<GLint>> plain = steps(false);
    clear_units();
    std::vector<std::vector<GLint>> filtered = steps(true);
    ASSERT_EQ(plain.size(), filtered.size());
    for (size_t i = 0; i < plain.size(); ++i) EXPECT_EQ(plain[i], filtered[i]) << "step " << i;

    for (MaterialLayer* l : {first, second, only}) delete l;
    list_destroy(&two_layers.layers);
    list_destroy(&one_layer.layers);
    glDeleteTextures(1, &red.gl_name);
    glDeleteTextures(1, &green.gl_name);
}
