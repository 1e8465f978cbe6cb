// vantor-import on glTF files made by others (tests/data/gltf: the Khronos
// validator's own test files with its verdicts, tinygltf's and cgltf's
// models, the SimpleSkin sample). The results go through the engine's own
// scene decoder and armature code; no GL is needed.
#include "gfx/texture.h"
#include "gltf_import.h"
#include "scene/animation.h"
#include "scene/armature.h"
#include "scene/scene_file.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const fs::path kData = VANTOR_GLTF_DATA;

std::vector<uint8_t> read_all(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string rel(const fs::path& p) { return fs::relative(p, kData).string(); }

bool import_file(const fs::path& p, GltfImportResult* out, std::string* error) {
    std::vector<uint8_t> bytes = read_all(p);
    return gltf_import_memory(bytes.data(), bytes.size(), p.parent_path().string(), GltfImportOptions(), out, error);
}

// What the engine's loader makes of the written bytes.
void expect_engine_loads(const GltfImportResult& r, const std::string& name) {
    std::vector<uint8_t> bytes = scene_write(r.scene);
    SceneDesc back;
    std::string error;
    ASSERT_TRUE(scene_decode(bytes.data(), bytes.size(), &back, &error, gltf_import_content_stride))
        << name << ": " << error;
    EXPECT_EQ(back.objects.size(), r.scene.objects.size()) << name;
    EXPECT_EQ(back.meshes.size(), r.scene.meshes.size()) << name;
    for (const SceneDescArmature& a : back.armatures) {
        std::unique_ptr<Armature> arm(scene_build_armature(a));
        armature_pose_evaluate(arm.get(), 0);
        armature_update_matrices(arm.get());
        for (const Matrix& m : arm->skin)
            for (float v : m.m) EXPECT_TRUE(std::isfinite(v)) << name;
    }
}

struct Report {
    fs::path model;
    int errors = 0;
    int triangles = 0;
};

std::vector<Report> validator_reports() {
    std::vector<Report> out;
    for (const auto& e : fs::recursive_directory_iterator(kData / "validator")) {
        std::string p = e.path().string();
        const std::string suffix = ".report.json";
        if (p.size() < suffix.size() || p.compare(p.size() - suffix.size(), suffix.size(), suffix) != 0) continue;
        std::ifstream in(e.path());
        nlohmann::json j = nlohmann::json::parse(in);
        Report r;
        r.model = p.substr(0, p.size() - suffix.size());
        r.errors = j["issues"]["numErrors"].get<int>();
        if (j.contains("info") && j["info"].is_object()) r.triangles = j["info"].value("totalTriangleCount", 0);
        out.push_back(r);
    }
    std::sort(out.begin(), out.end(), [](const Report& a, const Report& b) { return a.model < b.model; });
    return out;
}

// Error-free files with triangles that hold what the engine cannot show,
// and what their refusal must name.
const std::map<std::string, std::string> kRefusedThoughValid = {
    {"validator/base/json/integer_written_as_float.gltf", "morph targets"},
    {"validator/base/mesh/valid.gltf", "morph targets"},
    {"validator/base/node/node_weights_override.gltf", "morph targets"},
    {"validator/base/node/valid.gltf", "morph targets"},
};

struct ToolRun {
    int status = -1;
    std::vector<std::string> lines; // standard error
};

// The tool as a user runs it, under a time limit; sanitizer reports get
// exit codes of their own so they cannot pass for a refusal.
ToolRun run_tool(const fs::path& model, const fs::path& work) {
    fs::path err = work / "stderr.txt";
    std::string cmd = "ASAN_OPTIONS=detect_leaks=1:intercept_tls_get_addr=0:exitcode=86 "
                      "UBSAN_OPTIONS=halt_on_error=1:exitcode=87 timeout 60 '" +
                      std::string(VANTOR_IMPORT_BIN) + "' '" + model.string() + "' -o '" +
                      (work / "out.vscene").string() + "' >/dev/null 2>'" + err.string() + "'";
    ToolRun r;
    int raw = std::system(cmd.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    std::ifstream in(err);
    for (std::string line; std::getline(in, line);)
        if (line.rfind("vantor-import: warning:", 0) != 0) r.lines.push_back(line);
    return r;
}

} // namespace

TEST(GltfImport, ValidatorFilesWithErrorsAreRefusedWithOneLine) {
    fs::path work = fs::current_path() / "validator_runs";
    fs::create_directories(work);
    int refused = 0;
    for (const Report& r : validator_reports()) {
        if (r.errors == 0) continue;
        std::string name = rel(r.model);
        ToolRun run = run_tool(r.model, work);
        std::string said = run.lines.empty() ? "" : run.lines[0];
        EXPECT_EQ(run.status, 1) << name << ": " << said;
        ASSERT_EQ(run.lines.size(), 1u) << name;
        EXPECT_NE(run.lines[0].find(name.substr(name.rfind('/') + 1)), std::string::npos) << run.lines[0];
        ++refused;
    }
    std::printf("validator files with errors: %d refused\n", refused);
    EXPECT_GT(refused, 200);
}

TEST(GltfImport, ErrorFreeFilesWithTrianglesImportAndLoad) {
    int imported = 0;
    for (const Report& r : validator_reports()) {
        if (r.errors != 0 || r.triangles == 0) continue;
        std::string name = rel(r.model);
        GltfImportResult result;
        std::string error;
        bool ok = import_file(r.model, &result, &error);
        auto refused = kRefusedThoughValid.find(name);
        if (refused != kRefusedThoughValid.end()) {
            EXPECT_FALSE(ok) << name;
            EXPECT_NE(error.find(refused->second), std::string::npos) << name << ": " << error;
            continue;
        }
        ASSERT_TRUE(ok) << name << ": " << error;
        // A primitive without positions is left out, and a warning says so.
        EXPECT_TRUE(!result.scene.meshes.empty() || !result.warnings.empty()) << name;
        expect_engine_loads(result, name);
        ++imported;
    }
    // Error-free files without triangles (buffers and accessors nothing
    // reads, placeholders, data URIs in text, padded matrices), and the
    // other libraries' models, which carry no verdict but are sound.
    for (const char* name :
         {"validator/base/accessor/valid.gltf", "validator/base/accessor/unknown_type.gltf",
          "validator/base/accessor_data/get_elements_matrix.gltf", "validator/base/buffer/custom_property.gltf",
          "validator/base/buffer/data_uri.glb", "validator/base/buffer/non_relative_uri.gltf",
          "validator/base/buffer/valid_placeholder.glb", "tinygltf/Cube/Cube.gltf", "tinygltf/box01.glb",
          "cgltf/Box.glb", "cgltf/TriangleWithoutIndices.gltf", "tinygltf/CubeImageUriSpaces/CubeImageUriSpaces.gltf",
          "tinygltf/CubeImageUriSpaces/CubeImageUriMultipleSpaces.gltf",
          "tinygltf/Extensions-overwrite-issue261/issue-261.gltf", "SimpleSkin/SimpleSkin.gltf"}) {
        GltfImportResult result;
        std::string error;
        ASSERT_TRUE(import_file(kData / name, &result, &error)) << name << ": " << error;
        expect_engine_loads(result, name);
        ++imported;
    }
    std::printf("error-free files imported and loaded: %d\n", imported);
}

TEST(GltfImport, BrokenModelsOfOtherLibrariesAreRefused) {
    for (const char* name :
         {"tinygltf/BoundsChecking/integer-out-of-bounds.gltf", "tinygltf/BoundsChecking/invalid-buffer-index.gltf",
          "tinygltf/BoundsChecking/invalid-buffer-view-index.gltf",
          "tinygltf/BoundsChecking/invalid-primitive-indices.gltf", "tinygltf/regression/unassigned-skeleton.gltf",
          "cgltf/BadBasisU.gltf", "tinygltf/SparseMorphTargets-issue280/singleBlendshapeCube_sparse.glb"}) {
        GltfImportResult result;
        std::string error;
        EXPECT_FALSE(import_file(kData / name, &result, &error)) << name;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}

// The strip's vertices posed by the engine's own armature code at a frame.
std::vector<Vec3> pose_strip(const SceneDesc& d, float frame, std::vector<Vec3>* rest) {
    const SceneDescMesh& mesh = d.meshes.at(0);
    std::unique_ptr<Armature> arm(scene_build_armature(d.armatures.at(0)));
    armature_pose_evaluate(arm.get(), frame);
    armature_update_matrices(arm.get());
    int stride = gltf_import_content_stride(mesh.profile);
    std::vector<Vec3> out;
    rest->clear();
    for (int v = 0; v < mesh.vertex_count; ++v) {
        const uint8_t* p = &mesh.vertices[static_cast<size_t>(v * stride)];
        float pos[3], weights[4];
        int32_t joints[4];
        std::memcpy(pos, p, 12);
        std::memcpy(joints, p + 48, 16); // the skinned profile: bone indices, then weights
        std::memcpy(weights, p + 64, 16);
        Vec3 sum{0, 0, 0};
        for (int k = 0; k < 4; ++k) {
            Vec3 q = matrix_transform_point(arm->skin.at(static_cast<size_t>(joints[k])), pos[0], pos[1], pos[2]);
            sum = {sum.x + weights[k] * q.x, sum.y + weights[k] * q.y, sum.z + weights[k] * q.z};
        }
        rest->push_back({pos[0], pos[1], pos[2]});
        out.push_back(sum);
    }
    return out;
}

TEST(GltfImport, SimpleSkinBendsItsTopHalfAtTheNinetyDegreeKey) {
    GltfImportResult r;
    std::string error;
    ASSERT_TRUE(import_file(kData / "SimpleSkin/SimpleSkin.gltf", &r, &error)) << error;
    ASSERT_EQ(r.scene.armatures.size(), 1u);
    EXPECT_EQ(r.scene.armatures[0].bones.size(), 2u);
    ASSERT_EQ(r.scene.meshes.size(), 1u);
    const GltfProfile& profile = gltf_import_content_profiles().at(static_cast<size_t>(r.scene.meshes[0].profile));
    ASSERT_EQ(profile.stride, 80); // positions, ..., bone indices at 48, weights at 64
    // 5.5 s at 25 frames per second; the key at 1 s turns the joint 90 degrees.
    EXPECT_EQ(r.scene.armatures[0].frames.size(), 139u);

    std::vector<Vec3> rest;
    std::vector<Vec3> straight = pose_strip(r.scene, 0, &rest);
    int top = 0;
    for (size_t v = 0; v < rest.size(); ++v) {
        EXPECT_NEAR(straight[v].x, rest[v].x, 1e-4);
        EXPECT_NEAR(straight[v].y, rest[v].y, 1e-4);
    }
    std::vector<Vec3> bent = pose_strip(r.scene, 25, &rest);
    for (size_t v = 0; v < rest.size(); ++v) {
        if (rest[v].y < 1.99f) continue; // the top edge: fully bound to the turning joint
        ++top;
        // Turned a quarter about z around the joint at (0, 1): to the left.
        EXPECT_NEAR(bent[v].x, -1.0f, 1e-3);
        EXPECT_NEAR(bent[v].y, 1.0f + rest[v].x, 1e-3);
    }
    EXPECT_EQ(top, 2);
    for (size_t v = 0; v < rest.size(); ++v) {
        if (rest[v].y < 0.01f) {
            EXPECT_NEAR(bent[v].x, rest[v].x, 1e-4); // the bottom stays
        }
    }

    // The joint's node track, evaluated by the engine, agrees.
    for (const SceneDescObject& o : r.scene.objects) {
        if (!(o.flags & OBJECT_ANIMATED)) continue;
        SceneObject obj;
        obj.track = std::make_unique<ObjectTrack>();
        obj.track->keys = o.keys;
        obj.track->key_count = static_cast<int32_t>(o.keys.size());
        object_track_evaluate(&obj, 25);
        EXPECT_NEAR(obj.rotation.z, std::sqrt(0.5f), 1e-4);
        EXPECT_NEAR(obj.rotation.w, std::sqrt(0.5f), 1e-4);
    }
}

TEST(GltfImport, TexturedCubeWritesItsTextureAsPngTheLoaderReads) {
    fs::path out = fs::current_path() / "cube";
    fs::create_directories(out);
    std::vector<std::string> warnings;
    std::string error;
    ASSERT_TRUE(gltf_import_file((kData / "tinygltf/Cube/Cube.gltf").string(), (out / "cube.vscene").string(),
                                 GltfImportOptions(), &warnings, &error))
        << error;
    std::vector<uint8_t> bytes = read_all(out / "cube.vscene");
    SceneDesc d;
    ASSERT_TRUE(scene_decode(bytes.data(), bytes.size(), &d, &error, gltf_import_content_stride)) << error;
    ASSERT_EQ(d.textures.size(), 1u);
    ASSERT_EQ(d.materials.size(), 1u);
    ASSERT_EQ(d.materials[0].layers.size(), 1u);
    EXPECT_EQ(d.meshes.at(0).profile, 1); // position, normal, texture coordinates
    fs::path png = out / d.textures[0];
    TextureImage img;
    ASSERT_TRUE(texture_decode(std::fopen(png.c_str(), "rb"), png.c_str(), &img));
    EXPECT_EQ(img.width, 512);
    EXPECT_EQ(img.height, 512);
    EXPECT_GE(img.bytes_per_pixel, 3);
}

// Hand-made models for what the real files do not cover.
namespace {

std::string triangle_model(const std::string& buffer_uri, const std::string& extra_nodes = "") {
    return R"({"asset":{"version":"2.0"},"scenes":[{"nodes":[0]}],"nodes":[{"mesh":0})" + extra_nodes +
           R"(],"meshes":[{"primitives":[{"attributes":{"POSITION":0}}]}],)"
           R"("accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3","min":[0,0,0],"max":[1,1,0]}],)"
           R"("bufferViews":[{"buffer":0,"byteLength":36}],"buffers":[{"uri":")" +
           buffer_uri + R"(","byteLength":36}]})";
}

