// Mesh storage (vertex buffer objects, the "AGP" storage, or client memory,
// the "RAM" storage) and group-by-group drawing through the mesh's vertex
// profile.
#pragma once

#include "scene/scene.h"

#include <cstdint>
#include <vector>

// Stores a freshly read mesh and writes its report line. With buffers not
// allowed the mesh stays in client memory and loses MESH_BUFFERED.
void mesh_store(Mesh* mesh, bool buffers_allowed);

// Draws every group (last file group first) with the current modelview,
// each between material_apply and material_release when the mesh has
// MESH_MATERIALS.
void mesh_draw(Mesh* mesh);

// Sum of the groups' face counts.
int mesh_total_faces(Mesh* mesh);
// The mesh's vertex records as stored: the client copy, or read back from
// its vertex buffer once uploaded. Empty when there are none.
std::vector<uint8_t> mesh_read_vertices(const Mesh* mesh);
