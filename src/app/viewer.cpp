#include "app/viewer.h"

#include "app/app_options.h"
#include "core/gl.h"
#include "core/log.h"
#include "core/paths.h"
#include "core/reload.h"
#include "demo/blocks.h"
#include "gfx/texture.h"
#include "platform/platform_events.h"
#include "platform/platform_time.h"
#include "platform/platform_window.h"
#include "player/player.h"
#include "scene/animation.h"
#include "scene/camera.h"
#include "scene/material.h"
#include "scene/object.h"
#include "scene/orbit.h"
#include "scene/scene_draw.h"
#include "scene/scene_file.h"
#include "script/shader.h"
#include "script/vertex_profile.h"
#include "shell/input.h"
#include "shell/reload_watch.h"
#include "shell/window.h"
#include "text/font.h"
#include "text/reload_banner.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr float default_fovy = 35.0f;
constexpr int key_a = 'A';
constexpr int key_c = 'C';
constexpr int key_f = 'F';
// The skinning program's "bmatrix" array holds this many matrices.
constexpr int max_skin_bones = ORBIT_SKIN_BONES;
// Each pair compiles a program; a file with thousands of materials on a
// skinned mesh should not stall start-up for minutes.
constexpr size_t max_skin_programs = 64;
constexpr Color overlay_colour{255, 255, 255, 255};
const char* const skin_script = "view_skin.vsl";

// One skinning program per (armature, material) pair: each carries its own
// bone matrices and tint, and the pairs of an imported scene are few.
struct SkinBinding {
    std::unique_ptr<ShaderProgram> program;
    Armature* armature = nullptr;
    Material* material = nullptr;
};

struct Viewer {
    Scene scene;
    std::vector<SkinBinding> skins;
    // Programs of a scene that was loaded again, for its new pairs.
    std::vector<std::unique_ptr<ShaderProgram>> spare_programs;
    Texture white;
    std::vector<Camera*> cameras; // those an object holds
    int camera = -1;              // index into cameras; -1 is the orbit camera
    OrbitCamera orbit;
    float length = 0; // animation length in key frames
    SceneCounts counts;
    int scene_fps = 25;

    double time_ms = 0; // live clock of the animation
    bool paused = false;
    uint32_t last_tick = 0;
    int drag_x = 0, drag_y = 0;
    bool dragging = false;
};

// Profiles with bone numbers (integer texture coordinates) are skinned.
bool profile_is_skinned(int profile) {
    if (profile < 0 || profile >= vertex_profile_count) return false;
    const VertexProfile& p = vertex_profiles[profile];
    for (int i = 0; i < p.client_count; ++i)
        if (p.clients[i].type == CLIENT_TEXCOORD_INT) return true;
    return false;
}

