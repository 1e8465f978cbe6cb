#!/usr/bin/env python3
"""Writes the seed corpora under fuzz/corpus/ from the built content, the
hand-written scripts and the PNG test files in tests/data/png, plus a few hand-made
inputs for shapes the content does not use (volume and cube containers).

Seeds are named for what they are; the other files in the corpus folders
(named by their SHA-1) are inputs the fuzzers found and kept with
"fuzz_TARGET -merge=1 fuzz/corpus/TARGET NEW_INPUTS"; this script leaves
them alone.

Real content files are large; seeds are kept small (a few KiB) by shrinking:
big pack entries are replaced by small PNGs under the same names, and scene
meshes keep only their first faces (vertices renumbered), armatures their
first pose frames and tracks their first keys. Run it again after the
content formats change:

    fuzz/make_seeds.py BUILD/content
"""
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
TESTDATA = os.path.join(REPO, "tests", "data", "png")
CORPUS = os.path.join(HERE, "corpus")

# Bytes per vertex of the content's vertex profiles (see fuzz_scene_stride).
STRIDES = {0: 48, 1: 32, 2: 80, 3: 12, 4: 16, 5: 20, 6: 24, 7: 28}


def png(width, height, channels, seed=0):
    colour_type = {3: 2, 4: 6}[channels]
    raw = bytearray()
    for y in range(height):
        raw.append(0)
        for x in range(width):
            for c in range(channels):
                raw.append((x * 37 + y * 11 + c * 73 + seed) & 255)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) +
            chunk(b"IEND", b""))


def i32(v):
    return struct.pack("<i", v)


def vtx(flags, body):
    return b"VTX\0" + struct.pack("<I", flags) + body


def raw_pixels(w, h, bpp, count=1):
    return bytes((i * 7) & 255 for i in range(w * h * bpp * count))


