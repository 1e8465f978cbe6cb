// What a program on the player says about itself: its name and command
// line, its window, its music, and the few places where the frame loop
// asks it (the picture of a frame, a seek, the benchmark's block names).
// Every field has a default; a demo usually sets its name and title.
#pragma once

#include "math/math3d.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct Timeline;

// Options a program adds to the shared ones (vantor's --view). They are
// read in turn with the shared ones, so the first bad word on the line is
// the one refused.
struct PlayerOptionsExtra {
    std::vector<std::string_view> with_value; // those of its options that take a value
    // Takes one of its options; false when `name` is none of them. A bad
    // value is refused by setting *bad to what a good one is ("1 to 1000").
    std::function<bool(std::string_view name, std::string_view value, const char** bad)> read;
    // Once the line is read, before the shared cross-checks: false with the reason.
    std::function<bool(std::string* error)> check;
    const char* usage = ""; // its lines of the usage text, after the shared ones
};

// The window of live playback; off line it is always a hidden one of --size.
enum PlayerWindow {
    PLAYER_WINDOW_CHOSEN, // full screen, unless --windowed, --size or --desktop say otherwise
    PLAYER_WINDOW_FRAMED, // a framed 800 x 600 window, whatever the command line says
};

struct PlayerSetup {
    // The command line.
    const char* name = "demo";       // in the usage, in messages and as the report's state folder
    const char* arguments = nullptr; // words the program takes besides options ("SCENE.vscene")
    const char* version = nullptr;   // what --version prints; null: the name and the engine's version
    // Where the show ends: --to's default, the seek limit, the loop point;
    // live, the run stops there unless a block still plays (one that ends
    // the program itself, as vantor's last does).
    int end_ms = 100000;
    PlayerOptionsExtra extra{};        // the program's own options
    const char* content_dir = nullptr; // content to use when none is found beside the program

    // Start-up.
    const char* title = "V4 demo";
    PlayerWindow window = PLAYER_WINDOW_CHOSEN;
    Color clear_colour{0, 0, 0, 255};
    // A missing vertex profile file ends the run, as any fatal loader error
    // does; the scene viewer draws on without.
    bool profiles_required = true;
    // The music in the content: the live clock, the spectrum, the captured
    // video's sound. Null: none.
    const char* music = "fps7.ogg";
    // Live, the music plays and is the clock. Without, no sound device is
    // opened and the program keeps its own time (the scene viewer).
    bool music_clock = true;
    // Decides how notices reach a person, told whether someone watches; null
    // leaves them on standard error.
    void (*notices)(bool live) = nullptr;

    // The frame loop.
    // One frame's picture at the timeline's time; null: the blocks over a
    // cleared frame, then the 2D view for the overlay.
    void (*draw)(Timeline* timeline) = nullptr;
    // After a seek, for blocks that keep state across frames.
    void (*after_seek)(Timeline* timeline) = nullptr;
    // The benchmark's name and title of what plays at `time`; null: the
    // timeline's blocks are "block1", "block2" and so on in their order.
    void (*name_block)(int64_t time, const char** name, const char** title) = nullptr;
};
