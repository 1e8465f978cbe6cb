#include "platform/platform_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <unordered_map>

struct PlatformWatch {
    int fd = -1;
    int root_depth = 0;                           // slashes in the root's path
    std::unordered_map<int, std::string> folders; // watch descriptor -> folder path
};

namespace {

// A file is worth reading again once its writer closed it or it was moved
// into place (editors that save through a temporary file); creation alone
// would hand over a file still being written. Folders made, moved in or
// moved away change what is watched.
constexpr uint32_t folder_events = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_ONLYDIR;

// Deeper trees than this are not content; the limit also ends any loop.
constexpr int max_depth = 32;

// Watches the folder and those below it. With `found`, the files already
// in them are handed over as changed: they may have been written before
// the watch was in place.
void add_folder(PlatformWatch* watch, const std::string& path, std::vector<std::string>* found, int depth) {
    if (depth > max_depth) return;
    int wd = inotify_add_watch(watch->fd, path.c_str(), folder_events);
    if (wd < 0) return;
    watch->folders[wd] = path;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code type_ec;
        const std::string child = path + "/" + it->path().filename().string();
        if (it->is_directory(type_ec) && !it->is_symlink(type_ec)) add_folder(watch, child, found, depth + 1);
        else if (found && it->is_regular_file(type_ec)) found->push_back(child);
    }
}

int slashes(const std::string& path) {
    int n = 0;
    for (char c : path) n += c == '/';
    return n;
}

// A folder moved away: its watches would name files by where it was.
void drop_folder(PlatformWatch* watch, const std::string& path) {
    const std::string below = path + "/";
    for (auto it = watch->folders.begin(); it != watch->folders.end();) {
        if (it->second == path || it->second.compare(0, below.size(), below) == 0) {
            inotify_rm_watch(watch->fd, it->first);
            it = watch->folders.erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace

PlatformWatch* platform_watch_open(const std::string& root, std::string* error) {
    int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0) {
        if (error) *error = std::string("inotify: ") + std::strerror(errno);
        return nullptr;
    }
    auto* watch = new PlatformWatch;
    watch->fd = fd;
    std::string top = root.empty() ? "." : root;
    while (top.size() > 1 && top.back() == '/') top.pop_back();
    watch->root_depth = slashes(top);
    add_folder(watch, top, nullptr, 0);
    if (watch->folders.empty()) {
        if (error) *error = top + ": " + std::strerror(errno);
        platform_watch_close(watch);
        return nullptr;
    }
    return watch;
}

void platform_watch_close(PlatformWatch* watch) {
    if (!watch) return;
    close(watch->fd);
    delete watch;
}

bool platform_watch_add(PlatformWatch* watch, const std::string& folder) {
    if (!watch) return false;
    // Only files: its subfolders are not content. IN_MASK_ADD keeps what a
    // watch of the same folder already asked for.
    int wd = inotify_add_watch(watch->fd, folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO | IN_MASK_ADD);
    if (wd < 0) return false;
    watch->folders.emplace(wd, folder);
    return true;
}

bool platform_watch_read(PlatformWatch* watch, std::vector<std::string>* changed) {
    if (!watch) return true;
    bool complete = true;
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        ssize_t got = read(watch->fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break; // EAGAIN: nothing (more) to read
        const char* p = buffer;
        const char* end = buffer + got;
        while (end - p >= static_cast<ptrdiff_t>(sizeof(inotify_event))) {
            inotify_event event;
            std::memcpy(&event, p, sizeof event);
            const char* name = p + sizeof event;
            if (event.len > static_cast<size_t>(end - name)) break;
            p = name + event.len;
            if (event.mask & IN_Q_OVERFLOW) {
                complete = false;
                continue;
            }
            if (event.mask & IN_IGNORED) {
                watch->folders.erase(event.wd);
                continue;
            }
            auto folder = watch->folders.find(event.wd);
            if (folder == watch->folders.end() || event.len == 0) continue;
            // The name is padded with zeros to its length.
            const std::string path = folder->second + "/" + std::string(name, strnlen(name, event.len));
            if (event.mask & IN_ISDIR) {
                if (event.mask & IN_MOVED_FROM) drop_folder(watch, path);
                else if (event.mask & (IN_CREATE | IN_MOVED_TO))
                    add_folder(watch, path, changed, slashes(path) - watch->root_depth);
                continue;
            }
            if (event.mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) changed->push_back(path);
        }
    }
    return complete;
}

int platform_watch_folder_count(const PlatformWatch* watch) {
    return watch ? static_cast<int>(watch->folders.size()) : 0;
}
