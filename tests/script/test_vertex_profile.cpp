#include "core/gl.h"
#include "core/log.h"
#include "core/paths.h"
#include "script/vertex_profile.h"
#include "support/gl_context.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Loads a script written to scripts/<name>; returns the report and stderr.
struct LoadResult {
    std::string report;
    std::string err;
};

LoadResult load(const std::string& name, const std::string& text) {
    ::mkdir("scripts", 0755);
    test_write_file("scripts/" + name, text);
    path_set_data_root("");
    vertex_profile_free();
    std::remove("report.htm");
    log_reset_for_tests();
    testing::internal::CaptureStderr();
    vertex_profile_load(name.c_str());
    LoadResult r;
    r.err = testing::internal::GetCapturedStderr();
    log_close();
    r.report = test_read_file("report.htm");
    log_reset_for_tests();
    return r;
}

bool has(const std::string& text, const std::string& what) { return text.find(what) != std::string::npos; }

const char* standard = "#define MAX_VERTEX_PROFILES 2\n"
                       "#define VERTEX 1\n#define NORMAL 2\n#define TEX 4\n"
                       "def static_mesh {\n"
                       "  vertex_profile_allocate(3)\n"
                       "  vertex_profile_register(0, VERTEX, 3, 0, 0)\n"
                       "  vertex_profile_register(1, NORMAL, 3, 12, 0)\n"
                       "  vertex_profile_register(2, TEX, 2, 24, 0)\n"
                       "}\n"
                       "def two_units\n"
                       "vertex_profile_allocate(3); vertex_profile_register(0, VERTEX, 3, 0, 0)\n"
                       "vertex_profile_register(1, 4, 2, 12, 0)\n"
                       "vertex_profile_register(2, 5, 2, 20, 1)\n";

TEST(VertexProfile, LoadsLayoutsAndStrides) {
    LoadResult r = load("profiles.vsl", standard);
    EXPECT_TRUE(has(r.report, "Vertex Profiler [\"profiles.vsl\" 2] Loaded !")) << r.report;
    ASSERT_EQ(vertex_profile_count, 2);
    EXPECT_EQ(vertex_profile_stride(0), 32);
    EXPECT_EQ(vertex_profile_stride(1), 28);
    const VertexClient& tex = vertex_profiles[0].clients[2];
    EXPECT_EQ(tex.type, CLIENT_TEXCOORD);
    EXPECT_EQ(tex.components, 2);
    EXPECT_EQ(tex.offset, 24);
    EXPECT_EQ(vertex_profiles[1].clients[2].unit, 1);
    EXPECT_EQ(r.err, "");
}

TEST(VertexProfile, MoreSectionsThanProfilesStopsAtTheThirdAllocate) {
    std::string text =
        std::string(standard) + "def third\nvertex_profile_allocate(1)\nvertex_profile_register(0, 1, 3, 0, 0)\n";
    LoadResult r = load("three.vsl", text);
    EXPECT_TRUE(has(r.err, "MAX_VERTEX_PROFILES\nProfiles a mais que os inicializados")) << r.err;
    EXPECT_FALSE(has(r.err, "from: MAX_VERTEX_PROFILES")); // reading stopped at the allocate
    EXPECT_TRUE(has(r.report, "Vertex Profiler [\"three.vsl\" 2] Loaded !"));
    EXPECT_EQ(vertex_profile_stride(0), 32);
    EXPECT_EQ(vertex_profile_stride(1), 28);
}

TEST(VertexProfile, AllocateTakesOnlyNumbers) {
    LoadResult r = load("named.vsl", "#define MAX_VERTEX_PROFILES 1\n#define N 2\ndef a\nvertex_profile_allocate(N)\n"
                                     "vertex_profile_register(0, 1, 3, 0, 0)\n");
    EXPECT_EQ(vertex_profiles[0].client_count, 0);
    EXPECT_TRUE(has(r.err, "from : vertex_profile_allocate(...)\nat:vertex_profile_register(...)\n"
                           "Clientes a mais que os inicializados"));
    EXPECT_EQ(vertex_profile_stride(0), 0);
}

