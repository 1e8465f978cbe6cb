#include "core/reload.h"

#include "core/log.h"
#include "core/notice.h"
#include "core/paths.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <utility>
#include <vector>

namespace {

// The screen shows this many lines of one file's error; the report gets all.
constexpr int shown_lines_per_file = 8;

struct Registration {
    int kind;
    uintptr_t id;
    std::string file; // key form
    ReloadFn reload;
};

struct Hook {
    int kind;
    uintptr_t id;
    std::function<void()> run;
};

struct ReloadState {
    bool active = false;
    std::vector<Registration> registrations;
    std::vector<Hook> hooks;
    std::map<std::string, std::string> errors; // file key -> lines for the screen
    std::string error_text;
    int depth = 0;        // reload_file calls in progress (a hook may load)
    std::string captured; // what loaders tried to put in a box meanwhile
    NoticeHooks borrowed; // the program's hooks, back after the reload
};
ReloadState state;

void capture_box(const char* text, const char* caption) {
    std::string line = std::string(caption ? caption : "") + ": " + (text ? text : "");
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    if (!state.captured.empty()) state.captured += '\n';
    state.captured += line;
}

// A reload answers every dialog itself: OK, never "end the program".
NoticeAnswer capture_dialog(const char* text, const char* caption) {
    capture_box(text, caption);
    return NOTICE_OK;
}

// The file as people know it: relative to the content root where it lies below.
std::string shown_name(const std::string& key) {
    std::string root = reload_file_key(path_data("."));
    if (!root.empty() && root.back() != '/') root += '/';
    if (key.size() > root.size() && key.compare(0, root.size(), root) == 0) return key.substr(root.size());
    return key;
}

bool starts_with_line_number(const std::string& line) {
    size_t digits = 0;
    while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9') ++digits;
    return digits > 0 && digits < line.size() && line[digits] == ':';
}

// "name:12: message" where the line is known, "name: message" otherwise.
std::vector<std::string> error_lines(const std::string& name, const std::string& error) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at <= error.size()) {
        size_t end = error.find('\n', at);
        if (end == std::string::npos) end = error.size();
        std::string line = error.substr(at, end - at);
        if (!line.empty()) lines.push_back(name + (starts_with_line_number(line) ? ":" : ": ") + line);
        at = end + 1;
    }
    if (lines.empty()) lines.push_back(name + ": does not load");
    return lines;
}

void rebuild_error_text() {
    state.error_text.clear();
    for (const auto& [file, text] : state.errors) {
        if (!state.error_text.empty()) state.error_text += '\n';
        state.error_text += text;
    }
}

// Report lines from here leave the level the next loader line takes alone.
void report(int level, const std::string& text) { log_write_at(level, "%s", text.c_str()); }

// What is wrong with a file, for the report and, until it loads, the screen.
void record_failure(const std::string& key, const std::string& headline, const std::string& failure) {
    const std::string name = shown_name(key);
    std::vector<std::string> lines = error_lines(name, failure);
    report(LOG_ERROR, "Reload [\"" + name + "\"] " + headline);
    std::string shown;
    for (size_t i = 0; i < lines.size(); ++i) {
        report(LOG_ERROR, "Reload [" + lines[i] + "]");
        if (static_cast<int>(i) >= shown_lines_per_file) continue;
        if (!shown.empty()) shown += '\n';
        shown += lines[i];
    }
    state.errors[key] = shown;
}

void forget(int kind, uintptr_t id) {
    std::vector<std::string> files;
    std::erase_if(state.registrations, [&](const Registration& r) {
        if (r.kind != kind || r.id != id) return false;
        files.push_back(r.file);
        return true;
    });
    std::erase_if(state.hooks, [&](const Hook& h) { return h.kind == kind && h.id == id; });
    // An error about a file nothing uses any more is no news to show.
    bool dropped = false;
    for (const std::string& file : files) {
        bool used = std::any_of(state.registrations.begin(), state.registrations.end(),
                                [&](const Registration& r) { return r.file == file; });
        if (!used) dropped |= state.errors.erase(file) > 0;
    }
    if (dropped) rebuild_error_text();
}

