// The one file that compiles tinygltf (and stb_image for its pictures), with
// file access fenced into the model's folder and image decoding bounded.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
// The engine's textures are small; a header claiming more is refused before
// any pixel memory is taken.
#define STBI_MAX_DIMENSIONS 8192
#include <stb_image.h>

#define TINYGLTF_IMPLEMENTATION
#define TINYGLTF_NO_INCLUDE_STB_IMAGE
#define TINYGLTF_NO_STB_IMAGE_WRITE
// No default file system: every read goes through the guard below.
#define TINYGLTF_NO_FS
// Its writer (never called) uses file streams without including them.
#include <fstream>

#include "gltf_internal.h"

#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// External files larger than this are not buffers or pictures we can use.
constexpr long kMaxExternalFile = 512L << 20;
constexpr long long kMaxPixels = 16LL << 20;

struct FsGuard {
    std::string base;      // as given, may be empty (no external files)
    std::string base_real; // canonical, for the symlink check
    std::string refused;   // the first reference that left the folder
};

// The part of `path` below the base folder, or empty when it is not below.
std::string below_base(const FsGuard& g, const std::string& path) {
    if (g.base.empty()) return std::string();
    std::string prefix = g.base;
    if (prefix.back() != '/') prefix += '/';
    if (path.compare(0, prefix.size(), prefix) != 0) return std::string();
    return path.substr(prefix.size());
}

// Relative, without "..", and (after links are followed) still inside. The
// first reference that fails is kept for the refusal; tinygltf's second try
// in the working directory is turned down without a word.
bool allowed(FsGuard* g, const std::string& path) {
    if (g->base.empty()) {
        if (g->refused.empty() && !path.empty() && path.compare(0, 2, "./") != 0) g->refused = path;
        return false;
    }
    std::string rel = below_base(*g, path);
    if (rel.empty() || rel.compare(0, 5, "data:") == 0) return false;
    bool ok = rel[0] != '/' && rel.find('\\') == std::string::npos;
    size_t start = 0;
    while (ok && start <= rel.size()) {
        size_t end = rel.find('/', start);
        if (end == std::string::npos) end = rel.size();
        if (end - start == 2 && rel.compare(start, 2, "..") == 0) ok = false;
        start = end + 1;
    }
    if (ok) {
        char* real = realpath(path.c_str(), nullptr);
        if (real) {
            std::string r(real);
            std::free(real);
            ok = r.compare(0, g->base_real.size() + 1, g->base_real + "/") == 0;
        }
    }
    if (!ok && g->refused.empty()) g->refused = rel;
    return ok;
}

bool guard_exists(const std::string& path, void* user) {
    FsGuard* g = static_cast<FsGuard*>(user);
    if (!allowed(g, path)) return false;
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string guard_expand(const std::string& path, void*) { return path; }

bool guard_read(std::vector<unsigned char>* out, std::string* err, const std::string& path, void* user) {
    FsGuard* g = static_cast<FsGuard*>(user);
    if (!allowed(g, path)) {
        if (err) *err += "refused";
        return false;
    }
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!f) {
        if (err) *err += "cannot open";
        return false;
    }
    if (std::fseek(f.get(), 0, SEEK_END) != 0) return false;
    long size = std::ftell(f.get());
    if (size < 0 || size > kMaxExternalFile) {
        if (err) *err += "too large";
        return false;
    }
    std::rewind(f.get());
    out->resize(static_cast<size_t>(size));
    if (size > 0 && std::fread(out->data(), 1, out->size(), f.get()) != out->size()) {
        if (err) *err += "short read";
        return false;
    }
    return true;
}

bool guard_write(std::string* err, const std::string&, const std::vector<unsigned char>&, void*) {
    if (err) *err += "writing is not allowed";
    return false;
}

[[maybe_unused]] bool guard_size(size_t* size, std::string* err, const std::string& path, void* user) {
    FsGuard* g = static_cast<FsGuard*>(user);
    struct stat st;
    if (!allowed(g, path) || stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        if (err) *err += "refused";
        return false;
    }
    *size = static_cast<size_t>(st.st_size);
    return true;
}

// tinygltf 2.9 added a size query and refuses a set of callbacks without
// it; 2.5 has no such member.
template <typename Fs> Fs guarded_fs(FsGuard* guard) {
    Fs fs{};
    fs.FileExists = guard_exists;
    fs.ExpandFilePath = guard_expand;
    fs.ReadWholeFile = guard_read;
    fs.WriteWholeFile = guard_write;
    if constexpr (requires { fs.GetFileSizeInBytes; }) fs.GetFileSizeInBytes = guard_size;
    fs.user_data = guard;
    return fs;
}

