#include "demo/content.h"

#include "core/gl.h"
#include "core/log.h"
#include "core/paths.h"
#include "core/reload.h"
#include "gfx/render_target.h"
#include "scene/material.h"
#include "scene/scene_file.h"

#include <filesystem>
#include <functional>
#include <string>
#include <utility>

float skin_camera_pos[4] = {0.0f, 0.0f, 0.0f, 0.0f};

namespace {

// A robot scene without the names its wiring needs is a content error; it
// is reported and that part of the wiring is skipped rather than crashing.
void report_missing(const char* kind, const char* name, const char* scene, const char* left = "robot left unwired") {
    log_set_level(LOG_ERROR);
    log_write("Content [%s \"%s\" in \"%s\"] not found, %s !", kind, name, scene, left);
}

int uniform_location(const ShaderProgram& program, const char* name) {
    // No program (script missing): there is nothing to ask GL about.
    if (program.program == 0) return -1;
    return glGetUniformLocationARB(program.program, name);
}

// While files are watched, a scene or program that is loaded again is
// wired again the way the set-up wired it; otherwise this does nothing.
void rewire_on_reload(int kind, const void* record, std::function<void()> wire) {
    reload_add_hook(kind, reinterpret_cast<uintptr_t>(record), std::move(wire));
}

void find_blur_uniforms(Content* content) {
    content->blur_texture_location = uniform_location(content->blur_program, "tex_blur");
    content->blur_offset_location = uniform_location(content->blur_program, "offset");
}

// The warehouse's light-mapped materials take the mapped program.
void wire_light_mapped(Content* content) {
    const char* const mapped[2] = {"Floor", "Walls"};
    for (int i = 0; i < 2; ++i) {
        Material* material = scene_find_material(&content->armazem_scene, mapped[i]);
        if (material) material->shader = &content->radiosity_mapped_program;
        else report_missing("material", mapped[i], "armazem.vscene", "drawn with the warehouse program");
        content->light_mapped[i] = material;
    }
}

} // namespace

void content_init(Content* content) {
    texture_init(&content->glow_target);
    texture_init(&content->glow_target_2);
    texture_init(&content->cube_target);
    texture_init(&content->core_text_texture);
    texture_init(&content->blender_text_texture);
    shader_init(&content->blur_program);
    shader_init(&content->radiosity_program);
    shader_init(&content->radiosity_mapped_program);
    content->light_mapped[0] = content->light_mapped[1] = nullptr;
    shader_init(&content->skin_program);
    shader_init(&content->afropowa_program);
    shader_init(&content->wheee_glow_program);
    shader_init(&content->afropowa_glow_program);
    scene_init(&content->circuits_scene);
    scene_init(&content->armazem_scene);
    scene_init(&content->robot_wheee_scene);
    scene_init(&content->robot_wheee_glow_scene);
    scene_init(&content->robot_afropowa_scene);
    scene_init(&content->robot_afropowa_glow_scene);
    scene_init(&content->level_elements_scene);
}

void content_wire_skin(Scene* scene, const char* scene_name, ShaderProgram* program, bool with_camera_pos) {
    // Wiring again, after the scene was reloaded, replaces the last wiring,
    // whose bones are gone with the old scene.
    shader_forget_uniform(program, "bmatrix");
    shader_forget_uniform(program, "camera_pos");
    Armature* armature = scene_find_armature(scene, "Armature");
    if (!armature) {
        report_missing("armature", "Armature", scene_name);
        return;
    }
    // Never hand GL more matrices than the armature really holds.
    int count = armature->bone_count;
    if (count < 0 || static_cast<size_t>(count) > armature->skin.size())
        count = static_cast<int>(armature->skin.size());
    shader_uniform_matrices(program, "bmatrix", count, armature->skin.data());
    if (with_camera_pos) shader_uniform_vec4(program, "camera_pos", skin_camera_pos);
}

void content_wire_material(Scene* scene, const char* scene_name, ShaderProgram* program, Texture* cube) {
    Material* material = scene_find_material(scene, "Material");
    if (!material) {
        report_missing("material", "Material", scene_name);
        return;
    }
    // Setting the bit (rather than adding 2) keeps a file that already asks
    // for a shader from turning into "no fog" without one.
    material->flags |= MATERIAL_SHADER;
    material->shader = program;
    MaterialLayer* layer = material_add_layer(material);
    layer->texture = cube;
    layer->flags = LAYER_BIND | LAYER_REFLECTION_MAP;
}

