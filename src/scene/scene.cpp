#include "scene/scene.h"

#include "core/gl.h"
#include "core/reload.h"
#include "gfx/texture.h"

#include <cstring>

uint32_t engine_options = 0;

void scene_init(Scene* scene) {
    scene->object_count = scene->mesh_count = scene->material_count = 0;
    scene->texture_count = scene->armature_count = scene->camera_count = 0;
    scene->objects = List{};
    scene->meshes = List{};
    scene->materials = List{};
    scene->textures = List{};
    scene->armatures = List{};
    scene->cameras = List{};
    scene->position = Vec3{0, 0, 0};
    scene->rotation = Vec3{0, 0, 0};
    scene->scale = Vec3{1, 1, 1};
    scene->matrix = matrix_identity();
}

namespace {

void free_mesh(Mesh* mesh) {
    scene_list_each<MeshGroup>(&mesh->groups, [](MeshGroup* g) {
        if (g->index_buffer) glDeleteBuffersARB(1, &g->index_buffer);
        delete g;
    });
    list_destroy(&mesh->groups);
    if (mesh->vertex_buffer) glDeleteBuffersARB(1, &mesh->vertex_buffer);
    delete mesh;
}

void free_material(Material* material) {
    scene_list_each<MaterialLayer>(&material->layers, [](MaterialLayer* l) { delete l; });
    list_destroy(&material->layers);
    delete material;
}

template <typename T, typename F> void destroy_list(List* list, F&& free_one) {
    scene_list_each<T>(list, free_one);
    list_destroy(list);
}

} // namespace

void scene_free(Scene* scene) {
    reload_forget(RELOAD_SCENE, reinterpret_cast<uintptr_t>(scene));
    destroy_list<SceneObject>(&scene->objects, [](SceneObject* o) { delete o; });
    destroy_list<Mesh>(&scene->meshes, free_mesh);
    destroy_list<Material>(&scene->materials, free_material);
    destroy_list<Texture>(&scene->textures, [](Texture* t) {
        texture_free(t);
        delete t;
    });
    destroy_list<Armature>(&scene->armatures, [](Armature* a) { delete a; });
    destroy_list<Camera>(&scene->cameras, [](Camera* c) { delete c; });
    scene_init(scene);
}

namespace {

template <typename T> T* find_by_name(List* list, const char* name) {
    if (!name) return nullptr;
    ListNode* cursor = nullptr;
    while (list_next(list, &cursor)) {
        T* record = static_cast<T*>(cursor->data);
        if (record->name == name) return record;
    }
    return nullptr;
}

} // namespace

Material* scene_find_material(Scene* scene, const char* name) {
    return find_by_name<Material>(&scene->materials, name);
}

SceneObject* scene_find_object(Scene* scene, const char* name) {
    return find_by_name<SceneObject>(&scene->objects, name);
}

Armature* scene_find_armature(Scene* scene, const char* name) {
    return find_by_name<Armature>(&scene->armatures, name);
}

Camera* scene_find_camera(Scene* scene, const char* name) { return find_by_name<Camera>(&scene->cameras, name); }