// Pictures become 8-bit RGBA whatever they were; anything but PNG and JPEG
// (or a picture too large) is left empty with a warning, and the material
// that uses it draws untextured.
bool load_image(tinygltf::Image* image, const int index, std::string*, std::string* warn, int, int,
                const unsigned char* bytes, int size, void*) {
    int w = 0, h = 0, comp = 0;
    bool known = stbi_info_from_memory(bytes, size, &w, &h, &comp) != 0;
    if (!known || w <= 0 || h <= 0 || static_cast<long long>(w) * h > kMaxPixels) {
        if (warn) *warn += "image " + std::to_string(index) + ": not a PNG or JPEG picture we can read\n";
        return true;
    }
    // A declared media type (data URI or buffer view) must be what the bytes are.
    bool png = size >= 4 && std::memcmp(bytes, "\x89PNG", 4) == 0;
    const char* actual = png ? "image/png" : "image/jpeg";
    if (!image->mimeType.empty() && image->mimeType != actual) {
        if (warn)
            *warn += "image " + std::to_string(index) + ": declared " + image->mimeType + " but holds " + actual + "\n";
        return true;
    }
    stbi_uc* px = stbi_load_from_memory(bytes, size, &w, &h, &comp, 4);
    if (!px) {
        if (warn) *warn += "image " + std::to_string(index) + ": " + stbi_failure_reason() + "\n";
        return true;
    }
    image->width = w;
    image->height = h;
    image->component = 4;
    image->bits = 8;
    image->pixel_type = TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE;
    image->image.assign(px, px + static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
    stbi_image_free(px);
    return true;
}

// tinygltf's messages may span lines; a refusal is one line.
std::string first_line(const std::string& text) {
    size_t start = text.find_first_not_of(" \n\r\t");
    if (start == std::string::npos) return std::string();
    size_t end = text.find_first_of("\n\r", start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

void split_lines(const std::string& text, std::vector<std::string>* lines) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = first_line(text.substr(start, end - start));
        if (!line.empty()) lines->push_back(line);
        start = end + 1;
    }
}

bool fail_json(std::string* error, const std::string& text) {
    *error = text;
    return false;
}

// Rules tinygltf's model no longer shows (it reads an empty array like a
// missing one): checked on the JSON text of a .gltf with tinygltf's own JSON
// library.
bool json_walk(const nlohmann::json& j, const std::string& path, int depth, std::string* error) {
    // glTF nests a handful of levels; anything deeper is not worth walking.
    if (depth > 64) {
        *error = "JSON nested too deeply at " + path.substr(0, 200);
        return false;
    }
    if (j.is_array()) {
        if (j.empty()) {
            *error = "empty array at " + path;
            return false;
        }
        for (size_t i = 0; i < j.size(); ++i)
            if (!json_walk(j[i], path + "/" + std::to_string(i), depth + 1, error)) return false;
    } else if (j.is_object()) {
        for (auto it = j.begin(); it != j.end(); ++it) {
            const std::string& key = it.key();
            std::string at = path + "/" + key;
            if (key == "extras") continue;
            if (key == "extensions" && !it->is_object()) {
                *error = "extensions at " + at + " is not an object";
                return false;
            }
            if ((key == "attributes" || path.find("/targets/") != std::string::npos) && it->is_object() &&
                it->empty()) {
                *error = "empty object at " + at;
                return false;
            }
            if (!json_walk(*it, at, depth + 1, error)) return false;
        }
        if (j.contains("byteOffset") && !j.contains("bufferView") && path.rfind("/accessors/", 0) == 0) {
            *error = "accessor at " + path + " has a byte offset but no buffer view";
            return false;
        }
        if (j.contains("perspective") && j.contains("orthographic")) {
            *error = "camera at " + path + " is both perspective and orthographic";
            return false;
        }
        if (j.contains("matrix") && (j.contains("translation") || j.contains("rotation") || j.contains("scale")) &&
            path.rfind("/nodes/", 0) == 0) {
            *error = "node at " + path + " has both a matrix and a translation, rotation or scale";
            return false;
        }
    }
    return true;
}

// A JSON pointer: empty, or "/"-separated parts where '~' only starts "~0" or "~1".
bool json_pointer_ok(const std::string& p) {
    if (!p.empty() && p[0] != '/') return false;
    for (size_t i = 0; i < p.size(); ++i)
        if (p[i] == '~' && (i + 1 >= p.size() || (p[i + 1] != '0' && p[i + 1] != '1'))) return false;
    return true;
}

// tinygltf drops an animation channel whose target names no node, which is
// every channel an animation pointer drives, so those are checked here.
bool check_pointer_channels(const nlohmann::json& doc, std::string* error) {
    const char* const kExt = "KHR_animation_pointer";
    auto ext_of = [&](const nlohmann::json& o) -> const nlohmann::json* {
        if (!o.is_object() || !o.contains("extensions") || !o["extensions"].is_object()) return nullptr;
        return o["extensions"].contains(kExt) ? &o["extensions"][kExt] : nullptr;
    };
    if (!doc.contains("animations")) return true;
    for (size_t a = 0; a < doc["animations"].size(); ++a) {
        const nlohmann::json& anim = doc["animations"][a];
        if (!anim.is_object() || !anim.contains("channels") || !anim["channels"].is_array()) continue;
        for (size_t c = 0; c < anim["channels"].size(); ++c) {
            const nlohmann::json& channel = anim["channels"][c];
            std::string what = "animation " + std::to_string(a) + " channel " + std::to_string(c);
            if (ext_of(channel)) return fail_json(error, what + ": " + kExt + " belongs on its target");
            if (!channel.is_object() || !channel.contains("target")) continue;
            const nlohmann::json* ext = ext_of(channel["target"]);
            if (!ext) continue;
            const nlohmann::json* pointer = ext->is_object() && ext->contains("pointer") ? &(*ext)["pointer"] : nullptr;
            if (!pointer || !pointer->is_string() || !json_pointer_ok(pointer->get<std::string>()))
                return fail_json(error, what + " has no valid animation pointer");
            if (channel["target"].value("path", std::string()) != "pointer")
                return fail_json(error, what + " has an animation pointer but its path is not 'pointer'");
        }
    }
    return true;
}

bool check_json_text(const uint8_t* data, size_t size, std::string* error) {
    static const char* const kCollections[] = {
        "accessors", "animations", "buffers",  "bufferViews",    "cameras",
        "images",    "materials",  "meshes",   "nodes",          "samplers",
        "scenes",    "skins",      "textures", "extensionsUsed", "extensionsRequired"};
    nlohmann::json doc = nlohmann::json::parse(data, data + size, nullptr, false);
    if (doc.is_discarded() || !doc.is_object()) return true; // tinygltf says what is wrong
    for (const char* name : kCollections)
        if (doc.contains(name) && !doc[name].is_array()) {
            *error = std::string(name) + " is not an array";
            return false;
        }
    return json_walk(doc, "", 0, error) && check_pointer_channels(doc, error);
}

// tinygltf copies "extras" and extension values recursively, so a file of
// deeply nested brackets would run it out of stack. Measured first with
// the JSON library's event parser, which keeps no stack of its own.
constexpr int kMaxDepth = 100;

struct DepthGuard : nlohmann::json_sax<nlohmann::json> {
    int depth = 0;
    bool too_deep = false;
    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t&) override { return true; }
    bool string(string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool key(string_t&) override { return true; }
    bool start_object(std::size_t) override { return enter(); }
    bool end_object() override { return leave(); }
    bool start_array(std::size_t) override { return enter(); }
    bool end_array() override { return leave(); }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }
    bool enter() {
        if (++depth <= kMaxDepth) return true;
        too_deep = true;
        return false;
    }
    bool leave() {
        --depth;
        return true;
    }
};

