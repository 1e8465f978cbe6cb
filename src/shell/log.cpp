#include "shell/log.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int current_level = LOG_OK;
FILE* log_file = nullptr;
std::string log_path = "report.htm";
bool closed = false;
bool open_failed = false;

// Formats into a string of any length; messages are never cut.
std::string format_message(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    char small[1024];
    int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0) return std::string();
    if (n < static_cast<int>(sizeof small)) return std::string(small, static_cast<size_t>(n));
    std::string big(static_cast<size_t>(n) + 1, '\0');
    std::vsnprintf(big.data(), big.size(), format, args);
    big.resize(static_cast<size_t>(n));
    return big;
}

const char* level_colour(int level) {
    switch (level) {
    case LOG_ERROR: return "#FF9900";
    case LOG_OK: return "#339900";
    case LOG_INFO: return "#0066FF";
    case LOG_CRITICAL: return "#FF0000";
    default: return nullptr;
    }
}

const char* level_word(int level) {
    switch (level) {
    case LOG_ERROR: return "ERROR!! ";
    case LOG_OK: return "OK! ";
    case LOG_INFO: return "INFO. ";
    case LOG_CRITICAL: return "CRITICAL!!! ";
    default: return "";
    }
}

bool open_log() {
    if (log_file) return true;
    if (open_failed) return false;
    log_file = std::fopen(log_path.c_str(), "w");
    if (!log_file) {
        // Said once, so a missing report is not a surprise; the run goes on.
        std::fprintf(stderr, "vantor: cannot write the report %s: %s\n", log_path.c_str(), std::strerror(errno));
        open_failed = true;
        return false;
    }
    std::fputs("<html>\n<head>\n<title>VELDRA4 REPORT</title>\n</head>\n", log_file);
    std::fputs("<body bgcolor=\"#464646\" link=\"#333333\" vlink=\"#333333\" alink=\"#333333\">\n", log_file);
    std::fputs("<font face=\"Arial\" size=\"4\" color=\"#333333\">\n", log_file);
    std::fputs("<p><b>VELDRA4 GRAPHIC ENGINE REPORT LOG</b></p>\n</font>\n", log_file);
    return true;
}

void write_paragraph(const std::string& text) {
    // A report that cannot be created is not fatal: the engine runs on.
    if (!open_log()) return;
    std::fputs("\n<p style=\"margin-top: 0; margin-bottom: 0\">", log_file);
    if (const char* colour = level_colour(current_level)) {
        std::fprintf(log_file, "<font face=\"Arial\" size=\"1\" color=\"%s\">\n<b>%s", colour,
                     level_word(current_level));
    }
    std::fputs("</b>\n</font>", log_file);
    std::fputs("<font face=\"Arial\" size=\"1\" color=\"#777777\">\n<b>", log_file);
    std::fwrite(text.data(), 1, text.size(), log_file);
    std::fputs("</b>\n</font>", log_file);
    std::fputs("\n</p>", log_file);
}

} // namespace

void log_set_path(const std::string& path) {
    log_path = path;
    open_failed = false;
}

void log_set_level(int level) { current_level = level; }

int log_get_level() { return current_level; }

void log_write(const char* format, ...) {
    if (!format) return;
    va_list args;
    va_start(args, format);
    std::string text = format_message(format, args);
    va_end(args);
    write_paragraph(text);
}

void log_close() {
    if (!log_file || closed) return;
    std::fputs("\n</body>\n</html>", log_file);
    std::fflush(log_file);
    closed = true;
}

void log_fatal(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = format_message(format, args);
    va_end(args);
    log_set_level(LOG_CRITICAL);
    write_paragraph(text);
    log_close();
    std::fprintf(stderr, "vantor: %s\n", text.c_str());
    std::exit(1);
}

void log_reset_for_tests() {
    if (log_file) std::fclose(log_file);
    log_file = nullptr;
    closed = false;
    open_failed = false;
    current_level = LOG_OK;
    log_path = "report.htm";
}
