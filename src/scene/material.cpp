#include "scene/material.h"

#include "core/gl.h"
#include "gfx/texture.h"
#include "gfx/texture_state.h"
#include "script/shader.h"

MaterialLayer* material_add_layer(Material* material) {
    MaterialLayer* layer = new MaterialLayer{};
    list_push_front(&material->layers, layer);
    return layer;
}

MaterialLayer* material_layer_at(Material* material, int n) {
    if (n < 0) return nullptr;
    ListNode* cursor = nullptr;
    int i = 0;
    while (list_next(&material->layers, &cursor)) {
        if (i == n) return static_cast<MaterialLayer*>(cursor->data);
        ++i;
    }
    return nullptr;
}

namespace {

struct MaterialState {
    // What was in use when a material bound its own program: a group drawn
    // inside another program's bind (the warehouse's) hands it back to the
    // groups after it.
    uint32_t program_found = 0;
};
MaterialState material_state;

void combine_rgb(GLenum function, float scale) {
    texture_state_env_mode(GL_COMBINE_ARB);
    glTexEnvf(GL_TEXTURE_ENV, GL_COMBINE_RGB_ARB, static_cast<float>(function));
    glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE_ARB, scale);
}

void combine_sources(GLenum s0, GLenum s1) {
    glTexEnvf(GL_TEXTURE_ENV, GL_SOURCE0_RGB_ARB, static_cast<float>(s0));
    glTexEnvf(GL_TEXTURE_ENV, GL_OPERAND0_RGB_ARB, static_cast<float>(GL_SRC_COLOR));
    glTexEnvf(GL_TEXTURE_ENV, GL_SOURCE1_RGB_ARB, static_cast<float>(s1));
    glTexEnvf(GL_TEXTURE_ENV, GL_OPERAND1_RGB_ARB, static_cast<float>(GL_SRC_COLOR));
}

void combine_interpolate(GLenum s0, GLenum s1, GLenum s2) {
    texture_state_env_mode(GL_COMBINE_ARB);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB_ARB, GL_INTERPOLATE_ARB);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB_ARB, static_cast<GLint>(s0));
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB_ARB, static_cast<GLint>(s1));
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE2_RGB_ARB, static_cast<GLint>(s2));
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB_ARB, GL_SRC_COLOR);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_RGB_ARB, GL_SRC_COLOR);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND2_RGB_ARB, GL_SRC_COLOR);
}

void apply_combine_mode(int mode) {
    switch (mode) {
    case COMBINE_MODULATE: texture_state_env_mode(GL_MODULATE); break;
    case COMBINE_MODULATE_2X: combine_rgb(GL_MODULATE, 2.0f); break;
    case COMBINE_MODULATE_4X: combine_rgb(GL_MODULATE, 4.0f); break;
    case COMBINE_ADD: texture_state_env_mode(GL_ADD); break;
    case COMBINE_ADD_2X: combine_rgb(GL_ADD, 2.0f); break;
    case COMBINE_ADD_4X: combine_rgb(GL_ADD, 4.0f); break;
    case COMBINE_BLEND: texture_state_env_mode(GL_BLEND); break;
    case COMBINE_DOT3:
        texture_state_env_mode(GL_COMBINE_ARB);
        glTexEnvf(GL_TEXTURE_ENV, GL_COMBINE_RGB_ARB, static_cast<float>(GL_DOT3_RGBA_ARB));
        combine_sources(GL_TEXTURE, GL_PRIMARY_COLOR_ARB);
        break;
    case COMBINE_MODULATE_PREVIOUS:
        texture_state_env_mode(GL_COMBINE_ARB);
        glTexEnvf(GL_TEXTURE_ENV, GL_COMBINE_RGB_ARB, static_cast<float>(GL_MODULATE));
        combine_sources(GL_PREVIOUS_ARB, GL_TEXTURE);
        break;
    case COMBINE_MIX_BY_COLOR: combine_interpolate(GL_TEXTURE, GL_PREVIOUS_ARB, GL_PRIMARY_COLOR_ARB); break;
    case COMBINE_MIX_BY_TEXTURE: combine_interpolate(GL_PRIMARY_COLOR_ARB, GL_PREVIOUS_ARB, GL_TEXTURE); break;
    default: break; // unknown modes leave the environment as it is
    }
}

} // namespace

void material_apply(Material* material) {
    if (material->flags & MATERIAL_OPAQUE) glDisable(GL_BLEND);
    else glEnable(GL_BLEND);
    glColor4fv(material->colour);
    if (!(material->flags & MATERIAL_UNLIT) && (engine_options & ENGINE_LIGHTING)) glEnable(GL_LIGHTING);
    if (material->flags & MATERIAL_NO_FOG) glDisable(GL_FOG);
    GLenum polygon = (material->flags & MATERIAL_WIREFRAME) ? GL_LINE : GL_FILL;
    glPolygonMode(GL_FRONT, polygon);
    glPolygonMode(GL_BACK, polygon);
    if ((material->flags & MATERIAL_SHADER) && material->shader) {
        material_state.program_found = shader_in_use();
        shader_bind(material->shader);
    }
    int unit = 0;
    scene_list_each<MaterialLayer>(&material->layers, [&](MaterialLayer* layer) {
        if (layer->flags & LAYER_SPHERE_MAP) {
            texture_state_enable(GL_TEXTURE_GEN_S, true);
            texture_state_enable(GL_TEXTURE_GEN_T, true);
            glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
            glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
        }
        if (layer->flags & LAYER_REFLECTION_MAP) {
            texture_state_enable(GL_TEXTURE_GEN_S, true);
            texture_state_enable(GL_TEXTURE_GEN_T, true);
            texture_state_enable(GL_TEXTURE_GEN_R, true);
            glTexGenf(GL_S, GL_TEXTURE_GEN_MODE, static_cast<float>(GL_REFLECTION_MAP_ARB));
            glTexGenf(GL_T, GL_TEXTURE_GEN_MODE, static_cast<float>(GL_REFLECTION_MAP_ARB));
            glTexGenf(GL_R, GL_TEXTURE_GEN_MODE, static_cast<float>(GL_REFLECTION_MAP_ARB));
        }
        // A bound layer without a texture keeps its unit but binds nothing.
        if ((layer->flags & LAYER_BIND) && layer->texture) texture_bind(*layer->texture, unit);
        apply_combine_mode(layer->mode);
        ++unit;
    });
}

void material_release(Material* material) {
    int unit = 0;
    scene_list_each<MaterialLayer>(&material->layers, [&](MaterialLayer* layer) {
        if (layer->flags & LAYER_BIND) {
            if (layer->texture) texture_unbind(*layer->texture, unit);
            ++unit;
        }
        texture_state_enable(GL_TEXTURE_GEN_S, false);
        texture_state_enable(GL_TEXTURE_GEN_T, false);
        texture_state_enable(GL_TEXTURE_GEN_R, false);
    });
    if ((material->flags & MATERIAL_SHADER) && material->shader) shader_restore(material_state.program_found);
    // Blending is on after any material, opaque or not.
    if (material->flags & MATERIAL_OPAQUE) glEnable(GL_BLEND);
    texture_reset_units();
}
