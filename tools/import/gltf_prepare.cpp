// The JSON mended before tinygltf reads it, where tinygltf refuses what glTF
// allows: buffers without a uri, accessors without a buffer view used as
// indices, unused accessors of a type glTF does not know yet, and data URIs
// that are not base64. A file that needs none of it goes through untouched.
// Whatever the mending leaves malformed, tinygltf and the checks refuse.
#include "gltf_internal.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <set>

namespace {

using nlohmann::json;

// Zeros stood in for bytes the file does not hold, all buffers together:
// enough for any model, and a few bytes of JSON cannot make us allocate more.
constexpr uint64_t kMaxStandIn = 16u << 20;

const char kZeroUri[] = "data:application/octet-stream;base64,";

bool fail(std::string* error, const std::string& text) {
    *error = text;
    return false;
}

// A count, length or index as glTF writes it; 1.0 counts as 1.
bool whole(const json& j, uint64_t* out) {
    if (j.is_number_unsigned()) {
        *out = j.get<uint64_t>();
        return true;
    }
    if (!j.is_number_float()) return false;
    double d = j.get<double>();
    if (!(d >= 0 && d <= 9007199254740992.0) || d != std::floor(d)) return false;
    *out = static_cast<uint64_t>(d);
    return true;
}

// An index into `array` (a member of doc), or false.
bool index_into(const json& doc, const char* array, const json& ref, size_t* out) {
    uint64_t i = 0;
    if (!whole(ref, &i) || !doc.contains(array) || !doc[array].is_array() || i >= doc[array].size()) return false;
    *out = static_cast<size_t>(i);
    return true;
}

// A member as a whole number, `fallback` when it is absent.
bool whole_member(const json& o, const char* key, uint64_t fallback, uint64_t* out) {
    if (!o.contains(key)) {
        *out = fallback;
        return true;
    }
    return whole(o[key], out);
}

json* array_of(json& o, const char* key) {
    return o.is_object() && o.contains(key) && o[key].is_array() ? &o[key] : nullptr;
}

// Calls f on every member of `o` that holds an accessor index.
template <typename F> void each_index_member(json& o, F f) {
    if (!o.is_object()) return;
    for (auto it = o.begin(); it != o.end(); ++it) f(*it);
}

// Every place the core (and the one extension that does) names an accessor.
template <typename F> void each_accessor_ref(json& doc, F f) {
    if (json* meshes = array_of(doc, "meshes"))
        for (json& mesh : *meshes)
            if (json* prims = array_of(mesh, "primitives"))
                for (json& p : *prims) {
                    if (!p.is_object()) continue;
                    if (p.contains("attributes")) each_index_member(p["attributes"], f);
                    if (p.contains("indices")) f(p["indices"]);
                    if (json* targets = array_of(p, "targets"))
                        for (json& t : *targets) each_index_member(t, f);
                }
    if (json* skins = array_of(doc, "skins"))
        for (json& s : *skins)
            if (s.is_object() && s.contains("inverseBindMatrices")) f(s["inverseBindMatrices"]);
    if (json* anims = array_of(doc, "animations"))
        for (json& a : *anims)
            if (json* samplers = array_of(a, "samplers"))
                for (json& s : *samplers) {
                    if (!s.is_object()) continue;
                    if (s.contains("input")) f(s["input"]);
                    if (s.contains("output")) f(s["output"]);
                }
    if (json* nodes = array_of(doc, "nodes"))
        for (json& n : *nodes) {
            if (!n.is_object() || !n.contains("extensions") || !n["extensions"].is_object()) continue;
            json& ext = n["extensions"];
            if (ext.contains("EXT_mesh_gpu_instancing") && ext["EXT_mesh_gpu_instancing"].is_object() &&
                ext["EXT_mesh_gpu_instancing"].contains("attributes"))
                each_index_member(ext["EXT_mesh_gpu_instancing"]["attributes"], f);
        }
}

// The core's members that hold integers (indices, counts, lengths, enums).
bool integer_member(const std::string& key) {
    static const std::string kKeys =
        " buffer bufferView byteLength byteOffset byteStride camera children componentType count index indices input"
        " inverseBindMatrices joints magFilter material mesh minFilter mode node nodes output sampler scene skeleton"
        " skin source target texCoord wrapS wrapT ";
    return !key.empty() && key.find(' ') == std::string::npos && kKeys.find(" " + key + " ") != std::string::npos;
}

// glTF lets an integer be written as 1.0; tinygltf takes integers only,
// and drops or refuses the rest. Those of the core become integers (what
// extensions hold, the checks read either way).
bool whole_numbers_as_integers(json& j, const std::string& key, bool indices) {
    bool changed = false;
    if (j.is_object()) {
        for (auto it = j.begin(); it != j.end(); ++it)
            if (it.key() != "extras" && it.key() != "extensions")
                changed = whole_numbers_as_integers(*it, it.key(), key == "attributes" || key == "targets") || changed;
    } else if (j.is_array()) {
        for (json& item : j) changed = whole_numbers_as_integers(item, key, indices) || changed;
    } else if (j.is_number_float() && (indices || integer_member(key))) {
        uint64_t v = 0;
        if (whole(j, &v)) {
            j = v;
            changed = true;
        }
    }
    return changed;
}

bool known_type(const json& accessor) {
    static const char* const kTypes[] = {"SCALAR", "VEC2", "VEC3", "VEC4", "MAT2", "MAT3", "MAT4"};
    if (!accessor.is_object() || !accessor.contains("type") || !accessor["type"].is_string()) return true;
    const std::string t = accessor["type"].get<std::string>();
    for (const char* k : kTypes)
        if (t == k) return true;
    return false;
}

// glTF leaves unknown accessor types to later versions; tinygltf refuses
// them. One that nothing uses is dropped and the others renumbered.
bool drop_unknown_accessors(json& doc) {
    json* accessors = array_of(doc, "accessors");
    if (!accessors) return false;
    std::vector<bool> used(accessors->size(), false);
    each_accessor_ref(doc, [&](json& ref) {
        size_t i = 0;
        if (index_into(doc, "accessors", ref, &i)) used[i] = true;
    });
    std::vector<int64_t> renumber(accessors->size(), -1);
    json kept = json::array();
    for (size_t i = 0; i < accessors->size(); ++i) {
        if (!used[i] && !known_type((*accessors)[i])) continue;
        renumber[i] = static_cast<int64_t>(kept.size());
        kept.push_back((*accessors)[i]);
    }
    if (kept.size() == accessors->size()) return false;
    each_accessor_ref(doc, [&](json& ref) {
        size_t i = 0;
        if (index_into(doc, "accessors", ref, &i)) ref = renumber[i];
    });
    // An empty array is not glTF; no accessors is.
    if (kept.empty()) doc.erase("accessors");
    else doc["accessors"] = std::move(kept);
    return true;
}

std::string zero_uri(uint64_t bytes) {
    std::string uri = kZeroUri;
    uri.append(static_cast<size_t>(bytes / 3 * 4), 'A');
    if (bytes % 3 == 1) uri += "AA==";
    if (bytes % 3 == 2) uri += "AAA=";
    return uri;
}

std::string base64(const std::string& bytes) {
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t n = static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) << 16;
        if (i + 1 < bytes.size()) n |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + 1])) << 8;
        if (i + 2 < bytes.size()) n |= static_cast<uint8_t>(bytes[i + 2]);
        out += kDigits[n >> 18 & 63];
        out += kDigits[n >> 12 & 63];
        out += i + 1 < bytes.size() ? kDigits[n >> 6 & 63] : '=';
        out += i + 2 < bytes.size() ? kDigits[n & 63] : '=';
    }
    return out;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A data URI with its bytes written as (percent-encoded) text, rewritten in
