#include "core/log.h"
#include "script/script_reader.h"
#include "script/shader.h"
#include "script/vertex_profile.h"
#include "support/gl_context.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Read {
    int result;
    std::string text;
};

// Every read of a real file, in order, until the reader stops.
std::vector<Read> read_all(const std::string& contents, size_t size = 1024) {
    test_write_file("reader.vsl", contents);
    FILE* file = std::fopen("reader.vsl", "r");
    std::vector<Read> reads;
    std::vector<char> buffer(size, '\0');
    while (!std::feof(file) && reads.size() < 100) {
        script_clear_text(buffer.data(), size);
        int result = script_read_statement(file, buffer.data(), size);
        reads.push_back({result, buffer.data()});
        if (result == READ_TOO_LONG) break;
    }
    std::fclose(file);
    return reads;
}

// Report lines written while fn runs.
template <typename F> std::string report_of(F fn) {
    std::remove("report.htm");
    log_reset_for_tests();
    fn();
    log_close();
    std::string report = test_read_file("report.htm");
    log_reset_for_tests();
    return report;
}

int count_of(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST(ScriptReader, TerminatorsAndBlocks) {
    auto reads = read_all("a(1); b(2)\nc(3);\n}\ndef x {\nlast(4)");
    ASSERT_EQ(reads.size(), 9u);
    EXPECT_EQ(reads[0].result, READ_STATEMENT);
    EXPECT_EQ(reads[0].text, "a(1)");
    EXPECT_EQ(reads[1].text, "b(2)");
    EXPECT_EQ(reads[2].text, "c(3)");
    EXPECT_EQ(reads[3].result, READ_NOTHING); // ";" then newline
    EXPECT_EQ(reads[4].result, READ_BLOCK_CLOSE);
    EXPECT_EQ(reads[4].text, "");
    EXPECT_EQ(script_classify(reads[4].text.c_str()), STATEMENT_EMPTY);
    EXPECT_EQ(reads[5].result, READ_NOTHING); // newline after "}"
    EXPECT_EQ(reads[6].result, READ_BLOCK_OPEN);
    EXPECT_EQ(reads[6].text, "def x ");
    EXPECT_EQ(reads[7].result, READ_NOTHING);
    EXPECT_EQ(reads[8].result, READ_END_OF_FILE); // no final newline: still returned
    EXPECT_EQ(reads[8].text, "last(4)");
}

TEST(ScriptReader, QuotesKeepEverything) {
    auto reads = read_all("shader_program(1, \"void main() {\n\tx;  // y\n}\")\nnext()\n");
    ASSERT_GE(reads.size(), 2u);
    EXPECT_EQ(reads[0].result, READ_STATEMENT);
    EXPECT_EQ(reads[0].text, "shader_program(1,\"void main() {\n\tx;  // y\n}\")");
    EXPECT_EQ(reads[1].text, "next()");
}

TEST(ScriptReader, CommentsAndSlash) {
    auto reads = read_all("a(1) // trailing\n// alone\nb(x/2)\nc(1) /* multi\nline **/ d(2)\n");
    ASSERT_GE(reads.size(), 6u);
    EXPECT_EQ(reads[0].result, READ_COMMENT);
    EXPECT_EQ(reads[0].text, "a(1) ");
    EXPECT_EQ(reads[1].result, READ_COMMENT);
    EXPECT_EQ(reads[1].text, "");
    EXPECT_EQ(reads[2].text, "b(x/2)");
    EXPECT_EQ(reads[3].result, READ_COMMENT);
    EXPECT_EQ(reads[3].text, "c(1) ");
    EXPECT_EQ(reads[4].text, "d(2)"); // "**/" closes the comment
}

TEST(ScriptReader, UnterminatedCommentSwallowsTheRest) {
    auto reads = read_all("a(1)\n/* never closed\nb(2)\n");
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_EQ(reads[1].result, READ_COMMENT);
    EXPECT_EQ(reads[1].text, "");
    reads = read_all("a(1) // last line");
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].result, READ_COMMENT);
    EXPECT_EQ(reads[0].text, "a(1) ");
}