// The JSON of a .glb starts right after its 20 bytes of headers; whatever
// follows it (the binary chunk) is not looked at.
bool nested_too_deeply(const uint8_t* data, size_t size, bool binary) {
    if (binary && size <= 20) return false;
    const uint8_t* first = binary ? data + 20 : data;
    DepthGuard guard;
    nlohmann::json::sax_parse(first, data + size, &guard, nlohmann::json::input_format_t::json, false);
    return guard.too_deep;
}

uint32_t le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

// tinygltf reads the first two chunks of a .glb and looks no further, nor at
// their alignment: the layout is checked here. Bytes past the declared
// length are left alone, as the format allows.
bool check_glb_layout(const uint8_t* data, size_t size, std::string* error) {
    const uint32_t kJson = 0x4E4F534A, kBin = 0x004E4942;
    if (size < 12) return fail_json(error, "the GLB header is cut short");
    if (le32(data + 4) != 2) return fail_json(error, "GLB version " + std::to_string(le32(data + 4)) + " is not 2");
    size_t length = le32(data + 8);
    if (length < 12 || length > size)
        return fail_json(error, "the GLB length " + std::to_string(length) + " does not fit the file's " +
                                    std::to_string(size) + " bytes");
    int chunks = 0;
    for (size_t at = 12; at < length; ++chunks) {
        std::string where = "GLB chunk " + std::to_string(chunks);
        if (length - at < 8) return fail_json(error, where + " has a header cut short");
        size_t chunk = le32(data + at);
        uint32_t type = le32(data + at + 4);
        if (chunk > length - at - 8) return fail_json(error, where + " runs past the end of the file");
        if (chunk % 4 != 0) return fail_json(error, where + " has a length that is not a multiple of 4");
        if ((chunks == 0) != (type == kJson)) return fail_json(error, "the GLB must hold one JSON chunk, first");
        if (type == kBin && chunks != 1) return fail_json(error, "the GLB's BIN chunk must directly follow its JSON");
        at += 8 + chunk;
    }
    if (chunks == 0) return fail_json(error, "the GLB has no JSON chunk");
    return true;
}

