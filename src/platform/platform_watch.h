// Which files under a folder tree were written, from the kernel's file
// notification (inotify on Linux). Reading it never blocks: with nothing
// changed it is one system call.
#pragma once

#include <string>
#include <vector>

struct PlatformWatch;

// Watches root and every folder below it, and folders made or moved in
// later. Null, with the reason in *error, when the kernel refuses.
PlatformWatch* platform_watch_open(const std::string& root, std::string* error);
void platform_watch_close(PlatformWatch* watch);
// Watches one more folder, without those below it: a file loaded from
// outside the root. False when the kernel refuses.
bool platform_watch_add(PlatformWatch* watch, const std::string& folder);

// Appends the files written (closed after writing) or moved into place
// since the last call, as root + "/" + the path below it, in the order the
// kernel told them; a file may come more than once. A folder moved in
// brings every file in it. False when the kernel dropped notifications
// (its queue ran over): then any file may have changed.
bool platform_watch_read(PlatformWatch* watch, std::vector<std::string>* changed);

// Folders watched now (tests).
int platform_watch_folder_count(const PlatformWatch* watch);
