#include "core/log.h"
#include "core/paths.h"
#include "gfx/image_write.h"
#include "gfx/pack.h"
#include "gfx/texture.h"
#include "support/gl_context.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

std::string str(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

// A w x h image whose every pixel is distinct and whose channels never repeat a row.
std::vector<uint8_t> pattern(int w, int h, int bpp, int seed = 0) {
    std::vector<uint8_t> px(static_cast<size_t>(w) * h * bpp);
    for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<uint8_t>(i * 7 + seed * 31 + 1);
    return px;
}

std::string png(int w, int h, int bpp, int seed = 0) {
    std::vector<uint8_t> px = pattern(w, h, bpp, seed);
    return str(image_encode_png(w, h, bpp, px.data()));
}

std::string le32(int v) {
    auto u = static_cast<uint32_t>(v);
    return std::string{static_cast<char>(u), static_cast<char>(u >> 8), static_cast<char>(u >> 16),
                       static_cast<char>(u >> 24)};
}

std::string container(int flags) { return "VTX" + std::string(1, '\0') + le32(flags); }

std::string raw(int w, int h, int bpp, int seed = 0) { return str(pattern(w, h, bpp, seed)); }

int count(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

std::vector<uint8_t> tex_image(GLenum target, int w, int h, int bpp, int depth = 1) {
    std::vector<uint8_t> out(static_cast<size_t>(w) * h * bpp * depth);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(target, 0, bpp == 4 ? GL_RGBA : GL_RGB, GL_UNSIGNED_BYTE, out.data());
    return out;
}

class TextureLoad : public ::testing::Test {
protected:
    void SetUp() override {
        test_gl_context();
        fs::remove_all("tex_root");
        fs::create_directories("tex_root/textures");
        path_set_data_root("tex_root");
        std::remove("report.htm");
        log_reset_for_tests();
        texture_filter_mode = 1;
    }
    void TearDown() override {
        path_set_data_root("");
        texture_filter_mode = 1;
    }
    static void put(const std::string& relative, const std::string& bytes) {
        test_write_file("tex_root/" + relative, bytes);
    }
    // The report so far; a later message starts a new one.
    static std::string report() {
        log_close();
        std::string text = test_read_file("report.htm");
        std::remove("report.htm");
        log_reset_for_tests();
        return text;
    }
    // Loads and, on success, binds the texture on unit 0 for inspection.
    static bool load(Texture* t, const std::string& path) {
        texture_init(t);
        bool ok = texture_load(t, path.c_str());
        if (ok) {
            glActiveTexture(GL_TEXTURE0);
            glBindTexture(t->target, t->gl_name);
        }
        return ok;
    }
};

TEST_F(TextureLoad, LooksAsPassedThenUnderTexturesThenInTheArchive) {
    put("both.png", png(2, 2, 4, 1));
    put("textures/both.png", png(2, 2, 4, 2));
    put("textures/only_folder.png", png(4, 2, 3, 3));
    std::string p = png(8, 4, 3, 4);
    ASSERT_TRUE(pack_write("tex_root/data_00.pack", {{"other", {1, 2, 3}}, {"packed.png", {p.begin(), p.end()}}}));

    Texture t;
    ASSERT_TRUE(load(&t, "both.png"));
    EXPECT_EQ(tex_image(GL_TEXTURE_2D, 2, 2, 4), pattern(2, 2, 4, 1));
    EXPECT_STREQ(t.name, "both.png");
    texture_free(&t);

    ASSERT_TRUE(load(&t, "only_folder.png"));
    EXPECT_STREQ(t.name, "only_folder.png");
    EXPECT_EQ(t.width, 4);
    EXPECT_EQ(t.height, 2);
    EXPECT_EQ(t.bytes_per_pixel, 3);
    texture_free(&t);

    ASSERT_TRUE(load(&t, "packed.png"));
    EXPECT_EQ(tex_image(GL_TEXTURE_2D, 8, 4, 3), pattern(8, 4, 3, 4));
    texture_free(&t);

    std::string log = report();
    EXPECT_EQ(count(log, "Texture Loader [\"both.png\" 2x2x4] Loaded !"), 1);
    EXPECT_EQ(count(log, "Texture Loader [\"only_folder.png\" 4x2x3] Loaded !"), 1);
    EXPECT_EQ(count(log, "Texture Loader [\"packed.png\" 8x4x3] Loaded !"), 1);
}

TEST_F(TextureLoad, MissingArchiveLogsButMissingEntryDoesNot) {
    Texture t;
    EXPECT_FALSE(load(&t, "nowhere.png"));
    EXPECT_EQ(t.gl_name, 0u);
    EXPECT_EQ(t.name, nullptr);
    EXPECT_EQ(count(report(), "Texture Loader [\"nowhere.png\"] Not found !"), 1);

    ASSERT_TRUE(pack_write("tex_root/data_00.pack", {{"x.png", {1}}}));
    EXPECT_FALSE(load(&t, "nowhere.png"));
    EXPECT_EQ(count(report(), "Texture Loader"), 0);
}

TEST_F(TextureLoad, OnlyEightBitTruecolourPngsAreAccepted) {
    const std::string suite = test_data_dir() + "/png/pngsuite/";
    for (const char* name :
         {"basn0g08.png", "basn3p08.png", "basn2c16.png", "basn4a08.png", "basn6a16.png", "basn0g01.png"}) {
        fs::copy_file(suite + name, std::string("tex_root/") + name);
        Texture t;
        EXPECT_FALSE(load(&t, name)) << name;
        std::string log = report();
        EXPECT_EQ(count(log, "Texture Loader [#4] PNG Loader Error !"), 1) << name;
        EXPECT_EQ(count(log, "Loaded !"), 0) << name;
    }
    for (const auto& entry : fs::directory_iterator(test_data_dir() + "/png/badpal")) {
        fs::copy_file(entry.path(), "tex_root/badpal.png", fs::copy_options::overwrite_existing);
        Texture t;
        EXPECT_FALSE(load(&t, "badpal.png")) << entry.path();
        std::string log = report();
        EXPECT_EQ(count(log, "PNG Loader Error !"), 1) << entry.path();
    }
    // Interlaced images load with the same pixels as the plain ones.
    for (const char* pair : {"2c08", "6a08"}) {
        fs::copy_file(suite + "basn" + pair + ".png", std::string("tex_root/plain.png"),
                      fs::copy_options::overwrite_existing);
        fs::copy_file(suite + "ibasn" + pair + ".png", std::string("tex_root/laced.png"),
                      fs::copy_options::overwrite_existing);
        Texture a, b;
        ASSERT_TRUE(load(&a, "plain.png"));
        int bpp = a.bytes_per_pixel;
        std::vector<uint8_t> plain = tex_image(GL_TEXTURE_2D, 32, 32, bpp);
        ASSERT_TRUE(load(&b, "laced.png"));
        EXPECT_EQ(a.width, 32);
        EXPECT_EQ(tex_image(GL_TEXTURE_2D, 32, 32, bpp), plain);
        texture_free(&a);
        texture_free(&b);
    }
}

// Every file of the suite: 8-bit RGB and RGBA decode, everything else is #4.
TEST_F(TextureLoad, WholePngSuiteWithoutGl) {
    int accepted = 0, refused = 0;
    for (const auto& entry : fs::directory_iterator(test_data_dir() + "/png/pngsuite")) {
        std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".png") continue;
        std::string kind = name.substr(name.size() - 8, 4);
        bool truecolour8 = kind == "2c08" || kind == "6a08";
        TextureImage img;
        bool ok = texture_decode(std::fopen(entry.path().c_str(), "rb"), name.c_str(), &img);
        EXPECT_EQ(ok, truecolour8) << name;
        std::string log = report();
        if (ok) {
            ++accepted;
            EXPECT_EQ(img.width * img.height * img.bytes_per_pixel, static_cast<int>(img.planes[0].size())) << name;
            EXPECT_EQ(img.bytes_per_pixel, kind == "2c08" ? 3 : 4) << name;
        } else {
            ++refused;
            EXPECT_EQ(count(log, "Texture Loader [#4] PNG Loader Error !"), 1) << name;
        }
    }
    EXPECT_GT(accepted, 4);
    EXPECT_GT(refused, 20);
}

TEST_F(TextureLoad, CrashersAreRefusedOrLoadedCleanly) {
    for (const auto& entry : fs::directory_iterator(test_data_dir() + "/png/crashers")) {
        fs::copy_file(entry.path(), "tex_root/crasher.png", fs::copy_options::overwrite_existing);
        Texture t;
        bool ok = load(&t, "crasher.png");
        std::string log = report();
        EXPECT_EQ(count(log, "Loaded !"), ok ? 1 : 0) << entry.path();
        if (ok) texture_free(&t);
    }
}

TEST_F(TextureLoad, BrokenSignatureFailsWithoutATexture) {
    std::string bytes = png(2, 2, 3);
    bytes[0] = 'X'; // bytes 1 to 3 still read "PNG"
    put("sig.png", bytes);
    Texture t;
    GLuint before;
    glGenTextures(1, &before);
    EXPECT_FALSE(load(&t, "sig.png"));
    EXPECT_EQ(t.gl_name, 0u);
    GLuint after;
    glGenTextures(1, &after);
    EXPECT_EQ(after, before + 1); // no texture name was taken in between
    std::string log = report();
    EXPECT_EQ(count(log, "Texture Loader [#1] PNG Loader Error !"), 1);
    EXPECT_EQ(count(log, "Loaded !"), 0);

    put("what.bin", "GIF89a....");
    EXPECT_FALSE(load(&t, "what.bin"));
    EXPECT_EQ(count(report(), "Texture Loader [what.bin] Unknow File Type !"), 1);
    put("vt.bin", "VTPNG");
    EXPECT_FALSE(load(&t, "vt.bin"));
    EXPECT_EQ(count(report(), "Unknow File Type !"), 1);
}

TEST_F(TextureLoad, OddWidthRgbUploadsWithoutSkew) {
    put("odd.png", png(1, 8, 3, 5));
    Texture t;
    ASSERT_TRUE(load(&t, "odd.png"));
    EXPECT_EQ(tex_image(GL_TEXTURE_2D, 1, 8, 3), pattern(1, 8, 3, 5));
    texture_free(&t);
    put("raw.vtx", container(0x09) + le32(1) + le32(4) + le32(3) + raw(1, 4, 3, 6));
    ASSERT_TRUE(load(&t, "raw.vtx"));
    EXPECT_EQ(tex_image(GL_TEXTURE_2D, 1, 4, 3), pattern(1, 4, 3, 6));
    texture_free(&t);
}

TEST_F(TextureLoad, FilterModes) {
    put("f.png", png(4, 4, 4));
    for (int mode : {1, 2}) {
        texture_filter_mode = mode;
        Texture t;
        ASSERT_TRUE(load(&t, "f.png"));
        GLint mag = 0, min = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &mag);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min);
        GLint w1 = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &w1);
        GLint expected = mode == 1 ? GL_LINEAR : GL_NEAREST;
        EXPECT_EQ(mag, expected);
        EXPECT_EQ(min, expected);
        EXPECT_EQ(w1, 2); // the mipmap chain exists
        texture_free(&t);
    }
}

