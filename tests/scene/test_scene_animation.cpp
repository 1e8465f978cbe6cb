// The scene model's lookups, layers and matrices, object tracks and
// armature poses, built directly as records (no GL, no files).
#include "scene/animation.h"
#include "scene/armature.h"
#include "scene/material.h"
#include "scene/object.h"
#include "scene/scene.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr float kPi = 3.14159265358979f;

void expect_vec3(Vec3 v, float x, float y, float z, float tolerance = 1e-5f) {
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
}

void expect_quat(Vec4 q, float x, float y, float z, float w, float tolerance = 1e-5f) {
    EXPECT_NEAR(q.x, x, tolerance);
    EXPECT_NEAR(q.y, y, tolerance);
    EXPECT_NEAR(q.z, z, tolerance);
    EXPECT_NEAR(q.w, w, tolerance);
}

// Handles on the value: the curve between two keys is then a smooth step.
TrackKey key(float time, Vec3 location, Vec3 rotation = {0, 0, 0}) {
    TrackKey k;
    k.time = time;
    for (Vec3& v : k.location) v = location;
    for (Vec3& v : k.rotation) v = rotation;
    return k;
}

SceneObject animated(std::vector<TrackKey> keys) {
    SceneObject o;
    o.flags = OBJECT_ANIMATED;
    o.track = std::make_unique<ObjectTrack>();
    o.track->keys = std::move(keys);
    o.track->key_count = static_cast<int32_t>(o.track->keys.size());
    return o;
}

Armature armature_with(std::vector<Bone> bones, std::vector<PoseFrame> frames) {
    Armature a;
    a.bones = std::move(bones);
    a.bone_count = static_cast<int32_t>(a.bones.size());
    a.skin.assign(a.bones.size(), matrix_identity());
    a.frames = std::move(frames);
    a.frame_count = static_cast<int32_t>(a.frames.size());
    return a;
}

PoseFrame frame(float time, std::vector<Vec4> rotations, std::vector<Vec3> locations) {
    PoseFrame f;
    f.time = time;
    f.count = static_cast<int32_t>(rotations.size());
    f.rotations = std::move(rotations);
    f.locations = std::move(locations);
    return f;
}

} // namespace

TEST(SceneModel, LookupsMatchWholeNamesFirstInFileOrder) {
    Scene scene;
    scene_init(&scene);
    SceneObject* first = new SceneObject{};
    first->name = "Camera";
    SceneObject* second = new SceneObject{};
    second->name = "Camera";
    SceneObject* longer = new SceneObject{};
    longer->name = "CameraTarget";
    list_push_back(&scene.objects, first);
    list_push_back(&scene.objects, second);
    list_push_back(&scene.objects, longer);
    EXPECT_EQ(scene_find_object(&scene, "Camera"), first);
    EXPECT_EQ(scene_find_object(&scene, "CameraTarget"), longer);
    EXPECT_EQ(scene_find_object(&scene, "Cam"), nullptr);
    EXPECT_EQ(scene_find_object(&scene, "camera"), nullptr);
    EXPECT_EQ(scene_find_camera(&scene, "Camera"), nullptr);
    EXPECT_EQ(scene_find_material(&scene, "x"), nullptr);
    EXPECT_EQ(scene_find_armature(&scene, "x"), nullptr);
    scene_free(&scene);
    EXPECT_EQ(scene.objects.header, nullptr);
}

TEST(SceneModel, AddedLayerTakesUnitZero) {
    Material material;
    MaterialLayer* file_a = new MaterialLayer{nullptr, LAYER_BIND, 0};
    MaterialLayer* file_b = new MaterialLayer{nullptr, LAYER_BIND, 3};
    list_push_back(&material.layers, file_a);
    list_push_back(&material.layers, file_b);
    material.layer_count = 2;
    MaterialLayer* added = material_add_layer(&material);
    EXPECT_EQ(added->texture, nullptr);
    EXPECT_EQ(added->flags, 0u);
    EXPECT_EQ(added->mode, 0);
    EXPECT_EQ(material_layer_at(&material, 0), added);
    EXPECT_EQ(material_layer_at(&material, 1), file_a);
    EXPECT_EQ(material_layer_at(&material, 2), file_b);
    EXPECT_EQ(material_layer_at(&material, 3), nullptr);
    EXPECT_EQ(material_layer_at(&material, -1), nullptr);
    EXPECT_EQ(material.layer_count, 2);
    for (MaterialLayer* l : {added, file_a, file_b}) delete l;
    list_destroy(&material.layers);
}