// A 1 x 1 white texture for skinned materials without one, so the program
// samples white instead of an unbound unit.
Texture make_white_texture() {
    Texture t;
    texture_init(&t);
    const uint8_t white[4] = {255, 255, 255, 255};
    glGenTextures(1, &t.gl_name);
    glBindTexture(GL_TEXTURE_2D, t.gl_name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
    glBindTexture(GL_TEXTURE_2D, 0);
    t.width = t.height = 1;
    t.bytes_per_pixel = 4;
    t.target = GL_TEXTURE_2D;
    return t;
}

SkinBinding* skin_binding(Viewer* v, Armature* armature, Material* material) {
    for (SkinBinding& s : v->skins)
        if (s.armature == armature && s.material == material) return &s;
    if (v->skins.size() >= max_skin_programs) {
        log_set_level(LOG_ERROR);
        log_write("Viewer [material \"%s\" past %zu skinned materials] drawn unskinned !", material->name.c_str(),
                  max_skin_programs);
        return nullptr;
    }
    SkinBinding s;
    s.armature = armature;
    s.material = material;
    if (!v->spare_programs.empty()) {
        // Compiled already; only its uniforms are new.
        s.program = std::move(v->spare_programs.back());
        v->spare_programs.pop_back();
    } else {
        s.program = std::make_unique<ShaderProgram>();
        shader_init(s.program.get());
        shader_load(s.program.get(), skin_script);
    }
    // Never hand GL more matrices than the armature holds or the program takes.
    int count = std::min({armature->bone_count, static_cast<int>(armature->skin.size()), max_skin_bones});
    shader_uniform_matrices(s.program.get(), "bmatrix", std::max(count, 0), armature->skin.data());
    shader_uniform_vec4(s.program.get(), "tint", material->colour);
    v->skins.push_back(std::move(s));
    return &v->skins.back();
}

// Skinned meshes draw through the skinning program, as the robots do: each
// of their materials gets the program of its armature. A material shared by
// meshes of two armatures keeps the first.
void wire_skins(Viewer* v) {
    scene_list_each<SceneObject>(&v->scene.objects, [&](SceneObject* object) {
        Mesh* mesh = object_mesh(object);
        if (!mesh || !profile_is_skinned(mesh->profile)) return;
        Armature* armature = object_skin_armature(object);
        if (!armature) {
            log_set_level(LOG_ERROR);
            log_write("Viewer [mesh \"%s\" has bone weights but no armature above it] drawn unskinned !",
                      mesh->name.c_str());
            return;
        }
        if (armature->bone_count > max_skin_bones) {
            log_set_level(LOG_ERROR);
            log_write("Viewer [armature \"%s\" has %d bones, the program takes %d] drawn unskinned !",
                      armature->name.c_str(), armature->bone_count, max_skin_bones);
            return;
        }
        scene_list_each<MeshGroup>(&mesh->groups, [&](MeshGroup* group) {
            Material* material = group->material;
            if (!material || (material->flags & MATERIAL_SHADER)) return;
            SkinBinding* skin = skin_binding(v, armature, material);
            if (!skin) return;
            material->flags |= MATERIAL_SHADER;
            material->shader = skin->program.get();
            if (!material_layer_at(material, 0)) {
                MaterialLayer* layer = material_add_layer(material);
                layer->texture = &v->white;
                layer->flags = LAYER_BIND;
                layer->mode = COMBINE_MODULATE;
            }
        });
    });
}

// What the viewer keeps of the scene's records, taken again.
void find_scene_records(Viewer* v) {
    v->cameras.clear();
    scene_list_each<Camera>(&v->scene.cameras, [&](Camera* c) {
        if (c->matrix) v->cameras.push_back(c);
    });
    if (v->camera >= static_cast<int>(v->cameras.size())) v->camera = -1;
    v->length = viewer_animation_length(&v->scene);
    v->counts = viewer_scene_counts(&v->scene);
}

// The scene file was loaded again and every record in it is new: the skin
// programs would still read the freed armatures' matrices.
void rewire_scene(Viewer* v) {
    for (SkinBinding& s : v->skins) {
        shader_forget_uniform(s.program.get(), "bmatrix");
        shader_forget_uniform(s.program.get(), "tint");
        v->spare_programs.push_back(std::move(s.program));
    }
    v->skins.clear();
    wire_skins(v);
    for (auto& program : v->spare_programs) shader_free(program.get());
    v->spare_programs.clear();
    find_scene_records(v);
}

float camera_fovy(const Camera* camera) {
    float yfov;
    std::memcpy(&yfov, &camera->parameter, sizeof yfov);
    // The import stores the vertical field of view in radians; anything
    // else there (scenes from other tools) falls back to the demo's 35.
    if (!std::isfinite(yfov) || yfov < 0.01f || yfov > 3.1f) return default_fovy;
    return yfov * 180.0f / math_pi;
}

void handle_input(Viewer* v, float aspect) {
    if (key_was_released(VK_SPACE)) v->paused = !v->paused;
    float step = 1000.0f / static_cast<float>(v->scene_fps);
    if (key_was_released(VK_LEFT)) {
        v->paused = true;
        v->time_ms = std::max(0.0, v->time_ms - step);
    }
    if (key_was_released(VK_RIGHT)) {
        v->paused = true;
        v->time_ms += step;
    }
    if (key_was_released(key_c)) {
        int n = static_cast<int>(v->cameras.size());
        v->camera = v->camera + 1 < n ? v->camera + 1 : -1;
    }
    // The pose on screen, whole and centred, seen from where the orbit is.
    BoundingBox box;
    if (key_was_released(key_f) && scene_drawn_bounds(&v->scene, max_skin_bones, &box))
        v->orbit = orbit_camera_frame(box, default_fovy, aspect, v->orbit);

    int x = 0, y = 0;
    platform_cursor_position(&x, &y);
    if (key_query(VK_LBUTTON, KEY_QUERY_DOWN)) {
        if (v->dragging) {
            v->orbit.yaw -= static_cast<float>(x - v->drag_x) * 0.01f;
            v->orbit.pitch = std::clamp(v->orbit.pitch + static_cast<float>(y - v->drag_y) * 0.01f, -1.5f, 1.5f);
        }
        v->dragging = true;
    } else {
        v->dragging = false;
    }
    v->drag_x = x;
    v->drag_y = y;

    int notches = input_take_wheel();
    if (notches != 0) {
        v->orbit.distance *= std::pow(0.9f, static_cast<float>(notches));
        v->orbit.distance = std::clamp(v->orbit.distance, v->orbit.radius * 0.05f, v->orbit.radius * 200.0f);
    }
}

void advance_clock(Viewer* v) {
    uint32_t now = platform_tick_count();
    if (!v->paused) v->time_ms += static_cast<double>(now - v->last_tick);
    v->last_tick = now;
}

// Key frame of a time; a running animation starts over one frame after its
// last key, so the last pose shows for a moment.
float key_frame_at(const Viewer& v, double ms) {
    double frame = ms * v.scene_fps / 1000.0;
    if (v.length > 0) frame = std::fmod(frame, static_cast<double>(v.length) + 1.0);
    return static_cast<float>(frame);
}

void draw_frame(Viewer* v, float frame, int width, int height) {
    gl_clear();
    viewport_percent(0, 0, 100, 100);
    float aspect = height > 0 ? static_cast<float>(width) / static_cast<float>(height) : 1.0f;
    float near_plane = std::max(v->orbit.radius * 0.01f, 1e-4f);
    float far_plane = (v->orbit.distance + v->orbit.radius) * 20.0f;
    Camera* camera = v->camera >= 0 ? v->cameras[static_cast<size_t>(v->camera)] : nullptr;
    view_perspective(aspect, camera ? camera_fovy(camera) : default_fovy, far_plane, near_plane);
    glDepthFunc(GL_LEQUAL);
    glLoadIdentity();
    if (camera) camera_apply(camera);
    else orbit_camera_apply(v->orbit);

    scene_animate(&v->scene, frame);
    scene_draw(&v->scene, false);

    glDisable(GL_DEPTH_TEST);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    view_ortho(static_cast<float>(width), static_cast<float>(height));
}

void draw_overlay(const Viewer& v, float frame) {
    font_set_style(VL_FONT_SMALL | VL_FONT_LEFT | VL_FONT_TOP);
    const char* view = v.camera >= 0 ? v.cameras[static_cast<size_t>(v.camera)]->name.c_str() : "orbit";
    font_print(10.0f, 10.0f, overlay_colour,
               "OBJECTS %ld\nVERTICES %ld\nFACES %ld\nBONES %ld\nFRAME %.1f OF %.0f%s\nCAMERA %s", v.counts.objects,
               v.counts.vertices, v.counts.faces, v.counts.bones, static_cast<double>(frame),
               static_cast<double>(v.length), v.paused ? " PAUSED" : "", view);
}

} // namespace