TEST(ScriptReader, BlankNormalisationNameAndArguments) {
    auto reads = read_all("  foo (  alpha ,\t007 , 12abc )\n");
    ASSERT_GE(reads.size(), 1u);
    const std::string& s = reads[0].text;
    EXPECT_EQ(s, "foo (alpha ,007 ,12abc )");
    char name[SCRIPT_NAME_SIZE] = {};
    ASSERT_TRUE(script_statement_name(s.c_str(), name, sizeof name));
    script_trim(name);
    EXPECT_STREQ(name, "foo");
    char arg[SCRIPT_ARGUMENT_SIZE] = {};
    ASSERT_TRUE(script_argument(s.c_str(), arg, 0, sizeof arg));
    EXPECT_STREQ(arg, "alpha ");
    EXPECT_EQ(script_value(s.c_str(), 1), 7);
    EXPECT_EQ(script_value(s.c_str(), 2), 12);
    EXPECT_EQ(script_value("f(0x10)", 0), 0);
    std::memset(arg, 0, sizeof arg);
    ASSERT_TRUE(script_argument(s.c_str(), arg, 3, sizeof arg)); // no such argument
    EXPECT_STREQ(arg, "");
}

TEST(ScriptReader, ArgumentsAcrossQuotes) {
    const char* s = "f(\"a,b\",2)";
    char arg[64] = {};
    ASSERT_TRUE(script_argument(s, arg, 0, sizeof arg));
    EXPECT_STREQ(arg, "\"a,b\"");
    script_unquote(arg);
    EXPECT_STREQ(arg, "a,b");
    // Every comma counts when looking for the start, quoted or not.
    std::memset(arg, 0, sizeof arg);
    ASSERT_TRUE(script_argument(s, arg, 1, sizeof arg));
    EXPECT_STREQ(arg, "b\",2)");
    // "(" inside quotes is not the argument list.
    std::memset(arg, 0, sizeof arg);
    ASSERT_TRUE(script_argument("\"(x\"(5)", arg, 0, sizeof arg));
    EXPECT_STREQ(arg, "5");
}

TEST(ScriptReader, UnquoteTrimAndClassify) {
    char a[] = "\"abc\" tail";
    script_unquote(a);
    EXPECT_STREQ(a, "abc");
    char b[] = "abc\"";
    script_unquote(b);
    EXPECT_STREQ(b, "abc\"");
    char c[] = "\"open";
    script_unquote(c);
    EXPECT_STREQ(c, "open");
    char d[] = "x \t\r ";
    script_trim(d);
    EXPECT_STREQ(d, "x");
    char e[] = " ";
    script_trim(e);
    EXPECT_STREQ(e, " ");

    EXPECT_EQ(script_classify(""), STATEMENT_EMPTY);
    EXPECT_EQ(script_classify("def profile"), STATEMENT_DEF);
    EXPECT_EQ(script_classify("def(1)"), STATEMENT_PLAIN);
    EXPECT_EQ(script_classify("#define A 1"), STATEMENT_DEFINE);
    EXPECT_EQ(script_classify("if x"), STATEMENT_IF);
    EXPECT_EQ(script_classify("else"), STATEMENT_PLAIN);
    EXPECT_EQ(script_classify("else x"), STATEMENT_ELSE);
    EXPECT_EQ(script_classify("return 0"), STATEMENT_RETURN);
    EXPECT_EQ(script_classify("define_x(1)"), STATEMENT_PLAIN);
}

TEST(ScriptReader, DefinesResolveNewestAndNegative) {
    define_register("#define A 5");
    define_register("#define A 12 apples");
    define_register("#define NEG -1");
    EXPECT_STREQ(define_register("#define EMPTY   "), "EMPTY");
    EXPECT_EQ(script_value("f(A)", 0), 12);
    EXPECT_EQ(script_value("f(NEG)", 0), -1);
    EXPECT_EQ(script_value("f(-1)", 0), 0); // looked up as a name
    EXPECT_EQ(define_lookup("EMPTY")->value, nullptr);
    std::string report = report_of([] {
        EXPECT_EQ(script_value("f(NOPE)", 0), 0);
        EXPECT_EQ(script_value("f(EMPTY)", 0), 0);
    });
    EXPECT_EQ(count_of(report, "NOPE"), 1);
    EXPECT_EQ(count_of(report, "EMPTY"), 1);
    define_clear();
    EXPECT_EQ(define_lookup("A"), nullptr);
    EXPECT_EQ(script_atoi("99999999999"), 2147483647);
    EXPECT_EQ(script_atoi("-99999999999"), -2147483647 - 1);
}

TEST(ScriptReader, StringWhereANumberIsExpected) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(script_value("f(\"text\")", 0), 0);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Usar só constantes e defines !"), std::string::npos);
}

