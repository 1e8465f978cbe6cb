#include "gfx/texture_state.h"

#include <array>

namespace {

constexpr int kUnits = 8;
constexpr int kUnknown = -1;

// The targets the engine binds; others pass straight through.
constexpr std::array<GLenum, 4> kTargets = {GL_TEXTURE_2D, GL_TEXTURE_3D, GL_TEXTURE_CUBE_MAP,
                                            GL_TEXTURE_RECTANGLE_ARB};
constexpr std::array<GLenum, 3> kGens = {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R};

// Every value is kUnknown until set inside a span.
struct UnitState {
    long long env_mode;
    std::array<long long, kTargets.size()> bound;
    std::array<int, kTargets.size()> enabled;
    std::array<int, kGens.size()> gen;
};

struct State {
    int depth = 0;
    int units_available = -1; // GL_MAX_TEXTURE_UNITS, asked once
    long long active = kUnknown;
    int cull = kUnknown;
    int blend_default = kUnknown;
    std::array<UnitState, kUnits> units;
};

State state;

int index_of(const auto& list, GLenum value) {
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i] == value) return static_cast<int>(i);
    return -1;
}

// The active unit's record when it is known and tracked, else null.
UnitState* active_unit() {
    if (state.depth == 0 || state.active < 0 || state.active >= kUnits) return nullptr;
    return &state.units[static_cast<size_t>(state.active)];
}

// True when the call may be skipped; otherwise records the new value.
template <typename T> bool unchanged(T* slot, T value) {
    if (*slot == value) return true;
    *slot = value;
    return false;
}

void gl_enable(GLenum cap, bool on) {
    if (on) glEnable(cap);
    else glDisable(cap);
}

} // namespace

void texture_state_forget() {
    state.active = kUnknown;
    state.cull = kUnknown;
    state.blend_default = kUnknown;
    for (UnitState& u : state.units) {
        u.env_mode = kUnknown;
        u.bound.fill(kUnknown);
        u.enabled.fill(kUnknown);
        u.gen.fill(kUnknown);
    }
}

void texture_state_begin() {
    if (state.depth++ > 0) return;
    texture_state_forget();
    if (state.units_available < 0) {
        GLint units = 0;
        glGetIntegerv(GL_MAX_TEXTURE_UNITS_ARB, &units);
        state.units_available = units;
    }
}

void texture_state_end() {
    if (state.depth > 0) --state.depth;
}

void texture_state_active_unit(int unit) {
    if (state.depth > 0 && unchanged(&state.active, static_cast<long long>(unit))) return;
    glActiveTextureARB(GL_TEXTURE0_ARB + static_cast<GLenum>(unit));
    // GL refuses a unit it does not have and keeps the old one: which one
    // that is, is not known here.
    if (unit < 0 || unit >= state.units_available) state.active = kUnknown;
}

void texture_state_env_mode(GLint mode) {
    UnitState* u = active_unit();
    if (u && unchanged(&u->env_mode, static_cast<long long>(mode))) return;
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, mode);
}

void texture_state_bind(GLenum target, GLuint name) {
    UnitState* u = active_unit();
    int t = index_of(kTargets, target);
    if (u && t >= 0 && unchanged(&u->bound[static_cast<size_t>(t)], static_cast<long long>(name))) return;
    glBindTexture(target, name);
}

void texture_state_enable(GLenum cap, bool on) {
    int* slot = nullptr;
    if (cap == GL_CULL_FACE) {
        if (state.depth > 0) slot = &state.cull;
    } else if (UnitState* u = active_unit()) {
        if (int t = index_of(kTargets, cap); t >= 0) slot = &u->enabled[static_cast<size_t>(t)];
        else if (int g = index_of(kGens, cap); g >= 0) slot = &u->gen[static_cast<size_t>(g)];
    }
    if (slot && unchanged(slot, on ? 1 : 0)) return;
    gl_enable(cap, on);
}

void texture_state_blend_default() {
    if (state.depth > 0 && unchanged(&state.blend_default, 1)) return;
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}
