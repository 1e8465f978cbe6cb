#include "shell/reload_watch.h"

#include "core/log.h"
#include "platform/platform_watch.h"

#include <algorithm>
#include <filesystem>
#include <vector>

namespace {

struct WatchState {
    PlatformWatch* watch = nullptr;
    std::string root;                 // as reload_file_key spells it
    std::vector<std::string> changed; // kept between polls so a poll allocates nothing
};
WatchState watching;

} // namespace

bool reload_watch_start(const std::string& root) {
    reload_watch_stop();
    std::string error;
    const std::string top = reload_file_key(root.empty() ? "." : root);
    watching.watch = platform_watch_open(top, &error);
    watching.root = top;
    if (!watching.watch) {
        log_write_at(LOG_ERROR, "Reload [\"%s\"] Cannot Watch (%s), edits are not picked up !", top.c_str(),
                     error.c_str());
        return false;
    }
    reload_set_active(true);
    log_write_at(LOG_INFO, "Reload [\"%s\" %d folders] Watching !", top.c_str(),
                 platform_watch_folder_count(watching.watch));
    return true;
}

bool reload_watch_add_file(const std::string& file) {
    if (!watching.watch) return false;
    const std::string folder = std::filesystem::path(reload_file_key(file)).parent_path().string();
    const std::string& root = watching.root;
    // The root's tree is watched already; a second name for one of its
    // folders would only report its files twice.
    if (folder == root || (folder.size() > root.size() && folder.compare(0, root.size(), root) == 0 &&
                           (root.back() == '/' || folder[root.size()] == '/')))
        return true;
    if (platform_watch_add(watching.watch, folder)) return true;
    log_write_at(LOG_ERROR, "Reload [\"%s\"] Cannot Watch, edits are not picked up !", folder.c_str());
    return false;
}

int reload_watch_poll() {
    if (!watching.watch) return 0;
    watching.changed.clear();
    const bool complete = platform_watch_read(watching.watch, &watching.changed);
    if (!complete) {
        // The kernel dropped some news: anything may have changed.
        return reload_everything();
    }
    if (watching.changed.empty()) return 0;
    // An editor's save can close the file more than once; load it once.
    std::vector<std::string>& files = watching.changed;
    for (std::string& file : files) file = reload_file_key(file);
    std::sort(files.begin(), files.end());
    files.erase(std::unique(files.begin(), files.end()), files.end());
    int loaded = 0;
    for (const std::string& file : files) loaded += reload_file(file) > 0;
    return loaded;
}

void reload_watch_stop() {
    if (!watching.watch) return;
    platform_watch_close(watching.watch);
    watching.watch = nullptr;
    reload_set_active(false);
}

bool reload_watch_running() { return watching.watch != nullptr; }
