// The command line every demo on the player shares: the window, the start,
// the off-line modes, where the content and the report go.
#pragma once

#include "player/player_setup.h"

#include <string>
#include <string_view>
#include <vector>

struct PlayerOptions {
    bool windowed = false;   // framed window (800 x 600, or --size) instead of the mode switch
    bool desktop = false;    // full screen at the desktop's resolution, no mode switch
    bool size_given = false; // --size: the window's size live, the output's off-line
    bool loop = false;       // live: start again from 0 where the demo would end
    int audio_delay_ms = 0;  // live: how late the sound reaches the ear (Bluetooth: 150-250)
    bool audio_delay_given = false;
    bool watch = false;      // live: load content files again when they are saved
    std::string data_dir;    // content root; empty: player_find_data_root()
    std::string report_path; // report log; empty: player_report_paths()

    // Off-line rendering (capture or benchmark): no display, no audio device.
    bool capture = false;
    std::string capture_out; // .mp4/.mkv/.webm: a video; anything else: a PNG directory
    bool benchmark = false;
    bool json = false;
    int fps = 60;
    int width = 800;
    int height = 600;
    int from_ms = 0; // live too: where playback starts
    int to_ms = 100000;
    bool offline_options = false; // --fps or --to (off-line only) was given

    std::vector<std::string> arguments; // the words that are not options, as many as the setup names

    bool help = false;
    bool version = false;
};

// Parses argv[1..] with the setup's own options and its count of arguments;
// on a bad command line returns false with the reason in *error (one line,
// no program name) and *out untouched.
bool player_options_parse(int argc, const char* const* argv, const PlayerSetup& setup, PlayerOptions* out,
                          std::string* error);

std::string player_options_usage(const PlayerSetup& setup);
// A whole decimal number from min to max, for programs' own options too.
bool player_parse_int(std::string_view text, int min, int max, int* out);
std::string player_version_text(const PlayerSetup& setup);

// The content root when --data is not given, the first that holds
// scripts/vertexprofiles.vsl of: the working directory (*root "" so paths stay
// relative to it), exe_dir/../share/vantor (installed), exe_dir/content (the
// build folder), then `fallback` when there is one. exe_dir is the program's
// own folder. Returns false when none does, with the places tried in
// *looked, comma-separated.
bool player_find_data_root(const std::string& exe_dir, const char* fallback, std::string* root, std::string* looked);

// Where report.htm goes when --report is not given: the working directory,
// unless it is the home folder (a desktop launcher starts programs there);
// then $XDG_STATE_HOME/<name>/report.htm, by default
// $HOME/.local/state/<name>/report.htm. That is also the fallback for a
// working directory where the file cannot be created (empty when there is
// no such folder, or the report is already there). home and xdg_state_home
// may be null.
struct ReportPaths {
    std::string path;
    std::string fallback;
};
ReportPaths player_report_paths(const std::string& cwd, const char* home, const char* xdg_state_home, const char* name);