TEST(SceneModel, ObjectMatrixIsParentTimesOwnTransform) {
    SceneObject parent;
    parent.location = {1, 0, 0};
    parent.rotation = {0, 0, std::sin(kPi / 4), std::cos(kPi / 4)}; // 90 degrees about z
    parent.scale = {1, 1, 1};
    object_compute_matrix(&parent);
    SceneObject child;
    child.flags = OBJECT_PARENT;
    child.parent = &parent;
    child.location = {2, 0, 0};
    child.scale = {3, 3, 3};
    object_compute_matrix(&child);
    // The child's origin is 2 along the parent's x, which points along world y.
    expect_vec3(matrix_translation(child.matrix), 1, 2, 0);
    expect_vec3(matrix_transform_point(child.matrix, 1, 0, 0), 1, 5, 0);

    // An identity parent changes nothing.
    SceneObject identity_parent;
    identity_parent.scale = {1, 1, 1};
    object_compute_matrix(&identity_parent);
    SceneObject with_parent, alone;
    with_parent.flags = OBJECT_PARENT;
    with_parent.parent = &identity_parent;
    for (SceneObject* o : {&with_parent, &alone}) {
        o->location = {4, 5, 6};
        o->rotation = {0.5f, 0.5f, 0.5f, 0.5f};
        o->scale = {1, 2, 3};
        object_compute_matrix(o);
    }
    for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(with_parent.matrix.m[i], alone.matrix.m[i]);
}

TEST(SceneModel, SkinMatricesAreIdentityAtRestAndTurnAboutTheHead) {
    Bone root, child;
    root.tail = {0, 2, 0};
    child.head = {0, 2, 0};
    child.tail = {1, 0, 0};
    Armature a = armature_with({root, child}, {});
    a.bones[1].parent = &a.bones[0];
    armature_update_matrices(&a);
    for (const Matrix& skin : a.skin)
        for (int i = 0; i < 16; ++i) EXPECT_NEAR(skin.m[i], matrix_identity().m[i], 1e-6f);
    // The child's frame starts at its parent's tail.
    expect_vec3(matrix_translation(a.bones[1].matrix), 0, 2, 0);

    // A root turned 90 degrees about z keeps the origin and turns other points.
    a.bones[0].pose_rotation = {0, 0, std::sin(kPi / 4), std::cos(kPi / 4)};
    armature_update_matrices(&a);
    expect_vec3(matrix_transform_point(a.skin[0], 0, 0, 0), 0, 0, 0);
    expect_vec3(matrix_transform_point(a.skin[0], 1, 0, 0), 0, 1, 0);
    // The child follows: its head (0, 2, 0) goes to (-2, 0, 0), and its skin keeps
    // points of the child's rest frame rigidly attached.
    expect_vec3(matrix_transform_point(a.skin[1], 0, 2, 0), -2, 0, 0);
    expect_vec3(matrix_transform_point(a.skin[1], 1, 2, 0), -2, 1, 0);

    // A posed location moves points by it.
    a.bones[0].pose_rotation = {0, 0, 0, 1};
    a.bones[0].pose_location = {0, 0, 5};
    armature_update_matrices(&a);
    expect_vec3(matrix_transform_point(a.skin[0], 1, 1, 1), 1, 1, 6);
}

TEST(SceneAnimation, TrackIntervalsAndEdges) {
    SceneObject o = animated({key(2, {0, 0, 0}), key(10, {8, 0, 0}), key(20, {20, 0, 0})});
    // u = 1 at a shared key time with the cache at the first interval.
    object_track_evaluate(&o, 10);
    EXPECT_EQ(o.track->current_key, 0);
    expect_vec3(o.location, 8, 0, 0);

    // Past the end: nothing changes.
    o.location = {42, 0, 0};
    object_track_evaluate(&o, 25);
    expect_vec3(o.location, 42, 0, 0);
    // Then 15 finds the second interval.
    object_track_evaluate(&o, 15);
    EXPECT_EQ(o.track->current_key, 1);
    expect_vec3(o.location, 14, 0, 0); // smooth step at u = 0.5 is the mid-point

    // Before the start with the cache at 0: the first curve at u = -0.125.
    o.track->current_key = 0;
    object_track_evaluate(&o, 1);
    float u = -0.125f;
    float smooth = 3 * (1 - u) * u * u + u * u * u; // handles on the values
    expect_vec3(o.location, 8 * smooth, 0, 0);
}