TEST(VertexProfile, HostileValuesAreRefusedWithAReportLine) {
    LoadResult r = load("hostile.vsl",
                        "#define MAX_VERTEX_PROFILES 1\n#define NEG -1\n"
                        "vertex_profile_allocate(2)\nvertex_profile_register(0, 1, 3, 0, 0)\n" // before any def
                        "def a\nvertex_profile_allocate(2)\n"
                        "vertex_profile_register(NEG, 1, 3, 0, 0)\n"
                        "vertex_profile_register(0, 1, 3, 0, 0)\n"
                        "vertex_profile_register(1, 1, 65, 12, 0)\n" // more components than any record
                        "#define MAX_VERTEX_PROFILES 5\n");
    EXPECT_EQ(vertex_profile_count, 1);
    EXPECT_EQ(vertex_profile_stride(0), 12);
    EXPECT_EQ(vertex_profiles[0].clients[1].type, 0); // never registered: ignored when drawing
    EXPECT_TRUE(has(r.report, "negative slot"));
    EXPECT_TRUE(has(r.report, "before the first def"));
    EXPECT_TRUE(has(r.report, "defined twice"));
    EXPECT_TRUE(has(r.report, "out of range"));
    EXPECT_TRUE(has(r.report, "[\"hostile.vsl\" 1] Loaded !"));

    std::string report;
    std::remove("report.htm");
    log_reset_for_tests();
    EXPECT_EQ(vertex_profile_stride(1), 0);
    EXPECT_EQ(vertex_profile_stride(-1), 0);
    vertex_profile_apply(7, nullptr);
    vertex_profile_disable(-3);
    log_close();
    report = test_read_file("report.htm");
    log_reset_for_tests();
    EXPECT_TRUE(has(report, "[#7] apply: no such profile"));
    EXPECT_TRUE(has(report, "[#-3] disable: no such profile"));
}

