#include "scene/vbo_model.h"

#include "core/gl.h"
#include "core/log.h"
#include "gfx/texture_state.h"
#include "scene/material.h"
#include "script/vertex_profile.h"

int mesh_total_faces(Mesh* mesh) {
    int total = 0;
    scene_list_each<MeshGroup>(&mesh->groups, [&](MeshGroup* g) { total += g->face_count; });
    return total;
}

std::vector<uint8_t> mesh_read_vertices(const Mesh* mesh) {
    if (!mesh->vertices.empty() || !(mesh->flags & MESH_BUFFERED) || !mesh->vertex_buffer) return mesh->vertices;
    GLint size = 0;
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, mesh->vertex_buffer);
    glGetBufferParameterivARB(GL_ARRAY_BUFFER_ARB, GL_BUFFER_SIZE_ARB, &size);
    std::vector<uint8_t> bytes(size > 0 ? static_cast<size_t>(size) : 0);
    if (!bytes.empty()) glGetBufferSubDataARB(GL_ARRAY_BUFFER_ARB, 0, size, bytes.data());
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    return bytes;
}

void mesh_store(Mesh* mesh, bool buffers_allowed) {
    int faces = mesh_total_faces(mesh);
    if (!buffers_allowed) mesh->flags &= ~MESH_BUFFERED;
    const char* storage = "RAM";
    if (mesh->flags & MESH_BUFFERED) {
        glGenBuffersARB(1, &mesh->vertex_buffer);
        glBindBufferARB(GL_ARRAY_BUFFER_ARB, mesh->vertex_buffer);
        glBufferDataARB(GL_ARRAY_BUFFER_ARB, static_cast<GLsizeiptrARB>(mesh->vertices.size()),
                        mesh->vertices.empty() ? nullptr : mesh->vertices.data(), GL_STATIC_DRAW_ARB);
        std::vector<uint8_t>().swap(mesh->vertices);
        scene_list_each<MeshGroup>(&mesh->groups, [](MeshGroup* g) {
            glGenBuffersARB(1, &g->index_buffer);
            glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, g->index_buffer);
            glBufferDataARB(GL_ELEMENT_ARRAY_BUFFER_ARB, static_cast<GLsizeiptrARB>(g->indices.size() * 4),
                            g->indices.empty() ? nullptr : g->indices.data(), GL_STATIC_DRAW_ARB);
            std::vector<uint32_t>().swap(g->indices);
        });
        glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
        glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
        storage = "AGP";
    }
    log_set_level(LOG_OK);
    log_write("VBO Model [\"%s\",verts %d, faces %d, groups %d, nvp %d] [%s Malloc] loaded ", mesh->name.c_str(),
              mesh->vertex_count, faces, mesh->group_count, mesh->profile, storage);
}

namespace {

void draw_group(const Mesh* mesh, const MeshGroup* group) {
    GLsizei count = static_cast<GLsizei>(group->face_count) * 3;
    if (mesh->flags & MESH_BUFFERED) {
        glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, group->index_buffer);
        glDrawElements(GL_TRIANGLES, count, GL_UNSIGNED_INT, nullptr);
        glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
    } else {
        glDrawElements(GL_TRIANGLES, count, GL_UNSIGNED_INT, group->indices.empty() ? nullptr : group->indices.data());
    }
}

} // namespace

void mesh_draw(Mesh* mesh) {
    if (!mesh) return;
    const bool materials_on = mesh->flags & MESH_MATERIALS;
    const bool buffered = mesh->flags & MESH_BUFFERED;
    if (buffered) {
        glBindBufferARB(GL_ARRAY_BUFFER_ARB, mesh->vertex_buffer);
        vertex_profile_apply(mesh->profile, nullptr);
    } else {
        vertex_profile_apply(mesh->profile, mesh->vertices.empty() ? nullptr : mesh->vertices.data());
    }
    scene_list_each<MeshGroup>(&mesh->groups, [&](MeshGroup* group) {
        Material* material = materials_on ? group->material : nullptr;
        bool two_pass = false;
        if (material) {
            material_apply(material);
            two_pass = material->flags & MATERIAL_TWO_PASS;
        }
        if (two_pass) {
            texture_state_enable(GL_CULL_FACE, true);
            glCullFace(GL_FRONT);
            draw_group(mesh, group);
            glCullFace(GL_BACK);
        } else if (material && (material->flags & MATERIAL_CULL_BACK)) {
            texture_state_enable(GL_CULL_FACE, true);
            glCullFace(GL_BACK);
        }
        draw_group(mesh, group);
        if (material) material_release(material);
    });
    vertex_profile_disable(mesh->profile);
    if (buffered) glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
}