TEST_F(TextureLoad, CubeContainer) {
    std::string body = le32(2) + le32(2) + le32(3);
    for (int face = 0; face < 6; ++face) body += raw(2, 2, 3, face);
    put("cube.vtx", container(0x21) + body);
    Texture t;
    ASSERT_TRUE(load(&t, "cube.vtx"));
    EXPECT_EQ(t.target, static_cast<GLenum>(GL_TEXTURE_CUBE_MAP));
    EXPECT_EQ(t.depth, 0);
    for (GLenum wrap : {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T, GL_TEXTURE_WRAP_R}) {
        GLint v = 0;
        glGetTexParameteriv(GL_TEXTURE_CUBE_MAP, wrap, &v);
        EXPECT_EQ(v, GL_CLAMP_TO_EDGE);
    }
    for (GLenum coord : {GL_S, GL_T, GL_R}) {
        GLint mode = 0;
        glGetTexGeniv(coord, GL_TEXTURE_GEN_MODE, &mode);
        EXPECT_EQ(mode, GL_REFLECTION_MAP);
        EXPECT_FALSE(glIsEnabled(coord == GL_S   ? GL_TEXTURE_GEN_S
                                 : coord == GL_T ? GL_TEXTURE_GEN_T
                                                 : GL_TEXTURE_GEN_R));
    }
    EXPECT_EQ(tex_image(GL_TEXTURE_CUBE_MAP_NEGATIVE_Z, 2, 2, 3), pattern(2, 2, 3, 5));
    texture_free(&t);

    // Six PNG faces after the raw ones replace them.
    std::string pngs;
    for (int face = 0; face < 6; ++face) pngs += png(4, 4, 4, 10 + face);
    put("cube2.vtx", container(0x23) + body + pngs);
    ASSERT_TRUE(load(&t, "cube2.vtx"));
    EXPECT_EQ(t.width, 4);
    EXPECT_EQ(t.bytes_per_pixel, 4);
    EXPECT_EQ(tex_image(GL_TEXTURE_CUBE_MAP_POSITIVE_Y, 4, 4, 4), pattern(4, 4, 4, 12));
    texture_free(&t);
}