TEST(ScriptReader, OverlongInputIsRefused) {
    // A statement that does not fit stops the read; nothing past the buffer.
    auto reads = read_all("f(" + std::string(40, 'x') + ")\n", 16);
    ASSERT_EQ(reads.back().result, READ_TOO_LONG);
    EXPECT_EQ(reads.back().text.size(), 15u);

    char name[SCRIPT_NAME_SIZE];
    std::string long_name(128, 'n');
    EXPECT_FALSE(script_statement_name((long_name + "()").c_str(), name, sizeof name));
    EXPECT_TRUE(script_statement_name((long_name.substr(1) + "()").c_str(), name, sizeof name));

    std::string long_arg = "f(" + std::string(128, '7') + ")";
    bool ok = true;
    EXPECT_EQ(script_value(long_arg.c_str(), 0, &ok), 0);
    EXPECT_FALSE(ok);
    std::string fits = "f(" + std::string(127, '1') + ")";
    script_value(fits.c_str(), 0, &ok);
    EXPECT_TRUE(ok);
}

TEST(ScriptReader, LoadLoopStopsOnOverlongStatements) {
    std::string text = "#define X 3\na(X)\nif x\n\n" + std::string(2000, 'b') + "(1)\nc(1)\n";
    test_write_file("loop.vsl", text);
    FILE* file = std::fopen("loop.vsl", "r");
    std::vector<std::pair<std::string, int>> seen;
    char statement[1024];
    testing::internal::CaptureStderr();
    bool completed =
        script_load_loop(file, "loop.vsl", statement, sizeof statement, [&](const char* s, const char* n, int c) {
            seen.emplace_back(n, c);
            if (std::strcmp(n, "a") == 0) {
                EXPECT_EQ(script_value(s, 0), 3);
            }
            return true;
        });
    std::string err = testing::internal::GetCapturedStderr();
    std::fclose(file);
    define_clear();
    EXPECT_FALSE(completed);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], (std::pair<std::string, int>("#define X 3", STATEMENT_DEFINE)));
    EXPECT_EQ(seen[1], (std::pair<std::string, int>("a", STATEMENT_PLAIN)));
    EXPECT_EQ(seen[2], (std::pair<std::string, int>("if x", STATEMENT_IF)));
    EXPECT_NE(err.find("loop.vsl"), std::string::npos);
}

// Both loaders through the GL-free seam, fed mangled versions of real
// scripts: nothing may read or write out of bounds (the sanitizers watch).
TEST(ScriptReader, LoadersSurviveMangledScripts) {
    std::vector<std::string> seeds = {
        "#define MAX_VERTEX_PROFILES 2\n#define V 1\ndef a {\nvertex_profile_allocate(2)\n"
        "vertex_profile_register(0, V, 3, 0, 0)\nvertex_profile_register(1, 4, 2, 12, 1)\n}\n",
        "#define VS 1\nshader_program(VS, \"void main() { gl_Position = gl_Vertex; }\")\n"
        "shader_settings(4)\nshader_link()\nshader_assign_tex(\"tex\", 0)\n/* c */ // d\n",
    };
    if (const std::string content = test_content_dir(); !content.empty())
        for (const char* name : {"vertexprofiles.vsl", "blur_pass.vsl", "test7.vsl"}) {
            std::string text = test_read_file(content + "/scripts/" + name);
            if (!text.empty()) seeds.push_back(text);
        }
    const std::string tokens[] = {"\"",
                                  "(",
                                  ")",
                                  ",",
                                  ";",
                                  "{",
                                  "}",
                                  "/*",
                                  "*/",
                                  "//",
                                  "\n",
                                  "#define ",
                                  "def ",
                                  "-",
                                  "99999999999",
                                  "MAX_VERTEX_PROFILES",
                                  "vertex_profile_register(",
                                  "vertex_profile_allocate(",
                                  "shader_program(",
                                  "shader_assign_tex(",
                                  std::string(300, 'x')};
    std::mt19937 random(1234);
    shader_set_gl_stub(true);
    testing::internal::CaptureStderr();
    for (int round = 0; round < 1500; ++round) {
        std::string text = seeds[random() % seeds.size()];
        int edits = 1 + static_cast<int>(random() % 8);
        for (int e = 0; e < edits && !text.empty(); ++e) {
            size_t at = random() % text.size();
            switch (random() % 3) {
            case 0: text[at] = static_cast<char>(random() % 256); break;
            case 1: text.insert(at, tokens[random() % std::size(tokens)]); break;
            default: text.erase(at, random() % 16); break;
            }
        }
        FILE* file = fmemopen(text.data(), text.size() ? text.size() : 1, "r");
        if (round % 2) {
            vertex_profile_load_stream(file, "fuzz.vsl");
            for (int i = -1; i <= vertex_profile_count; ++i) vertex_profile_stride(i);
            vertex_profile_free();
        } else {
            ShaderProgram shader;
            shader_init(&shader);
            shader_load_stream(&shader, file, "fuzz.vsl");
            shader_free(&shader);
        }
        std::fclose(file);
    }
    testing::internal::GetCapturedStderr();
    shader_set_gl_stub(false);
    SUCCEED();
}

} // namespace