float viewer_animation_length(Scene* scene) {
    float last = 0;
    scene_list_each<SceneObject>(&scene->objects, [&](SceneObject* o) {
        if (o->track)
            for (const TrackKey& k : o->track->keys) last = std::max(last, k.time);
    });
    scene_list_each<Armature>(&scene->armatures, [&](Armature* a) {
        for (const PoseFrame& f : a->frames) last = std::max(last, f.time);
    });
    return std::isfinite(last) ? last : 0.0f;
}

SceneCounts viewer_scene_counts(Scene* scene) {
    SceneCounts c;
    c.objects = scene->object_count;
    scene_list_each<Mesh>(&scene->meshes, [&](Mesh* m) {
        c.vertices += m->vertex_count;
        scene_list_each<MeshGroup>(&m->groups, [&](MeshGroup* g) { c.faces += g->face_count; });
    });
    scene_list_each<Armature>(&scene->armatures, [&](Armature* a) { c.bones += a->bone_count; });
    return c;
}

bool viewer_is_model_file(const std::string& path) {
    const std::string ext = path_extension_lower(path);
    return ext == ".gltf" || ext == ".glb";
}

namespace {

// The viewed file: a scene file read as it is, or a model converted in
// memory, its pictures handed to the texture loader by name.
// A model converted in memory into a scene record: fresh, or in place of
// what the record held (a reload), its pictures handed over by name.
bool import_into(Scene* scene, const std::string& path, ViewerImport import, bool in_place, std::string* error) {
    ViewerModel model;
    if (!import(path, &model, error)) return false;
    for (const std::string& w : model.warnings) log_write_at(LOG_ERROR, "Import [\"%s\": %s] !", path.c_str(), w.c_str());
    for (auto& [name, bytes] : model.pictures) texture_provide_memory(name, std::move(bytes));
    if (in_place) scene_rebuild(scene, model.scene, std::filesystem::path(path).filename().c_str());
    else scene_build(scene, model.scene);
    texture_forget_memory();
    return true;
}

bool load_viewed(Scene* scene, const std::string& path, ViewerImport import, std::string* error) {
    if (!viewer_is_model_file(path)) return scene_load_file(scene, path, error);
    if (!import) {
        *error = "this program has no glTF import; convert it with vantor-import";
        return false;
    }
    if (!import_into(scene, path, import, false, error)) return false;
    // Saved again, the model is converted again.
    if (reload_active()) {
        reload_register(RELOAD_SCENE, reinterpret_cast<uintptr_t>(scene), path,
                        [scene, import](const std::string& file, std::string* why) {
                            return import_into(scene, file, import, true, why);
                        });
    }
    return true;
}

} // namespace

