// Materials: their layers, and the GL state a material sets around the
// mesh groups that use it (colour, lighting, fog, polygon mode, shader,
// texture units with their generation and combine modes).
#pragma once

#include "scene/scene.h"

// A new layer in front of the others (the file lists them last first).
MaterialLayer* material_add_layer(Material* material);
// The n-th layer from the front, null past the end.
MaterialLayer* material_layer_at(Material* material, int n);

void material_apply(Material* material);
void material_release(Material* material);
