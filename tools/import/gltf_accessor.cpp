// Checked accessor reads: every offset, stride and count is proven to lie
// inside its buffer before a byte is read, in 64-bit arithmetic.
#include "gltf_internal.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>

namespace {

// More values than any mesh or animation the engine draws; also caps what
// an accessor without a buffer view (all zeros) may make us allocate.
constexpr uint64_t kMaxValues = 1u << 24;

// tinygltf 2.5 keeps sparse offsets as int, 2.9 as size_t: only a signed
// one can be negative.
template <typename T> bool negative(T value) {
    if constexpr (std::is_signed_v<T>) return value < 0;
    return false;
}

int component_size(int type) {
    switch (type) {
    case TINYGLTF_COMPONENT_TYPE_BYTE:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE: return 1;
    case TINYGLTF_COMPONENT_TYPE_SHORT:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: return 2;
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
    case TINYGLTF_COMPONENT_TYPE_FLOAT: return 4;
    default: return 0;
    }
}

// An element: `columns` columns of `rows` components of `type`.
struct Shape {
    int rows = 0;
    int columns = 1;
    int type = 0;
    int components() const { return rows * columns; }
};

Shape shape_of(int type, int component_type) {
    switch (type) {
    case TINYGLTF_TYPE_SCALAR: return {1, 1, component_type};
    case TINYGLTF_TYPE_VEC2: return {2, 1, component_type};
    case TINYGLTF_TYPE_VEC3: return {3, 1, component_type};
    case TINYGLTF_TYPE_VEC4: return {4, 1, component_type};
    case TINYGLTF_TYPE_MAT2: return {2, 2, component_type};
    case TINYGLTF_TYPE_MAT3: return {3, 3, component_type};
    case TINYGLTF_TYPE_MAT4: return {4, 4, component_type};
    default: return {0, 1, component_type};
    }
}

// Matrices of 1- and 2-byte components start each column on a 4-byte
// boundary.
uint64_t column_bytes(const Shape& s) {
    uint64_t bytes = static_cast<uint64_t>(component_size(s.type)) * static_cast<uint64_t>(s.rows);
    return s.columns > 1 ? (bytes + 3) / 4 * 4 : bytes;
}

double decode(const uint8_t* p, int type) {
    switch (type) {
    case TINYGLTF_COMPONENT_TYPE_BYTE: {
        int8_t v;
        std::memcpy(&v, p, 1);
        return v;
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE: return p[0];
    case TINYGLTF_COMPONENT_TYPE_SHORT: {
        int16_t v;
        std::memcpy(&v, p, 2);
        return v;
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
        uint16_t v;
        std::memcpy(&v, p, 2);
        return v;
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT: {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    default: {
        float v;
        std::memcpy(&v, p, 4);
        return v;
    }
    }
}

struct View {
    const uint8_t* bytes = nullptr; // null: the file does not hold them
    uint64_t size = 0;
    uint64_t stride = 0;
};

// The bytes of buffer view `index`, checked against its buffer.
bool view_of(const tinygltf::Model& m, int index, View* out, const std::string& what, std::string* error) {
    if (index < 0 || static_cast<size_t>(index) >= m.bufferViews.size()) {
        *error = what + ": buffer view " + std::to_string(index) + " does not exist";
        return false;
    }
    const tinygltf::BufferView& bv = m.bufferViews[static_cast<size_t>(index)];
    if (bv.buffer < 0 || static_cast<size_t>(bv.buffer) >= m.buffers.size()) {
        *error = what + ": buffer view " + std::to_string(index) + " names a buffer that does not exist";
        return false;
    }
    const std::vector<unsigned char>& data = m.buffers[static_cast<size_t>(bv.buffer)].data;
    uint64_t offset = bv.byteOffset, length = bv.byteLength;
    // A buffer without data stands in for one the file does not hold; its
    // views were held to its length when the file was read.
    if (!data.empty() && (offset > data.size() || length > data.size() - offset)) {
        *error = what + ": buffer view " + std::to_string(index) + " runs past the end of its buffer";
        return false;
    }
    out->bytes = data.empty() ? nullptr : data.data() + offset;
    out->size = length;
    out->stride = bv.byteStride;
    return true;
}

// Reads `count` elements of `shape` at `offset` in the view with `stride`
// (0: packed). Bounds checked; a view without bytes leaves *out as it is.
bool read_elements(const View& view, uint64_t offset, uint64_t stride, uint64_t count, const Shape& shape, double* out,
                   const std::string& what, std::string* error) {
    uint64_t cs = static_cast<uint64_t>(component_size(shape.type));
    uint64_t column = column_bytes(shape);
    uint64_t elem = column * static_cast<uint64_t>(shape.columns);
    if (stride == 0) stride = elem;
    if (stride < elem) {
        *error = what + ": byte stride " + std::to_string(stride) + " is shorter than an element";
        return false;
    }
    if (count > 0) {
        // The last column's padding may lie past the view's end.
        uint64_t last = elem - (column - cs * static_cast<uint64_t>(shape.rows));
        uint64_t need = offset + (count - 1) * stride + last; // count and stride are small enough not to wrap
        if (offset > view.size || need > view.size) {
            *error = what + ": " + std::to_string(count) + " elements do not fit in their buffer view";
            return false;
        }
    }
    if (!view.bytes) return true;
    for (uint64_t i = 0; i < count; ++i) {
        const uint8_t* p = view.bytes + offset + i * stride;
        for (int c = 0; c < shape.columns; ++c)
            for (int r = 0; r < shape.rows; ++r) *out++ = decode(p + c * column + r * cs, shape.type);
    }
    return true;
}

double normalise(double v, int type) {
    switch (type) {
    case TINYGLTF_COMPONENT_TYPE_BYTE: return std::max(v / 127.0, -1.0);
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE: return v / 255.0;
    case TINYGLTF_COMPONENT_TYPE_SHORT: return std::max(v / 32767.0, -1.0);
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: return v / 65535.0;
    default: return v;
    }
}

// Declared min and max must be the true extremes: producers that get them
// wrong have usually got the data wrong too.
bool check_bounds(const tinygltf::Accessor& a, const GltfValues& v, const std::string& where, std::string* error) {
    size_t comps = static_cast<size_t>(v.components);
    for (int which = 0; which < 2; ++which) {
        const std::vector<double>& declared = which == 0 ? a.minValues : a.maxValues;
        if (declared.empty()) continue;
        if (declared.size() != comps) {
            *error = where + ": " + (which == 0 ? "min" : "max") + " has the wrong number of components";
            return false;
        }
        for (size_t c = 0; c < comps; ++c) {
            double extreme = v.v[c];
            for (size_t i = 0; i < v.count; ++i) {
                double x = v.v[i * comps + c];
                extreme = which == 0 ? std::min(extreme, x) : std::max(extreme, x);
            }
            bool same = a.componentType == TINYGLTF_COMPONENT_TYPE_FLOAT
                            ? static_cast<float>(extreme) == static_cast<float>(declared[c])
                            : extreme == declared[c];
            if (!same) {
                *error = where + ": declared " + (which == 0 ? "minimum " : "maximum ") + std::to_string(declared[c]) +
                         " is not the data's " + std::to_string(extreme);
                return false;
            }
        }
    }
    return true;
}

} // namespace

bool gltf_read_accessor(const tinygltf::Model& model, int index, const std::string& what, GltfValues* out,
                        std::string* error) {
    if (index < 0 || static_cast<size_t>(index) >= model.accessors.size()) {
        *error = what + ": accessor " + std::to_string(index) + " does not exist";
        return false;
    }
    const tinygltf::Accessor& a = model.accessors[static_cast<size_t>(index)];
    std::string where = (what.empty() ? "" : what + ": ") + "accessor " + std::to_string(index);
    Shape shape = shape_of(a.type, a.componentType);
    int comps = shape.components();
    if (comps == 0 || component_size(a.componentType) == 0) {
        *error = where + " has an unknown type or component type";
        return false;
    }
    if (a.count == 0 || a.count > kMaxValues / static_cast<uint64_t>(comps)) {
        *error = where + " has " + std::to_string(a.count) + " elements";
        return false;
    }
    out->count = a.count;
    out->components = comps;
    out->component_type = a.componentType;
    out->v.assign(a.count * static_cast<size_t>(comps), 0.0);
    if (a.normalized &&
        (a.componentType == TINYGLTF_COMPONENT_TYPE_FLOAT || a.componentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT)) {
        *error = where + " is normalised but not of 8- or 16-bit integers";
        return false;
    }
    if (a.bufferView < 0 && a.byteOffset != 0) {
        *error = where + " has a byte offset but no buffer view";
        return false;
    }

    if (a.bufferView >= 0) {
        View view;
        if (!view_of(model, a.bufferView, &view, where, error)) return false;
        if (view.stride != 0 && (view.stride < 4 || view.stride > 252)) {
            *error = where + ": byte stride " + std::to_string(view.stride) + " is out of range";
            return false;
        }
        // Components start on a multiple of their size in the view and in the
        // buffer; matrices on a multiple of 4 in the view.
        uint64_t cs = static_cast<uint64_t>(component_size(a.componentType));
        uint64_t start = model.bufferViews[static_cast<size_t>(a.bufferView)].byteOffset;
        if (a.byteOffset % cs != 0 || (start + a.byteOffset) % cs != 0 ||
            (shape.columns > 1 && a.byteOffset % 4 != 0)) {
            *error = where + " is not aligned to its components";
            return false;
        }
        if (!read_elements(view, a.byteOffset, view.stride, a.count, shape, out->v.data(), where, error)) return false;
    }

    if (a.sparse.isSparse) {
        uint64_t n = a.sparse.count < 0 ? 0 : static_cast<uint64_t>(a.sparse.count);
        if (n == 0 || n > a.count) {
            *error = where + ": sparse count " + std::to_string(a.sparse.count) + " does not fit";
            return false;
        }
        int itype = a.sparse.indices.componentType;
        if (itype != TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE && itype != TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT &&
            itype != TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT) {
            *error = where + ": sparse indices must be unsigned integers";
            return false;
        }
        if (negative(a.sparse.indices.byteOffset) || negative(a.sparse.values.byteOffset)) {
            *error = where + ": negative sparse offset";
            return false;
        }
        View iview, vview;
        if (!view_of(model, a.sparse.indices.bufferView, &iview, where + " sparse indices", error) ||
            !view_of(model, a.sparse.values.bufferView, &vview, where + " sparse values", error))
            return false;
        std::vector<double> idx(n), vals(n * static_cast<size_t>(comps));
        if (!read_elements(iview, static_cast<uint64_t>(a.sparse.indices.byteOffset), 0, n, Shape{1, 1, itype},
                           idx.data(), where + " sparse indices", error) ||
            !read_elements(vview, static_cast<uint64_t>(a.sparse.values.byteOffset), 0, n, shape, vals.data(),
                           where + " sparse values", error))
            return false;
        for (uint64_t i = 0; i < n; ++i) {
            if (idx[i] >= static_cast<double>(a.count)) {
                *error = where + ": sparse index " + std::to_string(static_cast<uint64_t>(idx[i])) + " out of range";
                return false;
            }
            size_t at = static_cast<size_t>(idx[i]) * static_cast<size_t>(comps);
            for (int c = 0; c < comps; ++c)
                out->v[at + static_cast<size_t>(c)] = vals[i * static_cast<size_t>(comps) + static_cast<size_t>(c)];
        }
    }

    for (double d : out->v) {
        if (!std::isfinite(d)) {
            *error = where + " holds a value that is not a finite number";
            return false;
        }
    }
    // Bounds describe stored data; an accessor of implicit zeros, or of
    // bytes the file does not hold, is not held to them.
    bool known = gltf_accessor_known(model, index);
    if (!known) out->v.assign(out->v.size(), 0.0);
    out->from_data = known && (a.bufferView >= 0 || a.sparse.isSparse);
    if (out->from_data && !check_bounds(a, *out, where, error)) return false;
    if (a.normalized)
        for (double& d : out->v) d = normalise(d, a.componentType);
    return true;
}

bool gltf_accessor_known(const tinygltf::Model& model, int index) {
    if (index < 0 || static_cast<size_t>(index) >= model.accessors.size()) return true;
    auto has_bytes = [&](int view) {
        if (view < 0 || static_cast<size_t>(view) >= model.bufferViews.size()) return true;
        int buffer = model.bufferViews[static_cast<size_t>(view)].buffer;
        return buffer < 0 || static_cast<size_t>(buffer) >= model.buffers.size() ||
               !model.buffers[static_cast<size_t>(buffer)].data.empty();
    };
    const tinygltf::Accessor& a = model.accessors[static_cast<size_t>(index)];
    return has_bytes(a.bufferView) &&
           (!a.sparse.isSparse || (has_bytes(a.sparse.indices.bufferView) && has_bytes(a.sparse.values.bufferView)));
}

std::string gltf_label(const char* kind, const std::string& name, size_t index) {
    if (name.empty()) return std::string(kind) + " " + std::to_string(index);
    return std::string(kind) + " '" + name + "'";
}
