#include "core/log.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

struct LogState {
    int level = LOG_OK;
    FILE* file = nullptr;
    std::string path = "report.htm";
    std::string fallback;
    bool closed = false;
    bool open_failed = false;
    std::string fatal_message;
};
LogState report;

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

// Whether a folder can be written is only known by creating the file:
// permissions, ACLs, read-only mounts and sandboxes all have their say.
FILE* create_report(const std::string& path, std::string* why) {
    FILE* file = std::fopen(path.c_str(), "w");
    if (!file) *why = path + ": " + std::strerror(errno);
    return file;
}

bool open_log() {
    if (report.file) return true;
    if (report.open_failed) return false;
    std::string why;
    report.file = create_report(report.path, &why);
    if (!report.file && !report.fallback.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(report.fallback).parent_path(), ec);
        std::string why_not_there;
        report.file = create_report(report.fallback, &why_not_there);
        if (report.file) {
            std::fprintf(stderr, "vantor: report in %s (%s)\n", report.fallback.c_str(), why.c_str());
            report.path = report.fallback;
        } else {
            why += ", nor " + why_not_there;
        }
    }
    if (!report.file) {
        // Said once, so a missing report is not a surprise; the run goes on.
        std::fprintf(stderr, "vantor: cannot write the report %s\n", why.c_str());
        report.open_failed = true;
        return false;
    }
    std::fputs("<html>\n<head>\n<title>VELDRA4 REPORT</title>\n</head>\n", report.file);
    std::fputs("<body bgcolor=\"#464646\" link=\"#333333\" vlink=\"#333333\" alink=\"#333333\">\n", report.file);
    std::fputs("<font face=\"Arial\" size=\"4\" color=\"#333333\">\n", report.file);
    std::fputs("<p><b>VELDRA4 GRAPHIC ENGINE REPORT LOG</b></p>\n</font>\n", report.file);
    return true;
}

void write_paragraph(const std::string& text) {
    // A report that cannot be created is not fatal: the engine runs on.
    if (!open_log()) return;
    std::fputs("\n<p style=\"margin-top: 0; margin-bottom: 0\">", report.file);
    if (const char* colour = level_colour(report.level)) {
        std::fprintf(report.file, "<font face=\"Arial\" size=\"1\" color=\"%s\">\n<b>%s", colour,
                     level_word(report.level));
    }
    std::fputs("</b>\n</font>", report.file);
    std::fputs("<font face=\"Arial\" size=\"1\" color=\"#777777\">\n<b>", report.file);
    std::fwrite(text.data(), 1, text.size(), report.file);
    std::fputs("</b>\n</font>", report.file);
    std::fputs("\n</p>", report.file);
}

} // namespace

void log_set_path(const std::string& path, const std::string& fallback) {
    report.path = path;
    report.fallback = fallback;
    report.open_failed = false;
}

void log_set_level(int level) { report.level = level; }

int log_get_level() { return report.level; }

void log_write(const char* format, ...) {
    if (!format) return;
    va_list args;
    va_start(args, format);
    std::string text = format_message(format, args);
    va_end(args);
    write_paragraph(text);
}

void log_flush() {
    if (report.file && !report.closed) std::fflush(report.file);
}

void log_close() {
    if (!report.file || report.closed) return;
    std::fputs("\n</body>\n</html>", report.file);
    std::fflush(report.file);
    report.closed = true;
}

void log_write_at(int level, const char* format, ...) {
    if (!format) return;
    va_list args;
    va_start(args, format);
    std::string text = format_message(format, args);
    va_end(args);
    const int before = report.level;
    report.level = level;
    write_paragraph(text);
    report.level = before;
}

void log_fatal(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = format_message(format, args);
    va_end(args);
    log_set_level(LOG_CRITICAL);
    write_paragraph(text);
    if (report.fatal_message.empty()) report.fatal_message = text;
}

const std::string& log_fatal_message() { return report.fatal_message; }

void log_reset_for_tests() {
    if (report.file) std::fclose(report.file);
    report = LogState{};
}