TEST_F(TextureLoad, VolumeWinsOverCube) {
    put("vol.vtx", container(0x31) + le32(2) + le32(2) + le32(4) + le32(3) + raw(2, 2, 4 * 3, 7));
    Texture t;
    ASSERT_TRUE(load(&t, "vol.vtx"));
    EXPECT_EQ(t.target, static_cast<GLenum>(GL_TEXTURE_3D));
    EXPECT_EQ(t.depth, 3);
    EXPECT_EQ(tex_image(GL_TEXTURE_3D, 2, 2, 4, 3), pattern(2, 2, 12, 7));
    texture_free(&t);

    put("vol_png.vtx", container(0x12) + le32(2) + le32(2) + le32(3) + le32(2) + png(2, 2, 3, 1) + png(2, 2, 3, 2));
    ASSERT_TRUE(load(&t, "vol_png.vtx"));
    std::vector<uint8_t> expected = pattern(2, 2, 3, 1), second = pattern(2, 2, 3, 2);
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(tex_image(GL_TEXTURE_3D, 2, 2, 3, 2), expected);
    texture_free(&t);
    EXPECT_EQ(count(report(), "Loaded !"), 2);
}

TEST_F(TextureLoad, TwoDContainerAndEmptyShape) {
    put("two.vtx", container(0x0B) + le32(1) + le32(1) + le32(3) + "abc" + png(4, 2, 4, 9));
    Texture t;
    ASSERT_TRUE(load(&t, "two.vtx"));
    EXPECT_EQ(t.width, 4);
    EXPECT_EQ(t.height, 2);
    EXPECT_EQ(tex_image(GL_TEXTURE_2D, 4, 2, 4), pattern(4, 2, 4, 9));
    texture_free(&t);
    put("none.vtx", container(0x03));
    ASSERT_TRUE(load(&t, "none.vtx"));
    EXPECT_NE(t.gl_name, 0u);
    EXPECT_EQ(t.width, 0);
    texture_free(&t);
    EXPECT_EQ(count(report(), "Texture Loader [\"none.vtx\" 0x0x0] Loaded !"), 1);
}