// One registration again, with its hooks after a success.
bool reload_one(int kind, uintptr_t id, const std::string& file, std::string* error) {
    ReloadFn reload;
    for (const Registration& r : state.registrations)
        if (r.kind == kind && r.id == id && r.file == file) reload = r.reload;
    // Gone meanwhile: an earlier reload of this round freed the record.
    if (!reload) return true;
    if (!reload(file, error)) return false;
    std::vector<std::function<void()>> runs;
    for (const Hook& h : state.hooks)
        if (h.kind == kind && h.id == id) runs.push_back(h.run);
    for (const auto& run : runs) run();
    return true;
}

} // namespace

std::string reload_file_key(const std::string& file) {
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(file, ec);
    if (ec) return file;
    return absolute.lexically_normal().string();
}

void reload_set_active(bool on) {
    state.active = on;
    if (on) return;
    state.registrations.clear();
    state.hooks.clear();
    state.errors.clear();
    state.error_text.clear();
}

bool reload_active() { return state.active; }

void reload_register(int kind, uintptr_t id, const std::string& file, ReloadFn reload) {
    if (!state.active) return;
    forget(kind, id);
    state.registrations.push_back(Registration{kind, id, reload_file_key(file), std::move(reload)});
}

void reload_add_hook(int kind, uintptr_t id, std::function<void()> hook) {
    if (!state.active) return;
    state.hooks.push_back(Hook{kind, id, std::move(hook)});
}

void reload_forget(int kind, uintptr_t id) {
    if (!state.active) return;
    forget(kind, id);
}

bool reload_is_registered(int kind, uintptr_t id) {
    for (const Registration& r : state.registrations)
        if (r.kind == kind && r.id == id) return true;
    return false;
}

int reload_file(const std::string& file) {
    if (!state.active) return 0;
    const std::string key = reload_file_key(file);
    // Reloading frees and registers records (a scene's textures), so the
    // list is walked by what it held when the round began.
    std::vector<std::pair<int, uintptr_t>> todo;
    for (const Registration& r : state.registrations)
        if (r.file == key) todo.emplace_back(r.kind, r.id);
    if (todo.empty()) return 0;

    if (state.depth++ == 0) {
        state.captured.clear();
        state.borrowed = notice_get_hooks();
        notice_set_hooks(NoticeHooks{capture_box, capture_dialog});
    }
    bool failed = false;
    std::string failure;
    for (const auto& [kind, id] : todo) {
        std::string error;
        if (reload_one(kind, id, key, &error) || failed) continue;
        failed = true;
        failure = error;
    }
    std::string captured;
    if (--state.depth == 0) {
        notice_set_hooks(state.borrowed);
        captured.swap(state.captured);
    }

    const std::string name = shown_name(key);
    const bool had_error = state.errors.erase(key) > 0;
    if (failed) {
        if (!captured.empty()) failure += (failure.empty() ? "" : "\n") + captured;
        record_failure(key, "Not Loaded, the last good version stays in use !", failure);
    } else {
        // Without a failure, what a loader would have put in a box is still worth a line.
        if (!captured.empty()) report(LOG_ERROR, "Reload [\"" + name + "\"] " + captured);
        if (had_error) report(LOG_OK, "Reload [\"" + name + "\"] Loads Again !");
    }
    rebuild_error_text();
    return static_cast<int>(todo.size());
}

void reload_note_failure(const std::string& file, const std::string& error) {
    if (!state.active) return;
    record_failure(reload_file_key(file), "Not Loaded, shown when it loads !", error);
    rebuild_error_text();
}

int reload_everything() {
    std::vector<std::string> files;
    for (const Registration& r : state.registrations)
        if (std::find(files.begin(), files.end(), r.file) == files.end()) files.push_back(r.file);
    for (const std::string& file : files) reload_file(file);
    return static_cast<int>(files.size());
}

const std::string& reload_error_text() { return state.error_text; }