// A registration the drawing cannot use still takes its bytes in the
// vertex record: a padding slot (type 0, 8 components), a texture unit out of
// range, five components. Dropping them would shorten the stride and make
// every scene on the profile look corrupt.
TEST(VertexProfile, UndrawableRegistrationsCountInTheStrideOnly) {
    test_gl_context();
    LoadResult r = load("padded.vsl", "#define MAX_VERTEX_PROFILES 2\n"
                                      "def padded\nvertex_profile_allocate(5)\n"
                                      "vertex_profile_register(0, 1, 3, 0, 0)\n"
                                      "vertex_profile_register(1, 0, 8, 12, 0)\n"
                                      "vertex_profile_register(2, 4, 2, 44, 0)\n"
                                      "vertex_profile_register(3, 4, 2, 52, 99)\n"
                                      "vertex_profile_register(4, 3, 5, 60, 0)\n"
                                      "def bare\nvertex_profile_allocate(0)\n");
    ASSERT_EQ(vertex_profile_count, 2);
    EXPECT_EQ(vertex_profile_stride(0), 12 + 32 + 8 + 8 + 20);
    EXPECT_EQ(vertex_profile_stride(1), 0); // no registrations: no vertex data
    EXPECT_TRUE(has(r.report, "counted in the stride only")) << r.report;
    EXPECT_FALSE(has(r.report, "offset past the vertex stride")) << r.report;

    float data[64] = {};
    vertex_profile_apply(0, data);
    GLint stride = 0;
    glGetIntegerv(GL_VERTEX_ARRAY_STRIDE, &stride);
    EXPECT_EQ(stride, 80);
    glClientActiveTexture(GL_TEXTURE0);
    void* pointer = nullptr;
    glGetPointerv(GL_TEXTURE_COORD_ARRAY_POINTER, &pointer);
    EXPECT_EQ(pointer, static_cast<void*>(reinterpret_cast<char*>(data) + 44));
    EXPECT_FALSE(glIsEnabled(GL_COLOR_ARRAY)); // five components: skipped
    vertex_profile_disable(0);
    vertex_profile_apply(1, data);
    vertex_profile_disable(1);
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(VertexProfile, StrideHasAnUpperBound) {
    std::string text = "#define MAX_VERTEX_PROFILES 1\ndef wide\nvertex_profile_allocate(20)\n";
    for (int i = 0; i < 20; ++i)
        text += "vertex_profile_register(" + std::to_string(i) + ", 0, 64, " + std::to_string(i * 256) + ", 0)\n";
    LoadResult r = load("wide.vsl", text);
    EXPECT_EQ(vertex_profile_stride(0), VERTEX_PROFILE_MAX_STRIDE);
    EXPECT_TRUE(has(r.report, "past the largest vertex stride")) << r.report;
}

TEST(VertexProfile, OverlongArgumentStopsLoading) {
    LoadResult r = load("long.vsl", "#define MAX_VERTEX_PROFILES 1\ndef a\nvertex_profile_allocate(1)\n"
                                    "vertex_profile_register(" +
                                        std::string(200, '0') + "1, 1, 3, 0, 0)\n");
    EXPECT_TRUE(has(r.err, "long.vsl"));
    EXPECT_TRUE(has(r.report, "Argument too long"));
    EXPECT_EQ(vertex_profile_stride(0), 0);
}

TEST(VertexProfile, ApplyAndDisableDriveClientArrays) {
    test_gl_context();
    load("profiles.vsl", standard);
    float data[64] = {};
    vertex_profile_apply(1, data);

    EXPECT_TRUE(glIsEnabled(GL_VERTEX_ARRAY));
    GLint stride = 0, size = 0;
    glGetIntegerv(GL_VERTEX_ARRAY_STRIDE, &stride);
    glGetIntegerv(GL_VERTEX_ARRAY_SIZE, &size);
    EXPECT_EQ(stride, 28);
    EXPECT_EQ(size, 3);
    void* pointer = nullptr;
    glGetPointerv(GL_VERTEX_ARRAY_POINTER, &pointer);
    EXPECT_EQ(pointer, static_cast<void*>(data));

    GLint type = 0;
    glClientActiveTexture(GL_TEXTURE0);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
    glGetIntegerv(GL_TEXTURE_COORD_ARRAY_TYPE, &type);
    EXPECT_EQ(type, GL_FLOAT);
    glGetPointerv(GL_TEXTURE_COORD_ARRAY_POINTER, &pointer);
    EXPECT_EQ(pointer, static_cast<void*>(reinterpret_cast<char*>(data) + 12));
    glClientActiveTexture(GL_TEXTURE1);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
    glGetIntegerv(GL_TEXTURE_COORD_ARRAY_TYPE, &type);
    EXPECT_EQ(type, GL_INT);
    EXPECT_FALSE(glIsEnabled(GL_NORMAL_ARRAY));

    vertex_profile_disable(1);
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    glClientActiveTexture(GL_TEXTURE0);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
    glClientActiveTexture(GL_TEXTURE1);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
    glClientActiveTexture(GL_TEXTURE0);

    // With a buffer bound the offsets are the pointers.
    vertex_profile_apply(0, nullptr);
    glGetPointerv(GL_NORMAL_ARRAY_POINTER, &pointer);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(pointer), 12u);
    EXPECT_TRUE(glIsEnabled(GL_NORMAL_ARRAY));
    vertex_profile_disable(0);
    EXPECT_FALSE(glIsEnabled(GL_NORMAL_ARRAY));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(VertexProfile, MissingFileIsFatal) {
    path_set_data_root("");
    log_reset_for_tests();
    EXPECT_FALSE(vertex_profile_load("no_such_profiles.vsl"));
    EXPECT_EQ(log_fatal_message(), "Vertex Profiler [\"no_such_profiles.vsl\"] Not Found !");
    log_close();
    std::string report = test_read_file("report.htm");
    EXPECT_TRUE(has(report, "CRITICAL")) << report;
    log_reset_for_tests();
}

} // namespace

namespace {

TEST(VertexProfile, ContentProfilesLoadCleanly) {
    const std::string content = test_content_dir();
    if (content.empty() || test_read_file(content + "/scripts/vertexprofiles.vsl").empty())
        GTEST_SKIP() << "content not built";
    vertex_profile_free();
    path_set_data_root(content);
    testing::internal::CaptureStderr();
    vertex_profile_load("vertexprofiles.vsl");
    std::string err = testing::internal::GetCapturedStderr();
    path_set_data_root("");
    EXPECT_EQ(err, "");
    ASSERT_GT(vertex_profile_count, 0);
    for (int i = 0; i < vertex_profile_count; ++i) {
        EXPECT_GT(vertex_profile_stride(i), 0) << "profile " << i;
        for (int c = 0; c < vertex_profiles[i].client_count; ++c)
            EXPECT_NE(vertex_profiles[i].clients[c].type, 0) << "profile " << i << " slot " << c << " never registered";
    }
}

} // namespace