void content_light_mapped_program(Content* content, bool on) {
    for (Material* material : content->light_mapped) {
        if (!material) continue;
        if (on) material->flags |= MATERIAL_SHADER;
        else material->flags &= ~static_cast<uint32_t>(MATERIAL_SHADER);
    }
}

namespace {

// A robot or its glow copy: a scene, a compile of the skinning program bound
// to that scene's bones, the cube map. False when the scene cannot be loaded.
bool load_robot(Content* content, Scene* scene, const char* file, ShaderProgram* program, bool with_camera_pos) {
    if (!scene_load(scene, file)) return false;
    shader_load(program, "test7.vsl");
    content_wire_skin(scene, file, program, with_camera_pos);
    content_wire_material(scene, file, program, &content->cube_target);
    rewire_on_reload(RELOAD_SCENE, scene, [content, scene, file, program, with_camera_pos] {
        content_wire_skin(scene, file, program, with_camera_pos);
        content_wire_material(scene, file, program, &content->cube_target);
    });
    return true;
}

// A glow copy only spares the glow pass triangles: without its file the full
// robot glows in its place (the blocks see an empty copy) and the show goes on.
bool load_glow_copy(Content* content, Scene* scene, const char* file, ShaderProgram* program, bool with_camera_pos) {
    std::error_code ec;
    if (!std::filesystem::exists(path_data(std::string("models/") + file), ec)) {
        log_set_level(LOG_ERROR);
        log_write("Content [glow copy \"%s\"] not found, the full robot glows !", file);
        return true;
    }
    return load_robot(content, scene, file, program, with_camera_pos);
}

} // namespace

void content_load_glow(Content* content) {
    Texture target;
    texture_init(&target);
    render_target_create(&target, GL_TEXTURE_2D, 256, 256, 4, RENDER_TARGET_FBO);
    content->glow_target = target;
    texture_init(&target);
    render_target_create(&target, GL_TEXTURE_2D, 256, 256, 4, RENDER_TARGET_FBO);
    content->glow_target_2 = target;

    shader_load(&content->blur_program, "blur_pass.vsl");
    find_blur_uniforms(content);
    rewire_on_reload(RELOAD_SHADER, &content->blur_program, [content] { find_blur_uniforms(content); });
    // The script's widest tap lies 3.23 strides of 0.75 texel per unit of
    // strength out, and its first step keeps only lumas over 0.08.
    content->blur_reach = 2.5f;
    content->blur_threshold = 0.08f;
}

bool content_load(Content* content) {
    texture_load(&content->core_text_texture, "veldra_core_text.png");
    texture_load(&content->blender_text_texture, "veldra_blender_text.png");

    content_load_glow(content);

    if (!scene_load(&content->circuits_scene, "circuits.vscene")) return false;
    if (!scene_load(&content->armazem_scene, "armazem.vscene")) return false;
    shader_load(&content->radiosity_program, "radiosity_dark.vsl");
    shader_load(&content->radiosity_mapped_program, "radiosity_mapped.vsl");
    wire_light_mapped(content);
    rewire_on_reload(RELOAD_SCENE, &content->armazem_scene, [content] { wire_light_mapped(content); });

    // Robot one: skinning program with the camera position for its reflection.
    // Its material keeps a pointer to the cube map, created after it; then its
    // copy for the glow, with a compile of its own for the copy's bones.
    if (!load_robot(content, &content->robot_wheee_scene, "robot_wheee.vscene", &content->skin_program, true))
        return false;
    render_target_create(&content->cube_target, GL_TEXTURE_CUBE_MAP, 128, 128, 4, RENDER_TARGET_FBO);
    if (!load_glow_copy(content, &content->robot_wheee_glow_scene, "robot_wheee_glow.vscene",
                        &content->wheee_glow_program, true))
        return false;

    // Robot two and its glow copy: compiles of their own, no camera position.
    if (!load_robot(content, &content->robot_afropowa_scene, "robot_afropowa.vscene", &content->afropowa_program,
                    false))
        return false;
    if (!load_glow_copy(content, &content->robot_afropowa_glow_scene, "robot_afropowa_glow.vscene",
                        &content->afropowa_glow_program, false))
        return false;

    return scene_load(&content->level_elements_scene, "level_elements.vscene");
}
