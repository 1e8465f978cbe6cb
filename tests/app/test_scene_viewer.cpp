// The scene viewer end to end: glTF files made by others are imported with
// vantor-import, captured with "vantor --view ... --capture", and the frames
// are checked pixel by pixel.
#include "support/png_read.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

int run(const std::string& command) {
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string in_quotes(const fs::path& p) {
    std::string s = "\"";
    s += p.string();
    s += '"';
    return s;
}

// Imports a model into its own folder; the scene file's path.
fs::path import(const fs::path& model, const std::string& name) {
    fs::path dir = fs::absolute(name);
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::path scene = dir / (name + ".vscene");
    int status = run(in_quotes(VANTOR_IMPORT_BIN) + " " + in_quotes(model) + " -o " + in_quotes(scene) + " >" +
                     in_quotes(dir / "import.log") + " 2>&1");
    EXPECT_EQ(status, 0) << "import of " << model;
    return scene;
}

// One frame of the viewer at the given time, seen from the starting orbit.
TestImage capture(const fs::path& scene, int ms, const std::string& out) {
    fs::remove_all(out);
    std::string command = in_quotes(VANTOR_BIN) + " --data " + in_quotes(VANTOR_CONTENT) + " --view " +
                          in_quotes(scene) + " --capture " + in_quotes(fs::absolute(out)) + " --fps 25 --from " +
                          std::to_string(ms) + " --to " + std::to_string(ms + 40) + " >" + in_quotes(out + ".log") +
                          " 2>&1";
    EXPECT_EQ(run(command), 0) << "see " << out << ".log";
    return test_read_png(fs::path(out) / "frame_000000.png");
}

// Pixels that differ from the viewer's background.
bool foreground(const uint8_t* p) { return std::abs(p[0] - 40) + std::abs(p[1] - 42) + std::abs(p[2] - 48) > 60; }

struct Shape {
    int count = 0;
    int left = 1 << 30, right = -1, top = 1 << 30, bottom = -1;
    double sum_x = 0;
};

// The foreground's extent; only rows above row_limit count (y down).
Shape shape_of(const TestImage& image, int row_limit) {
    Shape s;
    for (int y = 0; y < std::min(row_limit, image.height); ++y)
        for (int x = 0; x < image.width; ++x) {
            if (!foreground(image.at(x, y))) continue;
            ++s.count;
            s.sum_x += x;
            s.left = std::min(s.left, x);
            s.right = std::max(s.right, x);
            s.top = std::min(s.top, y);
            s.bottom = std::max(s.bottom, y);
        }
    return s;
}

} // namespace

// SimpleSkin's second joint turns 90 degrees about the view axis by its key
// at 1 s: the strip, straight at 0 s, then has its top half lying sideways.
// This only happens when the skinning program gets the armature's skin
// matrices for the animated pose.
TEST(SceneViewer, SimpleSkinIsStraightAtStartAndBentAtItsNinetyDegreeKey) {
    fs::path scene = import(fs::path(VANTOR_GLTF_DATA) / "SimpleSkin/SimpleSkin.gltf", "simpleskin");
    TestImage straight = capture(scene, 0, "straight");
    TestImage bent = capture(scene, 1000, "bent");
    ASSERT_GT(straight.width, 0);
    ASSERT_GT(bent.width, 0);

    Shape s = shape_of(straight, straight.height);
    ASSERT_GT(s.count, 1000) << "the strip is not drawn";
    int width = s.right - s.left + 1;
    int height = s.bottom - s.top + 1;
    EXPECT_GT(height, width * 3 / 2) << "straight strip should stand upright";
    int middle = (s.top + s.bottom) / 2;
    double centre = (s.left + s.right) / 2.0;

    // Straight: the top half stands over the bottom half.
    Shape straight_top = shape_of(straight, middle);
    EXPECT_NEAR(straight_top.sum_x / straight_top.count, centre, width * 0.1);

    // Bent: nothing left in the strip's top quarter, and what lies above
    // the middle has moved well off to one side.
    Shape bent_all = shape_of(bent, bent.height);
    Shape bent_top = shape_of(bent, middle);
    ASSERT_GT(bent_all.count, 1000);
    EXPECT_GT(bent_all.top, s.top + height / 4) << "top half still standing";
    ASSERT_GT(bent_top.count, 0);
    EXPECT_GT(std::abs(bent_top.sum_x / bent_top.count - centre), width * 0.4) << "top half not lying sideways";
    EXPECT_LT(std::min(bent_all.left, s.left), s.left - width / 4) << "nothing reaches out to the side";
}