bool starts_with_bom(const uint8_t* p, size_t size) {
    return size >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF;
}

} // namespace

bool gltf_read_model(const uint8_t* data, size_t size, const std::string& base_dir, tinygltf::Model* model,
                     std::vector<std::string>* warnings, std::string* error) {
    if (size == 0 || size > static_cast<size_t>(UINT_MAX)) {
        *error = "not a glTF file (empty or too large)";
        return false;
    }
    FsGuard guard;
    guard.base = base_dir;
    if (!base_dir.empty()) {
        char* real = realpath(base_dir.c_str(), nullptr);
        if (!real) {
            *error = "cannot open the model's folder '" + base_dir + "'";
            return false;
        }
        guard.base_real = real;
        std::free(real);
    }
    tinygltf::TinyGLTF loader;
    loader.SetFsCallbacks(guarded_fs<tinygltf::FsCallbacks>(&guard));
    loader.SetImageLoader(load_image, nullptr);
    std::string err, warn;
    bool ok = false;
    bool binary = size >= 4 && std::memcmp(data, "glTF", 4) == 0;
    if (binary && !check_glb_layout(data, size, error)) return false;
    // JSON forbids a byte order mark; a binary file's JSON starts at byte 20.
    if (binary ? size > 20 && starts_with_bom(data + 20, size - 20) : starts_with_bom(data, size)) {
        *error = "the JSON starts with a byte order mark";
        return false;
    }
    if (nested_too_deeply(data, size, binary)) {
        *error = "the JSON nests deeper than " + std::to_string(kMaxDepth) + " levels";
        return false;
    }
    GltfPrepared prep;
    try {
        if (!gltf_prepare(data, size, binary, &prep, error)) return false;
        const uint8_t* bytes = prep.bytes.empty() ? data : prep.bytes.data();
        size_t length = prep.bytes.empty() ? size : prep.bytes.size();
        if (length > static_cast<size_t>(UINT_MAX)) {
            *error = "the mended model is too large";
            return false;
        }
        if (binary) {
            ok = loader.LoadBinaryFromMemory(model, &err, &warn, bytes, static_cast<unsigned int>(length), base_dir);
        } else {
            ok = loader.LoadASCIIFromString(model, &err, &warn, reinterpret_cast<const char*>(bytes),
                                            static_cast<unsigned int>(length), base_dir);
        }
    } catch (const std::exception& e) {
        ok = false;
        err = std::string("parse error: ") + e.what();
    }
    if (!guard.refused.empty()) {
        *error = guard.base.empty() ? "uri '" + guard.refused + "': no external files when reading from memory"
                                    : "uri '" + guard.refused + "' leaves the model's folder";
        return false;
    }
    if (!ok) {
        std::string line = first_line(err);
        *error = line.empty() ? "not a glTF 2.0 file" : line;
        return false;
    }
    if (!gltf_prepare_finish(prep, model, error)) return false;
    std::vector<std::string> lines;
    split_lines(warn, &lines);
    for (const std::string& line : lines) {
        // A picture the model names but that cannot be had is a broken model.
        if (line.rfind("Failed to load external 'uri' for image", 0) == 0 || line.rfind("image ", 0) == 0) {
            *error = line;
            return false;
        }
        if (line.rfind("File not found", 0) == 0) continue; // followed by the line above
        warnings->push_back(line);
    }
    if (!binary) {
        try {
            if (!check_json_text(data, size, error)) return false;
        } catch (const std::exception& e) {
            *error = std::string("parse error: ") + e.what();
            return false;
        }
    }
    return true;
}