TEST_F(TextureLoad, DamagedContainersAreRefusedWithOneLine) {
    std::string bad_png = png(2, 2, 3);
    bad_png[0] = 0;
    std::string cases[][2] = {
        // A cube whose third PNG face fails: no more planes are read.
        {"#1", container(0x22) + png(2, 2, 3) + png(2, 2, 3) + bad_png + png(2, 2, 3) + png(2, 2, 3) + png(2, 2, 3)},
        // Cube faces of different sizes.
        {"Corrupt",
         container(0x22) + png(2, 2, 3) + png(4, 4, 3) + png(2, 2, 3) + png(2, 2, 3) + png(2, 2, 3) + png(2, 2, 3)},
        // A volume slice whose size differs from the header.
        {"Corrupt", container(0x12) + le32(2) + le32(2) + le32(3) + le32(2) + png(2, 2, 3) + png(4, 2, 3)},
        {"Corrupt", container(0x12) + le32(2) + le32(2) + le32(3) + le32(2) + png(2, 2, 3) + png(2, 2, 4)},
        // A volume whose second slice is a grey PNG.
        {"#4", container(0x12) + le32(2) + le32(2) + le32(3) + le32(2) + png(2, 2, 3) + png(2, 2, 1)},
        // Raw planes with 2 or 5 bytes per pixel.
        {"Corrupt", container(0x09) + le32(2) + le32(2) + le32(2) + raw(2, 2, 2)},
        {"Corrupt", container(0x21) + le32(1) + le32(1) + le32(5) + raw(6, 1, 5)},
        // Raw data shorter than the header says, and absurd sizes.
        {"Corrupt", container(0x09) + le32(4) + le32(4) + le32(4) + raw(4, 3, 4)},
        {"Corrupt", container(0x11) + le32(2) + le32(2) + le32(3) + le32(3) + raw(2, 2, 3)},
        {"Corrupt", container(0x09) + le32(-4) + le32(4) + le32(4)},
        {"Corrupt", container(0x11) + le32(16000) + le32(16000) + le32(4) + le32(2000000000)},
        {"Corrupt", container(0x09) + le32(2)},
        {"Corrupt", std::string("VTX")},
    };
    int i = 0;
    for (auto& c : cases) {
        put("bad.vtx", c[1]);
        Texture t;
        GLuint before;
        glGenTextures(1, &before);
        EXPECT_FALSE(load(&t, "bad.vtx")) << i;
        GLuint after;
        glGenTextures(1, &after);
        EXPECT_EQ(after, before + 1) << i;
        std::string log = report();
        EXPECT_EQ(count(log, "ERROR!!"), 1) << i;
        EXPECT_EQ(count(log, "Loaded !"), 0) << i;
        if (c[0] == "Corrupt") EXPECT_EQ(count(log, "Texture Loader [\"bad.vtx\"] Corrupt File !"), 1) << i;
        else EXPECT_EQ(count(log, "Texture Loader [" + c[0] + "] PNG Loader Error !"), 1) << i;
        ++i;
    }
}