// The textured cube shows its base-colour image: the middle of the front
// face has the image's average colour and its grain, not a flat tint.
TEST(SceneViewer, TexturedCubeRendersWithItsTexture) {
    fs::path model = fs::path(VANTOR_GLTF_DATA) / "tinygltf/Cube/Cube.gltf";
    fs::path scene = import(model, "cube");
    TestImage frame = capture(scene, 0, "cube_frame");
    TestImage texture = test_read_png(model.parent_path() / "Cube_BaseColor.png");
    ASSERT_GT(frame.width, 0);
    ASSERT_GT(texture.width, 0);

    double tex_mean[3] = {0, 0, 0};
    for (size_t i = 0; i < texture.rgb.size(); ++i) tex_mean[i % 3] += texture.rgb[i];
    for (double& m : tex_mean) m /= static_cast<double>(texture.rgb.size() / 3);

    Shape s = shape_of(frame, frame.height);
    ASSERT_GT(s.count, 1000) << "the cube is not drawn";
    int cx = (s.left + s.right) / 2, cy = (s.top + s.bottom) / 2;
    int half = std::min(s.right - s.left, s.bottom - s.top) / 5;
    double mean[3] = {0, 0, 0}, square[3] = {0, 0, 0};
    int n = 0;
    for (int y = cy - half; y <= cy + half; ++y)
        for (int x = cx - half; x <= cx + half; ++x, ++n)
            for (int c = 0; c < 3; ++c) {
                mean[c] += frame.at(x, y)[c];
                square[c] += frame.at(x, y)[c] * frame.at(x, y)[c];
            }
    for (int c = 0; c < 3; ++c) {
        mean[c] /= n;
        double deviation = std::sqrt(square[c] / n - mean[c] * mean[c]);
        EXPECT_NEAR(mean[c], tex_mean[c], 30.0) << "channel " << c;
        EXPECT_GT(deviation, 4.0) << "channel " << c << " is flat: no texture";
    }
    // The image is warm (red over blue); an untextured cube would be white.
    EXPECT_GT(mean[0] - mean[2], 10.0);
}

// A scene that will not load ends the capture with status 1 before its
// first frame, and neither an empty frame folder nor a video stub stays.
TEST(SceneViewer, ARefusedSceneLeavesNoOutput) {
    fs::path scene = fs::absolute("not_a_scene.vscene");
    std::ofstream(scene) << "junk";
    for (const char* out : {"refused_frames", "refused.mp4"}) {
        fs::remove_all(out);
        std::string command = in_quotes(VANTOR_BIN) + " --data " + in_quotes(VANTOR_CONTENT) + " --view " +
                              in_quotes(scene) + " --capture " + in_quotes(fs::absolute(out)) + " >/dev/null 2>&1";
        EXPECT_EQ(run(command), 1) << out;
        EXPECT_FALSE(fs::exists(out)) << out;
    }
}

