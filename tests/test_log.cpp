#include "shell/log.h"
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
    std::string expected = std::string(header) +
        "\n<p style=\"margin-top: 0; margin-bottom: 0\"><font face=\"Arial\" size=\"1\" color=\"#339900\">\n<b>OK! "
        "</b>\n</font><font face=\"Arial\" size=\"1\" color=\"#777777\">\n<b>Texture Loader [\"a.png\" 2x3x4] Loaded !"
        "</b>\n</font>\n</p>"
        "\n<p style=\"margin-top: 0; margin-bottom: 0\"></b>\n</font><font face=\"Arial\" size=\"1\" color=\"#777777\">\n<b>keeps %d"
        "</b>\n</font>\n</p>"
        "\n</body>\n</html>";
    EXPECT_EQ(test_read_file("report.htm"), expected);
}

TEST(Log, LongMessagesAreKeptWhole) {
    std::remove("report.htm");
    log_reset_for_tests();
    std::string long_text(5000, 'x');
    log_write("%s", long_text.c_str());
    log_close();
    EXPECT_NE(test_read_file("report.htm").find(long_text), std::string::npos);
}

} // namespace
