// The HTML report log ("report.htm" in the working directory unless told
// otherwise).
#pragma once

#include <string>

enum {
    LOG_ERROR = 1,
    LOG_OK = 2,
    LOG_INFO = 4,
    LOG_CRITICAL = 8,
};

// Where the report goes; takes effect for a report not yet opened. The file
// is created on the first message; where that fails and a fallback is given,
// the fallback is created instead (its folders too), and standard error says
// where the report went. Where neither can be, it says so once; the run goes
// on without a report.
void log_set_path(const std::string& path, const std::string& fallback = "");

// The level stays in force for every later message until changed.
void log_set_level(int level);
int log_get_level();

// printf-style; one paragraph per message. A null format does nothing.
void log_write(const char* format, ...) __attribute__((format(printf, 1, 2)));
// One message at level; the level in force for later messages stays as it
// was, so a line from the side does not change what the next loader writes.
void log_write_at(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Writes the document trailer (once) and flushes the file, which stays
// open; nothing is written after it.
void log_close();
// Hands what was written so far to the file: for lines people (and tests)
// read while the program runs.
void log_flush();

// Fatal loader error: the critical line, and the text kept for the program,
// which ends the run with status 1 (after log_close, with the text on
// standard error). The caller returns a failure status.
void log_fatal(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The text of the first fatal error since the start (or the last reset),
// empty when there was none.
const std::string& log_fatal_message();

// For tests: forget the open file so the next message starts a new report.
void log_reset_for_tests();