namespace {

std::string base64(const std::vector<uint8_t>& bytes) {
    static const char table[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t n = uint32_t(bytes[i]) << 16;
        if (i + 1 < bytes.size()) n |= uint32_t(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size()) n |= bytes[i + 2];
        out += table[(n >> 18) & 63];
        out += table[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? table[(n >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? table[n & 63] : '=';
    }
    return out;
}

template <typename T> void put(std::vector<uint8_t>* bytes, T value) {
    const uint8_t* p = reinterpret_cast<const uint8_t*>(&value);
    bytes->insert(bytes->end(), p, p + sizeof value);
}

// A unit cube round the origin on one joint at the origin, whose inverse
// bind matrix moves it to (3, 6, 0): only the skin puts it where it is drawn.
fs::path write_offset_skin_cube(const fs::path& path) {
    std::vector<uint8_t> b;
    for (int i = 0; i < 8; ++i)
        for (int axis = 0; axis < 3; ++axis) put(&b, (i >> axis & 1) ? 0.5f : -0.5f); // 96 bytes
    for (int i = 0; i < 8; ++i) put(&b, uint32_t{0});                                 // joints, 32
    for (int i = 0; i < 8; ++i)
        for (float w : {1.0f, 0.0f, 0.0f, 0.0f}) put(&b, w); // weights, 128
    const uint16_t faces[36] = {0, 2, 1, 1, 2, 3, 4, 5, 6, 5, 7, 6, 0, 1, 4, 1, 5, 4,
                                2, 6, 3, 3, 6, 7, 0, 4, 2, 2, 4, 6, 1, 3, 5, 3, 7, 5};
    for (uint16_t f : faces) put(&b, f); // 72
    // Column major: the last column is the translation.
    const float bind[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 3, 6, 0, 1};
    for (float v : bind) put(&b, v); // 64
    std::ofstream out(path);
    out << R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0,1]}],
"nodes":[{"mesh":0,"skin":0},{"name":"root"}],
"skins":[{"joints":[1],"inverseBindMatrices":4}],
"meshes":[{"primitives":[{"attributes":{"POSITION":0,"JOINTS_0":1,"WEIGHTS_0":2},"indices":3}]}],
"accessors":[
 {"bufferView":0,"componentType":5126,"count":8,"type":"VEC3","min":[-0.5,-0.5,-0.5],"max":[0.5,0.5,0.5]},
 {"bufferView":1,"componentType":5121,"count":8,"type":"VEC4"},
 {"bufferView":2,"componentType":5126,"count":8,"type":"VEC4"},
 {"bufferView":3,"componentType":5123,"count":36,"type":"SCALAR"},
 {"bufferView":4,"componentType":5126,"count":1,"type":"MAT4"}],
"bufferViews":[
 {"buffer":0,"byteOffset":0,"byteLength":96,"target":34962},
 {"buffer":0,"byteOffset":96,"byteLength":32,"target":34962},
 {"buffer":0,"byteOffset":128,"byteLength":128,"target":34962},
 {"buffer":0,"byteOffset":256,"byteLength":72,"target":34963},
 {"buffer":0,"byteOffset":328,"byteLength":64}],
"buffers":[{"byteLength":392,"uri":"data:application/octet-stream;base64,)"
        << base64(b) << R"("}]})";
    return path;
}

} // namespace

// The start camera frames what is drawn: a skinned model whose bind matrix
// puts it far from its mesh's own space opens centred and whole, not with
// the camera aimed at where the mesh would be before skinning.
TEST(SceneViewer, ASkinnedModelMovedByItsBindMatrixOpensCentred) {
    fs::path model = write_offset_skin_cube(fs::absolute("offset_skin.gltf"));
    fs::path scene = import(model, "offset_skin");
    TestImage frame = capture(scene, 0, "offset_frame");
    ASSERT_GT(frame.width, 0);
    Shape s = shape_of(frame, frame.height);
    ASSERT_GT(s.count, 1000) << "the cube is not in the picture";
    EXPECT_GT(s.left, 0);
    EXPECT_GT(s.top, 0);
    EXPECT_LT(s.right, frame.width - 1);
    EXPECT_LT(s.bottom, frame.height - 1);
    EXPECT_NEAR((s.left + s.right) / 2.0, frame.width / 2.0, frame.width * 0.05);
    EXPECT_NEAR((s.top + s.bottom) / 2.0, frame.height / 2.0, frame.height * 0.05);
}

// A glTF file opens in the viewer directly, converted in memory: the same
// picture, texture included, as through vantor-import and its scene file.
TEST(SceneViewer, AGltfFileOpensDirectlyAsItsImportDoes) {
    fs::path model = fs::path(VANTOR_GLTF_DATA) / "tinygltf/Cube/Cube.gltf";
    TestImage imported = capture(import(model, "cube_imported"), 0, "cube_imported_frame");
    TestImage direct = capture(model, 0, "cube_direct_frame");
    ASSERT_GT(imported.width, 0);
    ASSERT_EQ(direct.width, imported.width);
    ASSERT_EQ(direct.height, imported.height);
    double difference = 0;
    for (size_t i = 0; i < direct.rgb.size(); ++i) difference += std::abs(direct.rgb[i] - imported.rgb[i]);
    EXPECT_LT(difference / static_cast<double>(direct.rgb.size()), 0.5);
    EXPECT_GT(shape_of(direct, direct.height).count, 1000) << "the cube is not drawn";
}