bool import_text(const std::string& text, const fs::path& base, std::string* error,
                 const GltfImportOptions& options = GltfImportOptions()) {
    GltfImportResult r;
    return gltf_import_memory(reinterpret_cast<const uint8_t*>(text.data()), text.size(), base.string(), options, &r,
                              error);
}

void write_triangle_bin(const fs::path& p) {
    const float v[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(v), sizeof v);
}

} // namespace

TEST(GltfImport, RefusesReferencesOutsideTheFolderCyclesAndWhatTheEngineCannotShow) {
    fs::path root = fs::current_path() / "fence";
    fs::remove_all(root);
    fs::create_directories(root / "model");
    write_triangle_bin(root / "secret.bin");
    write_triangle_bin(root / "model" / "tri.bin");
    fs::create_symlink(root / "secret.bin", root / "model" / "link.bin");
    std::string error;

    EXPECT_TRUE(import_text(triangle_model("tri.bin"), root / "model", &error)) << error;
    for (const std::string& uri : std::vector<std::string>{"../secret.bin", "sub/../../secret.bin",
                                                           (root / "secret.bin").string(), "link.bin"}) {
        EXPECT_FALSE(import_text(triangle_model(uri), root / "model", &error)) << uri;
        EXPECT_NE(error.find("leaves the model's folder"), std::string::npos) << uri << ": " << error;
    }
    // From memory, nothing outside the bytes may be read.
    EXPECT_FALSE(import_text(triangle_model("tri.bin"), "", &error));
    EXPECT_NE(error.find("no external files"), std::string::npos) << error;

    const std::string data = "data:application/octet-stream;base64,AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAA";
    std::string cycle = triangle_model(data, R"(,{"children":[2]},{"children":[1]})");
    EXPECT_FALSE(import_text(cycle, "", &error));
    EXPECT_NE(error.find("cycle"), std::string::npos) << error;

    std::string lines = triangle_model(data);
    lines.replace(lines.find(R"("attributes")"), 0, R"("mode":1,)");
    EXPECT_FALSE(import_text(lines, "", &error));
    EXPECT_NE(error.find("not made of triangles"), std::string::npos) << error;

    // 33 joints under one root: one more than the skinning shader's matrices.
    std::string joints = "1", children, nodes = R"(,{"name":"root","children":[)";
    for (int i = 2; i <= 33; ++i) {
        joints.append(",").append(std::to_string(i));
        children.append(i > 2 ? "," : "").append(std::to_string(i));
    }
    nodes += children + "]}";
    for (int i = 2; i <= 33; ++i) nodes += R"(,{"name":"j)" + std::to_string(i) + R"("})";
    std::string skinned = triangle_model(data, nodes);
    auto replace = [&](const std::string& from, const std::string& to) {
        skinned.replace(skinned.find(from), from.size(), to);
    };
    replace(R"({"mesh":0})", R"({"mesh":0,"skin":0})");
    replace(R"("scenes":[{"nodes":[0]}])", R"("scenes":[{"nodes":[0,1]}])");
    skinned.replace(skinned.rfind('}'), 1, R"(,"skins":[{"joints":[)" + joints + "]}]}");
    EXPECT_FALSE(import_text(skinned, "", &error));
    EXPECT_NE(error.find("33 joints"), std::string::npos) << error;

    // Single-sided and opaque unless the material says otherwise, the default material too.
    std::string sided = triangle_model(data);
    sided.replace(sided.find(R"("attributes")"), 0, R"("material":0,)");
    sided.replace(sided.rfind('}'), 1, R"(,"materials":[{"doubleSided":true}]})");
    GltfImportResult r;
    ASSERT_TRUE(gltf_import_memory(reinterpret_cast<const uint8_t*>(sided.data()), sided.size(), "",
                                   GltfImportOptions(), &r, &error))
        << error;
    EXPECT_EQ(r.scene.materials.at(0).flags, static_cast<uint32_t>(MATERIAL_OPAQUE));
    sided.replace(sided.find("true"), 4, R"(false,"alphaMode":"BLEND")");
    ASSERT_TRUE(gltf_import_memory(reinterpret_cast<const uint8_t*>(sided.data()), sided.size(), "",
                                   GltfImportOptions(), &r, &error));
    EXPECT_EQ(r.scene.materials.at(0).flags, static_cast<uint32_t>(MATERIAL_CULL_BACK));
    const std::string plain = triangle_model(data);
    r = GltfImportResult();
    ASSERT_TRUE(gltf_import_memory(reinterpret_cast<const uint8_t*>(plain.data()), plain.size(), "",
                                   GltfImportOptions(), &r, &error));
    EXPECT_EQ(r.scene.materials.at(0).flags, static_cast<uint32_t>(MATERIAL_CULL_BACK | MATERIAL_OPAQUE));

    // Brackets nested past any real model's depth (tinygltf would recurse on them).
    std::string deep =
        R"({"asset":{"version":"2.0"},"extras":)" + std::string(200000, '[') + std::string(200000, ']') + "}";
    EXPECT_FALSE(import_text(deep, "", &error));
    EXPECT_NE(error.find("nests deeper"), std::string::npos) << error;

    // A layout table without one for a plain mesh: the import says what it needs.
    GltfImportOptions only_skinned;
    only_skinned.profiles = {gltf_import_content_profiles().at(2)};
    EXPECT_FALSE(import_text(triangle_model(data), "", &error, only_skinned));
    EXPECT_NE(error.find("needs a vertex profile with position, normal"), std::string::npos) << error;
}

