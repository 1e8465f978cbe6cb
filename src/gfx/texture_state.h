// The texture-unit state that scene drawing sets around every mesh group:
// active unit, bound textures, enabled targets and coordinate generation per
// unit, the environment mode, the blend function and face culling.
//
// Between texture_state_begin and texture_state_end these calls remember
// what they set and skip a call that would set the same value again; a
// storey of the shaft resets all eight units after every group, and most of
// those calls change nothing. Outside that span every call goes to GL.
// Code inside the span that changes this state with plain GL calls must
// call texture_state_forget afterwards.
#pragma once

#include "core/gl.h"

// Spans nest; the outermost begin starts from unknown state.
void texture_state_begin();
void texture_state_end();
// Everything unknown again: the next call of each kind goes to GL.
void texture_state_forget();

void texture_state_active_unit(int unit);
// GL_TEXTURE_ENV_MODE of the active unit.
void texture_state_env_mode(GLint mode);
void texture_state_bind(GLenum target, GLuint name);
// Texture targets and GL_TEXTURE_GEN_S/T/R of the active unit, or
// GL_CULL_FACE; anything else goes straight to GL.
void texture_state_enable(GLenum cap, bool on);
void texture_state_blend_default();