int viewer_main(Player* player, const AppOptions& options, ViewerImport import) {
    PlayerSetup& setup = player->setup;
    std::string title = "V4 Scene Viewer | " + std::filesystem::path(options.view_path).filename().string();
    setup.title = title.c_str();
    setup.window = PLAYER_WINDOW_FRAMED;
    setup.clear_colour = {40, 42, 48, 255};
    setup.profiles_required = false; // the scene's own profiles may be enough
    // The viewer keeps its own time; the music only sounds in a captured video.
    setup.music_clock = false;
    // The benchmark names the demo's blocks by time, viewer or not.
    setup.name_block = demo_block_at;
    if (!player_start(player)) return player->status;
    FrameDriver* frames = &player->frames;

    auto v = std::make_unique<Viewer>();
    v->scene_fps = options.scene_fps;
    std::string error;
    if (!load_viewed(&v->scene, options.view_path, import, &error)) {
        log_set_level(LOG_ERROR);
        log_write("VScene Model [\"%s\"] not shown: %s !", options.view_path.c_str(), error.c_str());
        std::string what = viewer_is_model_file(options.view_path) ? "model" : "scene file";
        std::string why = what + " \"" + options.view_path + "\": " + error;
        return player_fail(player, why.c_str());
    }
    v->white = make_white_texture();
    wire_skins(v.get());
    find_scene_records(v.get());
    if (reload_watch_running()) {
        reload_watch_add_file(options.view_path);
        reload_add_hook(RELOAD_SCENE, reinterpret_cast<uintptr_t>(&v->scene),
                        [viewer = v.get()] { rewire_scene(viewer); });
    }
    int width = 0;
    int height = 0;
    platform_window_client_size(&width, &height);
    // The bounds of the first pose as drawn, skinned: not of whatever the
    // file's rest state is, nor of the mesh before its bones move it.
    scene_animate(&v->scene, 0);
    v->orbit = orbit_camera_start(&v->scene, default_fovy, height > 0 ? static_cast<float>(width) / height : 1.0f);

    int timeline_time = 0;
    float unused_music_time = 0;
    frame_driver_prime(frames, &timeline_time, &unused_music_time);
    bool offline = frames->mode != FRAME_LIVE;
    v->last_tick = platform_tick_count();

    PlayerLoop loop;
    loop.draw = [&] {
        // Several messages a frame, so a drag or a wheel spin keeps up.
        for (int i = 0; i < 16; ++i)
            if (!message_pump()) return false;
        double ms;
        if (offline) {
            ms = static_cast<double>(capture_frame_time(frames->from_ms, frames->fps, frames->frames_done));
        } else {
            handle_input(v.get(), height > 0 ? static_cast<float>(width) / height : 1.0f);
            advance_clock(v.get());
            ms = v->time_ms;
        }
        float frame = key_frame_at(*v, ms);
        platform_window_client_size(&width, &height);
        draw_frame(v.get(), frame, width, height);
        if (key_query(key_a, KEY_QUERY_DOWN)) draw_overlay(*v, frame);
        reload_banner_draw(0, width);
        return true;
    };
    int status = player_loop(player, loop);
    for (SkinBinding& s : v->skins) shader_free(s.program.get());
    scene_free(&v->scene);
    texture_free(&v->white);
    v.reset();
    return player_close(player, status);
}