TEST(GltfImport, ReadsBuffersWithoutBytesAndAccessorsWithoutViewsAsTheFormatSays) {
    const std::string data = "data:application/octet-stream;base64,AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAA";
    std::string error;
    GltfImportResult r;
    auto import = [&](const std::string& text) {
        r = GltfImportResult();
        return gltf_import_memory(reinterpret_cast<const uint8_t*>(text.data()), text.size(), "", GltfImportOptions(),
                                  &r, &error);
    };
    // A buffer without uri in a .gltf: its bytes are nowhere, so what reads
    // them is left out, but its views are still held to its length.
    std::string no_uri = triangle_model(data);
    no_uri.erase(no_uri.find(data) - 7, data.size() + 9);
    ASSERT_TRUE(import(no_uri)) << error;
    EXPECT_TRUE(r.scene.meshes.empty());
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_NE(r.warnings[0].find("left out"), std::string::npos) << r.warnings[0];
    EXPECT_FALSE(import(no_uri.replace(no_uri.rfind("36"), 2, "30")));
    EXPECT_NE(error.find("does not fit its buffer"), std::string::npos) << error;

    // Indices without a buffer view are zeros, then sparse values set two.
    std::string sparse = triangle_model(data);
    sparse.replace(sparse.find(R"("attributes")"), 0, R"("indices":1,)");
    sparse.replace(sparse.find(R"(],"bufferViews")"), 0,
                   R"(,{"componentType":5121,"count":3,"type":"SCALAR","sparse":{"count":2,)"
                   R"("indices":{"bufferView":1,"componentType":5121},"values":{"bufferView":2}}})");
    sparse.replace(sparse.find(R"(],"buffers")"), 0,
                   R"(,{"buffer":1,"byteLength":2},{"buffer":1,"byteOffset":4,"byteLength":2})");
    sparse.replace(sparse.rfind("]}"), 0, R"(,{"uri":"data:application/octet-stream;base64,AQIAAAEC","byteLength":6})");
    ASSERT_TRUE(import(sparse)) << error;
    ASSERT_EQ(r.scene.meshes.size(), 1u);
    EXPECT_EQ(r.scene.meshes[0].groups.at(0).indices, (std::vector<uint32_t>{0, 1, 2}));

    // A picture's view is held to its buffer before a decoder reads it.
    EXPECT_FALSE(import(R"({"asset":{"version":"2.0"},"images":[{"bufferView":0,"mimeType":"image/png"}],)"
                        R"("buffers":[{"uri":"data:application/octet-stream;base64,iVBORw0KGgo=","byteLength":8}],)"
                        R"("bufferViews":[{"buffer":0,"byteLength":100000}]})"));
    EXPECT_NE(error.find("past the end of its buffer"), std::string::npos) << error;
}
