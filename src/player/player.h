// The frame loop every demo on the engine shares, with what comes before
// and after it: the command line, the content root and the report, the
// window, the vertex profiles and the font, the music and its clock; then
// live playback with its keys and overlay, or an off-line capture or
// benchmark; then shutdown. A demo loads its things and makes its blocks in
// between:
//
//   Player player;
//   if (!player_open(&player, {.name = "mine", .title = "My demo"}, argc, argv)) return player.status;
//   ... load, make the blocks, put them on a timeline ...
//   int status = player_run(&player, &timeline);
//   ... free what was made while the GL context is still there ...
//   return player_close(&player, status);
//
// Nothing here ends the process: every step returns the exit status.
#pragma once

#include "demo/demoblock.h"
#include "player/frame_driver.h"
#include "player/playback.h"
#include "player/player_options.h"
#include "player/player_setup.h"

#include <functional>

struct Player {
    PlayerSetup setup;
    PlayerOptions options;
    FrameDriver frames;
    Playback playback;
    float music_time = 0; // the music position read at the end of the last frame
    // The block whose glow the benchmark times on its own after the frames;
    // null: none is timed.
    demoblock* benchmark_glow = nullptr;
    int status = 0; // the exit status when player_open or one of its steps says to stop
};

// One pass of a loop that keeps its own time (the scene viewer).
struct PlayerLoop {
    std::function<bool()> draw; // draws a frame; false ends the run before it is shown
    std::function<bool()> next; // after the frame is shown, for the next one; false ends the run
};

// Reads the command line (printing the usage or the version when asked),
// then chooses the content root and the report. False when the program ends
// here, with the exit status in player->status.
bool player_command_line(Player* player, const PlayerSetup& setup, int argc, const char* const* argv);
// The frame driver for the mode asked for, the window, the font, the vertex
// profiles and the sound device. False when the program ends here, with the
// exit status in player->status (the report says why).
bool player_start(Player* player);
// Both of the above.
bool player_open(Player* player, const PlayerSetup& setup, int argc, const char* const* argv);

// Plays the timeline to the music from its start (or --from), live or off
// line, until Escape, the end of the show or of the range. Returns the exit
// status the run earned; the window stays for the caller's clean-up.
int player_run(Player* player, Timeline* timeline);
// The same frame loop for a program that keeps its own time.
int player_loop(Player* player, const PlayerLoop& loop);

// When what the demo shows cannot be loaded: no output is left behind, the
// reason (`why`, else the report's fatal error) goes to standard error, and
// everything is shut down. Returns the exit status, 1.
int player_fail(Player* player, const char* why = nullptr);
// Shutdown: the sound, the vertex profiles, the font, the report, the window.
// Returns status when it is not 0, else the exit code a message asked for.
int player_close(Player* player, int status);
