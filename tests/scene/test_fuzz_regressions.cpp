// Replays every input the fuzzers keep (the seed corpora and each crash ever
// found) through the same harness the libFuzzer targets use, so a loader
// fault that was fixed stays fixed in the ordinary test run. The inputs run
// in forked children: a sanitizer report or a failed check fails the test
// with the file's name instead of taking the whole program down.
#include "../../fuzz/fuzz_harness.h"

#include "platform/platform_dialog.h"
#include "script/script_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

using Harness = int (*)(const uint8_t*, size_t);

struct Target {
    const char* name;
    Harness run;
};

const Target targets[] = {
    {"pack", fuzz_pack_input},     {"texture", fuzz_texture_input}, {"vertex_profile", fuzz_vertex_profile_input},
    {"shader", fuzz_shader_input}, {"scene", fuzz_scene_input},
};

fs::path fuzz_dir() { return fs::path(VANTOR_TEST_SOURCE_DIR).parent_path() / "fuzz"; }

std::vector<fs::path> files_in(const fs::path& dir) {
    std::vector<fs::path> files;
    if (fs::is_directory(dir))
        for (const fs::directory_entry& e : fs::directory_iterator(dir))
            if (e.is_regular_file()) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<uint8_t> read_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class FuzzRegressions : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Script loaders may show message boxes; nobody answers them here.
        platform_set_interactive(false);
        GTEST_FLAG_SET(death_test_style, "fast");
    }
};

// Runs every file of fuzz/<folder>/<target>, one forked child per target;
// returns how many files there were. The child names each file on standard
// error before running it, so a failure shows the culprit last.
size_t replay(const std::string& folder, bool strict) {
    size_t count = 0;
    for (const Target& target : targets) {
        std::vector<fs::path> files = files_in(fuzz_dir() / folder / target.name);
        if (files.empty()) continue;
        EXPECT_EXIT(
            {
                if (strict) setenv("FUZZ_STRICT", "1", 1);
                for (const fs::path& file : files) {
                    std::fprintf(stderr, "replaying %s\n", file.c_str());
                    std::vector<uint8_t> bytes = read_bytes(file);
                    target.run(bytes.data(), bytes.size());
                }
                std::exit(0);
            },
            ::testing::ExitedWithCode(0), "")
            << folder << "/" << target.name;
        count += files.size();
    }
    return count;
}

} // namespace

TEST_F(FuzzRegressions, CorporaLoadWithoutFaults) { EXPECT_GT(replay("corpus", false), 50u); }

// Every crash the fuzzers found, once its loader was mended.
TEST_F(FuzzRegressions, FixedCrashesStayFixed) { replay("crashes", false); }

// Faults found and not yet mended (fuzz/crashes/open/<target>/): replayed
// with the strict checks on. Move a file up to fuzz/crashes/<target>/ once
// its loader refuses it.
TEST_F(FuzzRegressions, DISABLED_OpenFaults) { EXPECT_GT(replay("crashes/open", true), 0u); }

// A vertex-profile client whose offset plus size reaches past the profile's
// stride makes every draw read beyond its vertex record, and at the last
// vertex beyond the vertex buffer (the scene file's vertex data is exactly
// vertex count x stride bytes). Such a client is dropped with a report line.
TEST_F(FuzzRegressions, VertexProfileClientMustFitItsStride) {
    std::string text = "#define MAX_VERTEX_PROFILES 1\n"
                       "def a {\n"
                       "vertex_profile_allocate(2)\n"
                       "vertex_profile_register(0, 1, 3, 0, 0)\n"
                       "vertex_profile_register(1, 4, 2, 1000, 0)\n"
                       "}\n";
    FILE* file = fmemopen(text.data(), text.size(), "r");
    ASSERT_NE(file, nullptr);
    vertex_profile_load_stream(file, "offset.vsl");
    std::fclose(file);
    for (int i = 0; i < vertex_profile_count; ++i) {
        const VertexProfile& p = vertex_profiles[i];
        for (int c = 0; c < p.client_count; ++c) {
            if (p.clients[c].type != 0) {
                EXPECT_LE(p.clients[c].offset + p.clients[c].components * 4, p.stride) << "client " << c;
            }
        }
    }
    vertex_profile_free();
}