// base64, the only form tinygltf decodes. False when `uri` is not one.
bool base64_form(const std::string& uri, std::string* out) {
    size_t comma = uri.find(',');
    if (uri.rfind("data:", 0) != 0 || comma == std::string::npos) return false;
    std::string header = uri.substr(0, comma);
    const std::string tag = ";base64";
    if (header.size() >= tag.size() && header.compare(header.size() - tag.size(), tag.size(), tag) == 0) return false;
    std::string bytes;
    for (size_t i = comma + 1; i < uri.size(); ++i) {
        if (uri[i] != '%') {
            bytes += uri[i];
            continue;
        }
        int hi = i + 2 < uri.size() ? hex_digit(uri[i + 1]) : -1;
        int lo = i + 2 < uri.size() ? hex_digit(uri[i + 2]) : -1;
        if (hi < 0 || lo < 0) return false;
        bytes += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    *out = header + tag + "," + base64(bytes);
    return true;
}

bool rewrite_text_uris(json& doc) {
    bool changed = false;
    for (const char* array : {"buffers", "images"}) {
        json* items = array_of(doc, array);
        if (!items) continue;
        for (json& item : *items) {
            std::string uri;
            if (!item.is_object() || !item.contains("uri") || !item["uri"].is_string() ||
                !base64_form(item["uri"].get<std::string>(), &uri))
                continue;
            item["uri"] = uri;
            changed = true;
        }
    }
    return changed;
}

// tinygltf hands an image's buffer view to the decoder without looking at
// its buffer's length; a view running past it would be read past the end.
bool check_image_views(const json& doc, std::string* error) {
    if (!doc.contains("images") || !doc["images"].is_array()) return true;
    for (size_t i = 0; i < doc["images"].size(); ++i) {
        const json& image = doc["images"][i];
        size_t v = 0, b = 0;
        if (!image.is_object() || !image.contains("bufferView") ||
            !index_into(doc, "bufferViews", image["bufferView"], &v))
            continue; // tinygltf refuses a view that does not exist
        const json& view = doc["bufferViews"][v];
        if (!view.is_object() || !view.contains("buffer") || !index_into(doc, "buffers", view["buffer"], &b) ||
            !doc["buffers"][b].is_object())
            continue; // and a buffer that does not exist
        uint64_t offset = 0, length = 0, size = 0;
        std::string what = "image " + std::to_string(i);
        if (!whole_member(view, "byteOffset", 0, &offset) || !whole_member(view, "byteLength", 0, &length) ||
            !whole_member(doc["buffers"][b], "byteLength", 0, &size))
            return fail(error, what + ": its buffer view or buffer has a malformed length");
        if (offset > size || length > size - offset)
            return fail(error, what + ": buffer view " + std::to_string(v) + " runs past the end of its buffer");
    }
    return true;
}

// A uri with a scheme of its own (http:, file:) names nothing in the
// model's folder, and the import fetches nothing from elsewhere.
bool names_elsewhere(const json& buffer) {
    if (!buffer.contains("uri") || !buffer["uri"].is_string()) return false;
    const std::string uri = buffer["uri"].get<std::string>();
    size_t colon = uri.find(':');
    if (colon == std::string::npos || colon == 0 || !std::isalpha(static_cast<unsigned char>(uri[0]))) return false;
    for (size_t i = 1; i < colon; ++i)
        if (!std::isalnum(static_cast<unsigned char>(uri[i])) && uri[i] != '+' && uri[i] != '-' && uri[i] != '.')
            return false;
    return uri.compare(0, 5, "data:") != 0;
}

// Buffers whose bytes the file does not hold: those without a uri past a
// GLB's first (its BIN chunk), which glTF leaves to others and tinygltf
// refuses, and unused ones kept elsewhere. Each becomes zeros of its length
// (one byte when no buffer view uses it), and the model marks them
// afterwards as holding nothing we know.
bool stand_in_buffers(json& doc, bool binary, GltfPrepared* out, uint64_t* budget, std::string* error) {
    json* buffers = array_of(doc, "buffers");
    if (!buffers) return true;
    std::vector<bool> viewed(buffers->size(), false);
    if (json* views = array_of(doc, "bufferViews"))
        for (const json& view : *views) {
            size_t b = 0;
            if (view.is_object() && view.contains("buffer") && index_into(doc, "buffers", view["buffer"], &b))
                viewed[b] = true;
        }
    for (size_t i = 0; i < buffers->size(); ++i) {
        json& buffer = (*buffers)[i];
        uint64_t length = 0;
        if (!buffer.is_object()) continue;
        bool without = !buffer.contains("uri") && !(binary && i == 0);
        if (!without && !(names_elsewhere(buffer) && !viewed[i])) continue;
        if (!buffer.contains("byteLength") || !whole(buffer["byteLength"], &length) || length == 0)
            continue; // malformed: tinygltf says so
        uint64_t fill = viewed[i] ? length : 1;
        if (fill > *budget)
            return fail(error, "buffer " + std::to_string(i) + ": its " + std::to_string(length) +
                                   " bytes are not in the file, and more than the import stands in for");
        *budget -= fill;
        buffer["uri"] = zero_uri(fill);
        buffer["byteLength"] = fill;
        out->stand_ins.push_back(static_cast<int>(i));
    }
    return true;
}

uint64_t component_bytes(const json& accessor) {
    uint64_t t = 0;
    if (!accessor.contains("componentType") || !whole(accessor["componentType"], &t)) return 8;
    if (t == 5120 || t == 5121) return 1;
    if (t == 5122 || t == 5123) return 2;
    return t == 5125 || t == 5126 ? 4 : 8;
}

uint64_t element_components(const json& accessor) {
    const std::string t =
        accessor.contains("type") && accessor["type"].is_string() ? accessor["type"].get<std::string>() : std::string();
    if (t == "SCALAR") return 1;
    if (t == "VEC2") return 2;
    if (t == "VEC3") return 3;
    if (t == "VEC4" || t == "MAT2") return 4;
    return t == "MAT3" ? 12 : 16; // MAT3 with its column padding at most
}

// An accessor without a buffer view is zeros, but tinygltf wants indices to
// have one: they get a view of zeros appended for the purpose, taken away
// again once tinygltf is done.
bool zero_view_for_indices(json& doc, GltfPrepared* out, uint64_t* budget, std::string* error) {
    std::set<size_t> viewless;
    if (json* meshes = array_of(doc, "meshes"))
        for (json& mesh : *meshes)
            if (json* prims = array_of(mesh, "primitives"))
                for (json& p : *prims) {
                    size_t a = 0;
                    if (p.is_object() && p.contains("indices") && index_into(doc, "accessors", p["indices"], &a) &&
                        doc["accessors"][a].is_object() && !doc["accessors"][a].contains("bufferView"))
                        viewless.insert(a);
                }
    if (viewless.empty()) return true;
    uint64_t need = 0;
    for (size_t a : viewless) {
        const json& accessor = doc["accessors"][a];
        uint64_t count = 0;
        if (!accessor.contains("count") || !whole(accessor["count"], &count) || count == 0) return true;
        uint64_t elem = component_bytes(accessor) * element_components(accessor);
        if (count > *budget / elem)
            return fail(error, "accessor " + std::to_string(a) + " has no buffer view, and its " +
                                   std::to_string(count) + " elements are more than the import stands in for");
        need = std::max(need, count * elem);
    }
    *budget -= need;
    if (!doc.contains("buffers")) doc["buffers"] = json::array();
    if (!doc.contains("bufferViews")) doc["bufferViews"] = json::array();
    if (!doc["buffers"].is_array() || !doc["bufferViews"].is_array()) return true;
    out->zero_buffer = static_cast<int>(doc["buffers"].size());
    out->zero_view = static_cast<int>(doc["bufferViews"].size());
    doc["buffers"].push_back({{"uri", zero_uri(need)}, {"byteLength", need}});
    doc["bufferViews"].push_back({{"buffer", out->zero_buffer}, {"byteLength", need}});
    for (size_t a : viewless) {
        doc["accessors"][a]["bufferView"] = out->zero_view;
        out->viewless.push_back(static_cast<int>(a));
    }
    return true;
}

uint32_t le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

void put_le32(std::vector<uint8_t>* out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// The JSON chunk replaced; the BIN chunk, when it follows, kept as it was.
// The layout has been checked (check_glb_layout).
bool repack_glb(const uint8_t* data, const std::string& text, std::vector<uint8_t>* out, std::string* error) {
    size_t length = le32(data + 8), json_length = le32(data + 12);
    size_t bin_at = 20 + json_length;
    size_t bin_length = bin_at + 8 <= length && le32(data + bin_at + 4) == 0x004E4942 ? 8 + le32(data + bin_at) : 0;
    size_t padded = (text.size() + 3) / 4 * 4;
    uint64_t total = 20 + static_cast<uint64_t>(padded) + bin_length;
    if (total > UINT32_MAX) return fail(error, "the mended GLB would be larger than 4 GiB");
    out->clear();
    out->insert(out->end(), data, data + 8);
    put_le32(out, static_cast<uint32_t>(total));
    put_le32(out, static_cast<uint32_t>(padded));
    put_le32(out, 0x4E4F534A);
    out->insert(out->end(), text.begin(), text.end());
    out->resize(20 + padded, ' ');
    out->insert(out->end(), data + bin_at, data + bin_at + bin_length);
    return true;
}

} // namespace

bool gltf_prepare(const uint8_t* data, size_t size, bool binary, GltfPrepared* out, std::string* error) {
    *out = GltfPrepared();
    const uint8_t* first = data;
    const uint8_t* last = data + size;
    if (binary) {
        if (size < 20) return true;
        first = data + 20;
        last = first + std::min<size_t>(le32(data + 12), size - 20);
    }
    json doc = json::parse(first, last, nullptr, false);
    if (doc.is_discarded() || !doc.is_object()) return true; // tinygltf says what is wrong
    if (!check_image_views(doc, error)) return false;
    uint64_t budget = kMaxStandIn;
    bool changed = whole_numbers_as_integers(doc, "", false);
    changed = rewrite_text_uris(doc) || changed;
    changed = drop_unknown_accessors(doc) || changed;
    if (!stand_in_buffers(doc, binary, out, &budget, error) || !zero_view_for_indices(doc, out, &budget, error))
        return false;
    if (!changed && out->stand_ins.empty() && out->viewless.empty()) return true;
    std::string text = doc.dump();
    if (binary) return repack_glb(data, text, &out->bytes, error);
    out->bytes.assign(text.begin(), text.end());
    return true;
}

bool gltf_prepare_finish(const GltfPrepared& prep, tinygltf::Model* model, std::string* error) {
    if (prep.zero_view >= 0) {
        if (model->bufferViews.size() != static_cast<size_t>(prep.zero_view) + 1 ||
            model->buffers.size() != static_cast<size_t>(prep.zero_buffer) + 1)
            return fail(error, "the model lost its appended zero buffer view");
        model->bufferViews.pop_back();
        model->buffers.pop_back();
        for (int a : prep.viewless)
            if (static_cast<size_t>(a) < model->accessors.size())
                model->accessors[static_cast<size_t>(a)].bufferView = -1;
    }
    std::vector<bool> stand_in(model->buffers.size(), false);
    for (int b : prep.stand_ins)
        if (static_cast<size_t>(b) < stand_in.size()) stand_in[static_cast<size_t>(b)] = true;
    // A stand-in's views are held to its length here, before its zeros go.
    for (size_t i = 0; i < model->bufferViews.size(); ++i) {
        const tinygltf::BufferView& bv = model->bufferViews[i];
        if (bv.buffer < 0 || static_cast<size_t>(bv.buffer) >= stand_in.size() || !stand_in[bv.buffer]) continue;
        size_t size = model->buffers[bv.buffer].data.size();
        if (bv.byteOffset > size || bv.byteLength > size - bv.byteOffset)
            return fail(error, gltf_label("buffer view", bv.name, i) + " does not fit its buffer");
    }
    for (size_t i = 0; i < model->buffers.size(); ++i) {
        tinygltf::Buffer& b = model->buffers[i];
        if (stand_in[i]) {
            b.uri.clear();
            b.data.clear();
            b.data.shrink_to_fit();
        } else if (b.data.empty()) {
            // Empty data marks a stand-in; a real buffer never has none.
            return fail(error, gltf_label("buffer", b.name, i) + " holds no bytes");
        }
    }
    return true;
}