TEST(SceneAnimation, LinearHandlesAndRotationKeys) {
    TrackKey a = key(0, {0, 0, 0});
    TrackKey b = key(10, {9, 0, 0}, {0, 0, kPi / 2});
    a.location[2] = {3, 0, 0}; // out-handle a third of the way
    b.location[0] = {6, 0, 0}; // in-handle two thirds of the way
    a.rotation[2] = {0, 0, kPi / 6};
    b.rotation[0] = {0, 0, kPi / 3};
    SceneObject o = animated({a, b});
    for (float t : {0.0f, 2.5f, 5.0f, 7.5f}) {
        object_track_evaluate(&o, t);
        expect_vec3(o.location, 0.9f * t, 0, 0, 1e-4f);
    }
    object_track_evaluate(&o, 10);
    expect_quat(o.rotation, 0, 0, std::sin(kPi / 4), std::cos(kPi / 4));

    // Tracks with fewer than two keys are skipped.
    SceneObject single = animated({key(0, {1, 1, 1})});
    single.location = {7, 7, 7};
    object_track_evaluate(&single, 0);
    expect_vec3(single.location, 7, 7, 7);
    SceneObject none = animated({});
    object_track_evaluate(&none, 3);
    // Two keys at one time give the later key rather than a 0/0.
    SceneObject same = animated({key(4, {1, 0, 0}), key(4, {2, 0, 0})});
    object_track_evaluate(&same, 4);
    expect_vec3(same.location, 2, 0, 0);
}

TEST(SceneAnimation, PoseFramesBlendAndSkinFollows) {
    const float s = std::sin(kPi / 4), c = std::cos(kPi / 4);
    Bone root;
    root.tail = {1, 0, 0};
    Scene scene;
    scene_init(&scene);
    Armature* a = new Armature(
        armature_with({root}, {frame(0, {{0, 0, 0, 1}}, {{0, 0, 0}}), frame(10, {{0, 0, 1, 0}}, {{2, 4, 6}})}));
    list_push_back(&scene.armatures, a);
    scene_animate(&scene, 5);
    // Half-way between identity and 180 degrees about z is 90 degrees.
    expect_quat(a->bones[0].pose_rotation, 0, 0, s, c);
    expect_vec3(a->bones[0].pose_location, 1, 2, 3);
    expect_vec3(matrix_transform_point(a->skin[0], 1, 0, 0), 1, 3, 3);

    // Negative dot product: from 90 degrees about z towards -(135 degrees about z)
    // goes the short way, through 112.5 degrees; close rotations blend linearly.
    const float s135 = 0.9238795f, c135 = 0.3826834f;
    Armature shorter =
        armature_with({root}, {frame(0, {{0, 0, s, c}}, {{0, 0, 0}}), frame(10, {{0, 0, -s135, -c135}}, {{0, 0, 0}})});
    armature_pose_evaluate(&shorter, 5);
    expect_quat(shorter.bones[0].pose_rotation, 0, 0, (s + s135) / 2, (c + c135) / 2, 1e-5f);

    // A single frame at time 4: its pose from 4 to 5, then left alone.
    Armature single = armature_with({root}, {frame(4, {{0, 0, 1, 0}}, {{1, 1, 1}})});
    armature_pose_evaluate(&single, 4.5f);
    expect_quat(single.bones[0].pose_rotation, 0, 0, 1, 0);
    expect_vec3(single.bones[0].pose_location, 1, 1, 1);
    single.bones[0].pose_location = {9, 9, 9};
    armature_pose_evaluate(&single, 6);
    expect_vec3(single.bones[0].pose_location, 9, 9, 9);

    // No frames, no bones: nothing happens.
    Armature empty;
    armature_pose_evaluate(&empty, 1);
    scene_free(&scene);
}