def write(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def pack_entries(data):
    entries, p = [], 0
    while p < len(data):
        n = data[p]
        name = data[p + 1:p + 1 + n]
        size = struct.unpack_from("<i", data, p + 2 + n)[0]
        entries.append((name, data[p + 6 + n:p + 6 + n + size]))
        p += 6 + n + size
    return entries


def pack(entries):
    return b"".join(bytes([len(n)]) + n + b"\0" + i32(len(d)) + d for n, d in entries)


# --- scenes -----------------------------------------------------------------

class Reader:
    def __init__(self, data):
        self.d, self.p = data, 0

    def take(self, n):
        b = self.d[self.p:self.p + n]
        if len(b) != n:
            raise ValueError("short scene file")
        self.p += n
        return b

    def i32(self):
        return struct.unpack("<i", self.take(4))[0]

    def str(self):
        return self.take(self.i32())


def s(text):
    return i32(len(text)) + text


def shrink_scene(data, faces_kept=2, frames_kept=2, keys_kept=3, objects_kept=24):
    r = Reader(data)
    objects, meshes, materials, textures, armatures, cameras = [r.i32() for _ in range(6)]
    out_textures = [s(r.str()) for _ in range(textures)]
    out_materials = []
    for _ in range(materials):
        name = r.str()
        fixed = r.take(4 * 10 + 4)
        layers = r.i32()
        out_materials.append(s(name) + fixed + i32(layers) + r.take(8 * layers))
    out_meshes = []
    for _ in range(meshes):
        name = r.str()
        vertex_count, group_count, vertex_group_count, profile = [r.i32() for _ in range(4)]
        flags_box = r.take(4 + 24)
        vgroups = []
        for _ in range(vertex_group_count):
            vg_name = r.str()
            entries = r.i32()
            body = r.take(28 * entries)
            vgroups.append(s(vg_name) + i32(min(entries, 2)) + body[:28 * min(entries, 2)])
        groups = []
        for _ in range(group_count):
            faces = r.i32()
            material = r.i32()
            indices = struct.unpack("<%dI" % (faces * 3), r.take(12 * faces))
            groups.append((material, indices[:3 * faces_kept]))
        stride = STRIDES[profile]
        vertices = r.take(vertex_count * stride)
        used = sorted({i for _, idx in groups for i in idx})
        renumber = {old: new for new, old in enumerate(used)}
        body = b"".join(vgroups[:2])
        for material, idx in groups[:3]:
            body += i32(len(idx) // 3) + i32(material) + struct.pack("<%dI" % len(idx), *[renumber[i] for i in idx])
        kept_vertices = b"".join(vertices[i * stride:(i + 1) * stride] for i in used)
        out_meshes.append(s(name) + i32(len(used)) + i32(min(group_count, 3)) + i32(min(vertex_group_count, 2)) +
                          i32(profile) + flags_box + body + kept_vertices)
    out_armatures = []
    for _ in range(armatures):
        name = r.str()
        bones = r.i32()
        bone_data = r.take(28 * bones)
        frames = r.i32()
        frame_data = []
        for _ in range(frames):
            time = r.take(4)
            n = r.i32()
            frame_data.append(time + i32(n) + r.take(28 * n))
        out_armatures.append(s(name) + i32(bones) + bone_data + i32(min(frames, frames_kept)) +
                             b"".join(frame_data[:frames_kept]))
    out_cameras = [s(r.str()) + r.take(4) for _ in range(cameras)]
    out_objects = []
    for _ in range(objects):
        name = r.str()
        fixed = r.take(40)
        flags = r.i32()
        refs = b"".join(r.take(4) for bit in (1, 2, 8, 0x20) if flags & bit)
        keys = b""
        if flags & 0x10:
            count = r.i32()
            data_keys = r.take(76 * count)
            keys = i32(min(count, keys_kept)) + data_keys[:76 * keys_kept]
        out_objects.append(s(name) + fixed + i32(flags) + refs + keys)
    out_objects = out_objects[:objects_kept]
    return (b"".join(i32(n) for n in (len(out_objects), len(out_meshes), len(out_materials), len(out_textures),
                                       len(out_armatures), len(out_cameras))) +
            b"".join(out_textures + out_materials + out_meshes + out_armatures + out_cameras + out_objects))


def tiny_scene():
    """Every record kind once: a skinned mesh on an armature, a camera on an
    animated object, a parent chain."""
    texture = s(b"lamp.vtx")
    material = s(b"Material") + struct.pack("<10f", 1, 1, 1, 1, 1, 1, 1, 0.5, 1, 0) + i32(0) + i32(1) + i32(0) + i32(0)
    vertices = b"".join(struct.pack("<20f", *([float(v)] * 20)) for v in range(3))
    mesh = (s(b"Mesh") + i32(3) + i32(1) + i32(1) + i32(2) + i32(4) + struct.pack("<6f", 1, 1, 1, -1, -1, -1) +
            s(b"Bone") + i32(1) + struct.pack("<I6f", 0, 0, 0, 0, 1, 1, 1) +
            i32(1) + i32(0) + struct.pack("<3I", 0, 1, 2) + vertices)
    bones = struct.pack("<i6f", -1, 0, 1, 0, 0, 0, 0) + struct.pack("<i6f", 0, 0, 2, 0, 0, 1, 0)
    frame = lambda t: struct.pack("<f", t) + i32(2) + struct.pack("<8f", 0, 0, 0, 1, 0, 0.7, 0, 0.7) + struct.pack("<6f", *([0.0] * 6))
    armature = s(b"Armature") + i32(2) + bones + i32(2) + frame(2) + frame(10)
    camera = s(b"Camera") + struct.pack("<I", 0)
    base = lambda name: s(name) + struct.pack("<10f", 0, 0, 0, 0, 0, 0, 1, 1, 1, 1)
    key = lambda t: struct.pack("<f", t) + struct.pack("<18f", *[t * (i % 3) for i in range(18)])
    objects = (base(b"Armature") + struct.pack("<I", 0x08) + i32(0) +
               base(b"Robot") + struct.pack("<I", 0x03) + i32(0) + i32(0) +
               base(b"Camera") + struct.pack("<I", 0x31) + i32(0) + i32(0) + i32(3) + key(2) + key(5) + key(9))
    header = b"".join(i32(n) for n in (3, 1, 1, 1, 1, 1))
    return header + texture + material + mesh + armature + camera + objects


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    content = sys.argv[1]

    # Textures: the accepted and refused PNG kinds, the known PNG crashers,
    # the content's own small files and every container shape.
    for sub in ("pngsuite", "crashers", "badpal"):
        for name in sorted(os.listdir(os.path.join(TESTDATA, sub))):
            if name.endswith(".png"):
                write("texture", sub + "_" + name, read(os.path.join(TESTDATA, sub, name)))
    write("texture", "content_fnt_04b08.png", read(os.path.join(content, "fnt_04b08.png")))
    write("texture", "content_crate.vtx", read(os.path.join(content, "textures", "crate.vtx")))
    real_pack = pack_entries(read(os.path.join(content, "data_00.pack")))
    for name, data in real_pack:
        if len(data) <= 8192:
            write("texture", "content_pack_" + name.decode(), data)
    p3, p4 = png(4, 4, 3), png(3, 2, 4, 9)
    write("texture", "vtx_2d_raw_rgb", vtx(0x09, i32(5) + i32(3) + i32(3) + raw_pixels(5, 3, 3)))
    write("texture", "vtx_2d_raw_and_png", vtx(0x0B, i32(2) + i32(2) + i32(4) + raw_pixels(2, 2, 4) + p4))
    write("texture", "vtx_2d_png_rgba", vtx(0x0A, p4))
    write("texture", "vtx_volume_raw", vtx(0x11, i32(2) + i32(2) + i32(3) + i32(3) + raw_pixels(2, 2, 3, 3)))
    write("texture", "vtx_volume_png", vtx(0x12, i32(4) + i32(4) + i32(3) + i32(2) + p3 + png(4, 4, 3, 5)))
    write("texture", "vtx_cube_raw", vtx(0x21, i32(2) + i32(2) + i32(4) + raw_pixels(2, 2, 4, 6)))
    write("texture", "vtx_cube_png", vtx(0x22, b"".join(png(4, 4, 3, k) for k in range(6))))
    write("texture", "vtx_no_shape", vtx(0x00, b""))
    write("texture", "vtx_volume_and_cube", vtx(0x31, i32(1) + i32(1) + i32(4) + i32(2) + raw_pixels(1, 1, 4, 2)))

    # Pack: "name\0" then the archive (see fuzz_pack_input). The real pack's
    # names and order with small data; first, middle, last and missing names.
    small = [(name, data if len(data) <= 4096 else png(8, 8, 3, i)) for i, (name, data) in enumerate(real_pack)]
    archive = pack(small)
    for name, _ in small:
        write("pack", "content_" + name.decode(), name + b"\0" + archive)
    write("pack", "content_missing", b"missing.png\0" + archive)
    write("pack", "content_case", small[0][0].upper() + b"\0" + archive)
    write("pack", "empty_archive", b"a.png\0")
    write("pack", "duplicate_names", b"a.png\0" + pack([(b"a.png", png(2, 2, 4)), (b"a.png", png(3, 3, 3))]))
    write("pack", "empty_name", b"\0" + pack([(b"", p3)]))
    write("pack", "cut_header", b"a.png\0" + pack([(b"b.png", p3)]) + b"\x05a.pn")

    # Scripts: the content's hand-written files.
    scripts = os.path.join(REPO, "content", "scripts")
    write("vertex_profile", "vertexprofiles.vsl", read(os.path.join(scripts, "vertexprofiles.vsl")))
    write("vertex_profile", "defines.vsl",
          b"#define MAX_VERTEX_PROFILES 2\n#define A 3\ndef one {\n vertex_profile_allocate(2)\n"
          b" vertex_profile_register(0, 1, A, 0, 0)\n vertex_profile_register(1, 5, 4, 12, 1)\n}\n"
          b"def two { vertex_profile_allocate(1); vertex_profile_register(0, 4, 2, 0, 3) }\n/* done **/\n")
    for name in sorted(os.listdir(scripts)):
        if name != "vertexprofiles.vsl":
            write("shader", name, read(os.path.join(scripts, name)))
    write("shader", "settings_only.vsl", b"#define S 4\nshader_settings(S)\nshader_link()\n"
          b"shader_assign_tex(\"tex\", 1)\nshader_assign_tex(\"cube\", U)\n")

    # Scenes: every content scene, shrunk, and one with each record kind.
    models = os.path.join(content, "models")
    for name in sorted(os.listdir(models)):
        write("scene", name, shrink_scene(read(os.path.join(models, name))))
    write("scene", "tiny.vscene", tiny_scene())

    for target in sorted(os.listdir(CORPUS)):
        folder = os.path.join(CORPUS, target)
        sizes = [os.path.getsize(os.path.join(folder, f)) for f in os.listdir(folder)]
        print("%-15s %3d files, largest %6d bytes, %7d in all" % (target, len(sizes), max(sizes), sum(sizes)))


if __name__ == "__main__":
    main()
