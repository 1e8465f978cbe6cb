#include "scene/animation.h"
#include "scene/armature.h"

namespace {

// Keeps the cached interval when it still holds t, else takes the first
// interval that does; outside every interval the cache stays as it was.
template <typename TimeOf> int32_t interval_search(int32_t cached, int32_t n, float t, TimeOf time_of) {
    if (cached >= 0 && cached + 1 < n && time_of(cached) <= t && t <= time_of(cached + 1)) return cached;
    for (int32_t i = 0; i + 1 < n; ++i)
        if (time_of(i) <= t && t <= time_of(i + 1)) return i;
    return cached;
}

} // namespace

void object_track_evaluate(SceneObject* object, float time) {
    ObjectTrack* track = object->track.get();
    if (!track) return;
    const int32_t n = static_cast<int32_t>(track->keys.size());
    // A single key gives no curve; such tracks are skipped.
    if (n < 2) return;
    int32_t k = interval_search(track->current_key, n, time,
                                [&](int32_t i) { return track->keys[static_cast<size_t>(i)].time; });
    if (k < 0 || k + 1 >= n) k = 0;
    track->current_key = k;
    const TrackKey& a = track->keys[static_cast<size_t>(k)];
    const TrackKey& b = track->keys[static_cast<size_t>(k) + 1];
    float length = b.time - a.time;
    // Two keys at one time: the later key's value rather than a 0/0.
    float u = length != 0 ? static_cast<float>((time - a.time) / length) : 1.0f;
    if (u > 1) return;
    object->location = vec3_bezier(a.location[1], a.location[2], b.location[0], b.location[1], u);
    Vec3 angles = vec3_bezier(a.rotation[1], a.rotation[2], b.rotation[0], b.rotation[1], u);
    float q[4];
    quat_from_euler(angles, q);
    object->rotation = Vec4{q[1], q[2], q[3], q[0]};
}

void armature_pose_evaluate(Armature* armature, float time) {
    const int32_t n = static_cast<int32_t>(armature->frames.size());
    if (n < 1) return;
    int32_t k = 0;
    if (n > 1) {
        k = interval_search(armature->current_frame, n, time,
                            [&](int32_t i) { return armature->frames[static_cast<size_t>(i)].time; });
        if (k < 0 || k >= n) k = 0;
    }
    armature->current_frame = k;
    const PoseFrame& a = armature->frames[static_cast<size_t>(k)];
    const bool has_next = k + 1 < n;
    float length = has_next ? armature->frames[static_cast<size_t>(k) + 1].time - a.time : 1.0f;
    float u = length != 0 ? static_cast<float>((time - a.time) / length) : 1.0f;
    if (u > 1) return;
    if (armature->bones.empty()) return;
    const PoseFrame& b = armature->frames[has_next ? static_cast<size_t>(k) + 1 : 0];
    for (size_t j = 0; j < armature->bones.size(); ++j) {
        // Frames shorter than the armature are refused when loading; skip any that slipped in.
        if (j >= a.rotations.size() || j >= b.rotations.size() || j >= a.locations.size() || j >= b.locations.size())
            break;
        armature->bones[j].pose_rotation = quat_slerp(a.rotations[j], b.rotations[j], u);
        armature->bones[j].pose_location = vec3_lerp(a.locations[j], b.locations[j], u);
    }
}

void scene_animate(Scene* scene, float time) {
    scene_list_each<SceneObject>(&scene->objects, [&](SceneObject* object) {
        if (object->flags & OBJECT_ANIMATED) object_track_evaluate(object, time);
    });
    scene_list_each<Armature>(&scene->armatures, [&](Armature* armature) {
        armature_pose_evaluate(armature, time);
        armature_update_matrices(armature);
    });
}
