// The files the loaders read and how to read each of them again, for live
// reloading. A loader registers what it loaded (a texture object, a shader
// record, a scene record) with the file it came from; when the file changes,
// it is loaded again into that same record between two frames, and whoever
// wired things to the record gets a hook to wire them again.
//
// A file that no longer loads keeps its last good version in use; what is
// wrong goes to the report and is kept as text for the screen until the
// file loads again. Nothing during a reload opens a box or ends the run.
//
// Off unless a program asks for watching: until then registering does
// nothing and costs nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// What was loaded, by kind and which one.
enum ReloadKind {
    RELOAD_TEXTURE = 1, // id: the GL texture object every copy of the record shares
    RELOAD_SHADER = 2,  // id: the ShaderProgram record's address
    RELOAD_SCENE = 3,   // id: the Scene record's address
};

// Loads file again into what was registered. False, with what is wrong in
// *error, leaves the last good version in use. An error line may start
// with the line of the file it is about ("12: ..."); the file's name is
// put in front of every line.
using ReloadFn = std::function<bool(const std::string& file, std::string* error)>;

// Turns registration on or off; off also forgets every registration and error.
void reload_set_active(bool on);
bool reload_active();

// Replaces an earlier registration of the same kind and id, and drops its
// hooks: a record loaded afresh must be wired afresh too.
void reload_register(int kind, uintptr_t id, const std::string& file, ReloadFn reload);
// Runs after every successful reload of kind and id, in the order added.
void reload_add_hook(int kind, uintptr_t id, std::function<void()> hook);
// For records that are freed: their registration and hooks go.
void reload_forget(int kind, uintptr_t id);
bool reload_is_registered(int kind, uintptr_t id);

// Loads file again into everything registered for it. Returns how many
// registrations it tried (0 when nothing came from that file).
int reload_file(const std::string& file);
// For a loader that registered a file it could not load at all, so that
// saving it again loads it: the error shows until then.
void reload_note_failure(const std::string& file, const std::string& error);
// Every registered file again, after the watcher lost track of changes;
// returns how many files.
int reload_everything();

// One or more lines per file whose last reload failed, "file:line: message"
// or "file: message"; empty when every file loads.
const std::string& reload_error_text();

// The form files are registered and looked up by: absolute and without
// "." or ".." parts, so a watcher's names and a loader's names meet.
std::string reload_file_key(const std::string& file);
