#include "core/log.h"
#include "support/gl_context.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

const char* header = "<html>\n<head>\n<title>VELDRA4 REPORT</title>\n</head>\n"
                     "<body bgcolor=\"#464646\" link=\"#333333\" vlink=\"#333333\" alink=\"#333333\">\n"
                     "<font face=\"Arial\" size=\"4\" color=\"#333333\">\n"
                     "<p><b>VELDRA4 GRAPHIC ENGINE REPORT LOG</b></p>\n</font>\n";

TEST(Log, NullFormatCreatesNothing) {
    std::remove("report.htm");
    log_reset_for_tests();
    log_write(nullptr);
    log_close();
    EXPECT_EQ(test_read_file("report.htm"), "");
}

TEST(Log, ParagraphsLevelsAndTrailer) {
    test_write_file("report.htm", "old contents");
    log_reset_for_tests();
    log_set_level(LOG_OK);
    log_write("Texture Loader [\"%s\" %dx%dx%d] Loaded !", "a.png", 2, 3, 4);
    log_set_level(16);
    log_write("%s", "keeps %d");
    log_close();
    std::string expected =
        std::string(header) +
        "\n<p style=\"margin-top: 0; margin-bottom: 0\"><font face=\"Arial\" size=\"1\" color=\"#339900\">\n<b>OK! "
        "</b>\n</font><font face=\"Arial\" size=\"1\" color=\"#777777\">\n<b>Texture Loader [\"a.png\" 2x3x4] Loaded !"
        "</b>\n</font>\n</p>"
        "\n<p style=\"margin-top: 0; margin-bottom: 0\"></b>\n</font><font face=\"Arial\" size=\"1\" "
        "color=\"#777777\">\n<b>keeps %d"
        "</b>\n</font>\n</p>"
        "\n</body>\n</html>";
    EXPECT_EQ(test_read_file("report.htm"), expected);
}

TEST(Log, EachLevelHasItsWordAndColour) {
    std::remove("report.htm");
    log_reset_for_tests();
    const struct {
        int level;
        const char* tag;
    } levels[] = {
        {LOG_ERROR, "color=\"#FF9900\">\n<b>ERROR!! </b>\n</font>"},
        {LOG_OK, "color=\"#339900\">\n<b>OK! </b>\n</font>"},
        {LOG_INFO, "color=\"#0066FF\">\n<b>INFO. </b>\n</font>"},
        {LOG_CRITICAL, "color=\"#FF0000\">\n<b>CRITICAL!!! </b>\n</font>"},
    };
    for (const auto& l : levels) {
        log_set_level(l.level);
        log_write("level %d", l.level);
    }
    // The level stays in force for later messages.
    log_write("still critical");
    log_close();
    std::string report = test_read_file("report.htm");
    size_t at = 0;
    for (const auto& l : levels) {
        size_t found = report.find(
            std::string("<p style=\"margin-top: 0; margin-bottom: 0\"><font face=\"Arial\" size=\"1\" ") + l.tag, at);
        ASSERT_NE(found, std::string::npos) << l.tag;
        at = found + 1;
    }
    EXPECT_NE(report.find(
                  "CRITICAL!!! </b>\n</font><font face=\"Arial\" size=\"1\" color=\"#777777\">\n<b>still critical</b>"),
              std::string::npos);
}

TEST(Log, FatalErrorIsReportedAndKeptForTheProgram) {
    std::remove("report.htm");
    log_reset_for_tests();
    log_fatal("Scene Loader [\"%s\"] not found !", "x.vscene");
    log_fatal("a later one");
    // The first fatal error is the one the program ends with.
    EXPECT_EQ(log_fatal_message(), "Scene Loader [\"x.vscene\"] not found !");
    log_close();
    std::string report = test_read_file("report.htm");
    EXPECT_NE(report.find("CRITICAL!!! </b>\n</font><font face=\"Arial\" size=\"1\" color=\"#777777\">\n<b>Scene "
                          "Loader [\"x.vscene\"] not found !"),
              std::string::npos);
    EXPECT_EQ(report.substr(report.size() - 16), "\n</body>\n</html>");
    log_reset_for_tests();
    EXPECT_EQ(log_fatal_message(), "");
}

TEST(Log, LongMessagesAreKeptWhole) {
    std::remove("report.htm");
    log_reset_for_tests();
    std::string long_text(5000, 'x');
    log_write("%s", long_text.c_str());
    log_close();
    EXPECT_NE(test_read_file("report.htm").find(long_text), std::string::npos);
}

// --report and the state folder: the report goes where it is told; a place
// that cannot be written is said once on standard error and the run goes on.
TEST(Log, ReportGoesWhereItIsToldOrSaysWhyNot) {
    std::remove("report.htm");
    std::remove("elsewhere.htm");
    log_reset_for_tests();
    log_set_path("elsewhere.htm");
    log_write("first");
    log_close();
    EXPECT_NE(test_read_file("elsewhere.htm").find("<b>first</b>"), std::string::npos);
    EXPECT_EQ(test_read_file("report.htm"), "");
    std::remove("elsewhere.htm");

    log_reset_for_tests();
    log_set_path("no/such/folder/report.htm");
    ::testing::internal::CaptureStderr();
    log_write("one");
    log_write("two");
    log_close();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "vantor: cannot write the report no/such/folder/report.htm: No such file or directory\n");
    log_reset_for_tests();
}

} // namespace
