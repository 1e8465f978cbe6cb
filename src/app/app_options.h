// The program's command line.
#pragma once

#include <string>

struct AppOptions {
    bool windowed = false;   // framed window (800 x 600, or --size) instead of the mode switch
    bool desktop = false;    // full screen at the desktop's resolution, no mode switch
    bool size_given = false; // --size: the window's size live, the output's off-line
    bool loop = false;       // live: start again from 0 where the demo would end
    int audio_delay_ms = 0;  // live: how late the sound reaches the ear (Bluetooth: 150-250)
    bool audio_delay_given = false;
    std::string data_dir;    // content root; empty: app_find_data_root()
    std::string report_path; // report log; empty: app_report_paths()

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

    // Scene viewer instead of the demo.
    std::string view_path; // --view: the .vscene file
    int scene_fps = 25;    // key frames per second of the viewed scene's animation

    bool help = false;
    bool version = false;
};

// Parses argv[1..]; on a bad command line returns false with the reason in
// *error (one line, no program name).
bool app_options_parse(int argc, const char* const* argv, AppOptions* out, std::string* error);

const char* app_options_usage();
const char* app_version_text();

// The content root when --data is not given, the first that holds
// scripts/vertexprofiles.vsl of: the working directory (*root "" so paths stay
// relative to it), exe_dir/../share/vantor (installed), exe_dir/content (the
// build folder). exe_dir is the program's own folder. Returns false when none
// does, with the places tried in *looked, comma-separated.
bool app_find_data_root(const std::string& exe_dir, std::string* root, std::string* looked);

// Where report.htm goes when --report is not given: the working directory,
// unless it is the home folder (a desktop launcher starts programs there);
// then $XDG_STATE_HOME/vantor/report.htm, by default
// $HOME/.local/state/vantor/report.htm. That is also the fallback for a
// working directory where the file cannot be created (empty when there is
// no such folder, or the report is already there). home and xdg_state_home
// may be null.
struct ReportPaths {
    std::string path;
    std::string fallback;
};
ReportPaths app_report_paths(const std::string& cwd, const char* home, const char* xdg_state_home);