TEST_F(TextureLoad, UnitStateAfterLoad) {
    put("s.png", png(2, 2, 3));
    GLuint stray;
    glGenTextures(1, &stray);
    for (int unit = 0; unit < 8; ++unit) {
        glActiveTexture(GL_TEXTURE0 + unit);
        glBindTexture(GL_TEXTURE_2D, stray);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    }
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_CULL_FACE);
    glBlendFunc(GL_ONE, GL_ONE);
    Texture t;
    texture_init(&t);
    ASSERT_TRUE(texture_load(&t, "s.png"));
    for (int unit = 7; unit >= 0; --unit) {
        glActiveTexture(GL_TEXTURE0 + unit);
        GLint bound = -1, env = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
        EXPECT_EQ(bound, 0) << unit;
        EXPECT_EQ(env, GL_MODULATE) << unit;
    }
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    GLint src = 0, dst = 0;
    glGetIntegerv(GL_BLEND_SRC, &src);
    glGetIntegerv(GL_BLEND_DST, &dst);
    EXPECT_EQ(src, GL_SRC_ALPHA);
    EXPECT_EQ(dst, GL_ONE_MINUS_SRC_ALPHA);
    texture_free(&t);
    glDeleteTextures(1, &stray);
}

TEST_F(TextureLoad, LongPathsAndRecordOperations) {
    std::string dir = "textures";
    std::string rel;
    while (rel.size() < 1100) rel += std::string(60, 'd') + "/";
    fs::create_directories("tex_root/" + dir + "/" + rel);
    put(dir + "/" + rel + "long.png", png(2, 2, 4));
    Texture t;
    ASSERT_TRUE(load(&t, rel + "long.png"));
    EXPECT_EQ(std::string(t.name), rel + "long.png");

    Texture copy;
    texture_init(&copy);
    EXPECT_EQ(copy.target, static_cast<GLenum>(GL_TEXTURE_2D));
    Texture returned = texture_copy(&copy, t);
    EXPECT_EQ(copy.name, t.name); // shared, not duplicated
    EXPECT_EQ(returned.gl_name, t.gl_name);
    GLuint name = t.gl_name;
    texture_free(&copy);
    EXPECT_FALSE(glIsTexture(name));
    EXPECT_EQ(copy.name, nullptr);

    Texture by_value = texture_load("missing.png");
    EXPECT_EQ(by_value.gl_name, 0u);
    EXPECT_EQ(by_value.name, nullptr);
}

