// Every resource of the demo, loaded once before the first frame.
#pragma once

#include "audio/audio.h"
#include "gfx/screen_pass.h"
#include "gfx/texture.h"
#include "math/math3d.h"
#include "scene/scene.h"
#include "script/shader.h"

struct Content {
    Texture glow_target;
    Texture glow_target_2;
    GlowTiles glow_tiles;
    const void* glow_tiles_block = nullptr; // the block whose glow they last read
    ShaderProgram blur_program;
    Texture cube_target;
    ShaderProgram radiosity_program;
    // The warehouse look for surfaces whose light is in a map on unit 1,
    // and the two materials ("Floor", "Walls") that take it under the
    // warehouse program; null where the scene lacks one. Found again when
    // the warehouse is reloaded.
    ShaderProgram radiosity_mapped_program;
    Material* light_mapped[2] = {nullptr, nullptr};
    ShaderProgram skin_program;
    int blur_texture_location = -1;
    int blur_offset_location = -1;
    float blur_reach = 0;     // texels per unit of glow strength
    float blur_threshold = 0; // luma the blur's first step cuts at
    Texture core_text_texture;
    Texture blender_text_texture;
    Scene circuits_scene;
    Scene armazem_scene;
    Scene robot_wheee_scene;
    Scene robot_afropowa_scene;
    ShaderProgram afropowa_program;
    // The robots at half the segments, on the same bones, for the glow pass:
    // at its 256 x 256 most of a full robot's triangles cover no texel.
    // Empty where the content has no copy; the full robot glows then.
    Scene robot_wheee_glow_scene;
    ShaderProgram wheee_glow_program;
    Scene robot_afropowa_glow_scene;
    ShaderProgram afropowa_glow_program;
    Scene level_elements_scene;
};

// Read by the skinning program as its "camera_pos" uniform; w stays 0.
extern float skin_camera_pos[4];

void content_init(Content* content);
// False after a fatal loader error (a scene file missing or malformed, a
// missing glow copy excepted), with its critical report line written;
// loading stops there. The music is the player's: it is not opened here.
//
// While files are watched (core/reload.h), every scene and program it wires
// gets a hook that wires it again after a reload: the robots' bones,
// program and cube-map layer, the warehouse's light-mapped materials, the
// blur program's uniform locations.
bool content_load(Content* content);
// The glow's part of content_load alone, for a demo of other blocks that
// glow: both render targets and the blur program (demo_glow_pass).
void content_load_glow(Content* content);

// The robot wiring of content_load, one robot at a time: "bmatrix" from the
// scene's "Armature" (and "camera_pos" when asked) on the program; the
// program and a first reflection layer with the cube map on "Material".
// A scene without those names is reported and left unwired. Wiring the
// skin again replaces the program's earlier "bmatrix" and "camera_pos".
void content_wire_skin(Scene* scene, const char* scene_name, ShaderProgram* program, bool with_camera_pos);
void content_wire_material(Scene* scene, const char* scene_name, ShaderProgram* program, Texture* cube);

// Turns the light-mapped program (set on them at load) of the warehouse's
// mapped materials on (while the warehouse program is bound) or off (fixed
// function, as the reflection is captured).
void content_light_mapped_program(Content* content, bool on);
