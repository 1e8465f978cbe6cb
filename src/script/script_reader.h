// Reader for ".vsl" scripts: statements, comments, quoted strings that may
// span lines, arguments and the per-file "#define" constants.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>

enum {
    STATEMENT_EMPTY = -1,
    STATEMENT_PLAIN = 0,
    STATEMENT_DEF = 6,
    STATEMENT_DEFINE = 7,
    STATEMENT_IF = 8,
    STATEMENT_ELSE = 9,
    STATEMENT_RETURN = 14,
};

enum {
    READ_NOTHING = 0,
    READ_STATEMENT = 1,
    READ_COMMENT = 2,
    READ_END_OF_FILE = 3,
    READ_BLOCK_OPEN = 4,
    READ_BLOCK_CLOSE = 5,
    // The statement did not fit the caller's buffer; what was read is kept
    // (terminated) but must not be acted on.
    READ_TOO_LONG = 6,
};

enum {
    VALUE_STRING = 1,
    VALUE_NUMBER = 2,
    VALUE_NAME = 3,
};

enum {
    SCRIPT_NAME_SIZE = 128,
    SCRIPT_ARGUMENT_SIZE = 128,
};

struct Define {
    char* name;
    char* value; // null when nothing but blanks follows the name
};

// Appends to the (emptied) buffer until the statement ends. size counts the
// terminator, which always fits.
int script_read_statement(FILE* file, char* statement, size_t size);
// The text before the first "("; false (and an empty name) when it does not
// fit size bytes with its terminator.
bool script_statement_name(const char* statement, char* name, size_t size);
void script_trim(char* text);
int script_classify(const char* statement);
// Argument k (0-based) as written, quotes and trailing blanks included.
// False, copying nothing, when it does not fit size bytes with a terminator.
// A missing argument copies nothing and is not an error.
bool script_argument(const char* statement, char* destination, int k, size_t size);
void script_unquote(char* text);
int script_value_kind(const char* text);
// Argument k as a number or a define's value. *ok (when given) turns false
// when the argument is too long for the value buffer.
int32_t script_value(const char* statement, int k, bool* ok = nullptr);
// atoi rules (blanks, sign, leading digits) without the overflow: saturates.
int32_t script_atoi(const char* text);

// Parses "#define NAME value" and puts the constant at the head of the list;
// returns the new define's name.
const char* define_register(const char* statement);
// Most recent define of that name (its value may be null); null when none.
const Define* define_lookup(const char* name);
void define_clear();

void script_clear_text(char* buffer, size_t limit);

// The shared load loop. The handler gets each non-empty statement (after any
// define was registered) with its trimmed name and class, and returns false
// to stop reading. Over-long statements and names are refused with a message
// box and a report line, and stop the loop. Returns false when stopped early.
// The caller closes the file and clears the defines.
using ScriptHandler = std::function<bool(const char* statement, const char* name, int statement_class)>;
bool script_load_loop(FILE* file, const char* script_name, char* statement, size_t statement_size,
                      const ScriptHandler& handler);

// Input the loaders refuse: a message box (caption "Erro") with box_text and
// the script's name, and a report line with log_text.
void script_refuse(const char* script_name, const char* box_text, const char* log_text);