TEST_F(TextureLoad, PngReaderStopsBehindThePng) {
    std::string first = png(3, 2, 3, 1);
    test_write_file("two_pngs.bin", first + png(2, 2, 4, 2) + "tail");
    FILE* f = std::fopen("two_pngs.bin", "rb");
    ASSERT_NE(f, nullptr);
    int w = 0, h = 0, bpp = 0;
    uint8_t* a = texture_read_png(f, &w, &h, &bpp);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(std::ftell(f), static_cast<long>(first.size()));
    EXPECT_EQ(std::vector<uint8_t>(a, a + 18), pattern(3, 2, 3, 1));
    std::free(a);
    uint8_t* b = texture_read_png(f, &w, &h, &bpp);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(bpp, 4);
    std::free(b);
    // "tail" is no PNG: the reader closes the stream itself.
    EXPECT_EQ(texture_read_png(f, &w, &h, &bpp), nullptr);
    report();
}

TEST(ImageWrite, DeterministicAndReadableBack) {
    std::vector<uint8_t> px = pattern(5, 3, 3, 2);
    std::vector<uint8_t> a = image_encode_png(5, 3, 3, px.data());
    EXPECT_EQ(a, image_encode_png(5, 3, 3, px.data()));
    EXPECT_EQ(str(a).find("tIME"), std::string::npos);
    EXPECT_TRUE(image_encode_png(0, 3, 3, px.data()).empty());
    EXPECT_TRUE(image_encode_png(5, 3, 5, px.data()).empty());
    ASSERT_TRUE(image_write_png("written.png", 5, 3, 3, px.data()));
    EXPECT_EQ(test_read_file("written.png"), str(a));
    EXPECT_FALSE(image_write_png("no_such_dir/x.png", 5, 3, 3, px.data()));
    FILE* f = std::fopen("written.png", "rb");
    int w = 0, h = 0, bpp = 0;
    uint8_t* back = texture_read_png(f, &w, &h, &bpp);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(back, back + 45), px);
    std::free(back);
    std::fclose(f);

    // The capture's settings: fastest level, every row predicted from the one
    // above, written without libpng; libpng reads them back, checking each
    // chunk's CRC, in every pixel size.
    for (int size = 1; size <= 4; ++size) {
        std::vector<uint8_t> many = pattern(37, 21, size, size);
        ASSERT_TRUE(image_write_png("fast.png", 37, 21, size, many.data(), 1, IMAGE_ROWS_UP)) << size;
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        ASSERT_TRUE(png_image_begin_read_from_file(&image, "fast.png")) << size;
        EXPECT_EQ(image.width, 37u);
        EXPECT_EQ(image.height, 21u);
        static const png_uint_32 formats[5] = {0, PNG_FORMAT_GRAY, PNG_FORMAT_GA, PNG_FORMAT_RGB, PNG_FORMAT_RGBA};
        EXPECT_EQ(image.format, formats[size]) << size;
        std::vector<uint8_t> back(PNG_IMAGE_SIZE(image));
        ASSERT_TRUE(png_image_finish_read(&image, nullptr, back.data(), 0, nullptr)) << size;
        EXPECT_EQ(back, many) << size;
    }
}

TEST_F(TextureLoad, DecodeWorksOnMemoryStreamsWithoutGl) {
    std::string bytes = container(0x0A) + png(2, 3, 3, 4);
    FILE* f = fmemopen(bytes.data(), bytes.size(), "rb");
    ASSERT_NE(f, nullptr);
    TextureImage img;
    ASSERT_TRUE(texture_decode(f, "mem", &img));
    EXPECT_EQ(img.width, 2);
    EXPECT_EQ(img.height, 3);
    ASSERT_EQ(img.planes.size(), 1u);
    EXPECT_EQ(img.planes[0], pattern(2, 3, 3, 4));
    report();
}

} // namespace
