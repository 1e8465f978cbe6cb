#include "script/script_reader.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/list.h"
#include "core/log.h"
#include "core/notice.h"

namespace {

List defines;

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\0'; }

// Report lines from the reader must not change the level later lines take.
void report_error(const char* format, const char* text) {
    log_write_at(LOG_ERROR, format, text);
}

// Skips a block comment. A "*" directly followed by another "*" may still
// close it ("**/"). The end of the file ends the comment too.
void skip_block_comment(FILE* file) {
    int c = std::fgetc(file);
    while (c != EOF) {
        if (c == '*') {
            c = std::fgetc(file);
            if (c == '/') return;
            continue;
        }
        c = std::fgetc(file);
    }
}

void skip_line_comment(FILE* file) {
    int c;
    do c = std::fgetc(file);
    while (c != EOF && c != '\n');
}

char* copy_text(const char* begin, size_t length) {
    char* text = static_cast<char*>(std::malloc(length + 1));
    std::memcpy(text, begin, length);
    text[length] = '\0';
    return text;
}

} // namespace

int script_read_statement(FILE* file, char* statement, size_t size) {
    bool in_quotes = false;
    size_t stored = std::strlen(statement);
    if (size == 0) return READ_TOO_LONG;
    if (std::feof(file)) return READ_NOTHING;
    for (;;) {
        int c = std::fgetc(file);
        if (c == EOF) return READ_END_OF_FILE;
        if (!in_quotes) {
            if (c == '\n' || c == ';') return stored ? READ_STATEMENT : READ_NOTHING;
            if (c == '{') return stored ? READ_BLOCK_OPEN : READ_NOTHING;
            if (c == '}') return READ_BLOCK_CLOSE;
            if (c == '/') {
                int next = std::fgetc(file);
                if (next == '*') {
                    skip_block_comment(file);
                    return READ_COMMENT;
                }
                if (next == '/') {
                    skip_line_comment(file);
                    return READ_COMMENT;
                }
                if (next != EOF) std::ungetc(next, file);
            }
            if (c == '\t') c = ' ';
            if (c == ' ' && (stored == 0 || statement[stored - 1] == ' ' || statement[stored - 1] == '(' ||
                             statement[stored - 1] == ','))
                continue;
        }
        if (c == '"') in_quotes = !in_quotes;
        if (stored + 1 >= size) return READ_TOO_LONG;
        statement[stored++] = static_cast<char>(c);
        statement[stored] = '\0';
    }
}

bool script_statement_name(const char* statement, char* name, size_t size) {
    const char* paren = std::strchr(statement, '(');
    size_t length = paren ? static_cast<size_t>(paren - statement) : std::strlen(statement);
    if (length + 1 > size) {
        if (size) name[0] = '\0';
        return false;
    }
    std::memcpy(name, statement, length);
    name[length] = '\0';
    return true;
}

void script_trim(char* text) {
    size_t n = std::strlen(text);
    while (n > 0 && is_blank(text[n])) {
        text[n] = '\0';
        --n;
    }
}

int script_classify(const char* statement) {
    struct Keyword {
        const char* word;
        int statement_class;
    };
    static const Keyword keywords[] = {
        {"def", STATEMENT_DEF},   {"#define", STATEMENT_DEFINE}, {"if", STATEMENT_IF},
        {"else", STATEMENT_ELSE}, {"return", STATEMENT_RETURN},
    };
    if (!statement[0]) return STATEMENT_EMPTY;
    for (const Keyword& k : keywords) {
        size_t n = std::strlen(k.word);
        if (std::strncmp(statement, k.word, n) == 0 && statement[n] == ' ') return k.statement_class;
    }
    return STATEMENT_PLAIN;
}

bool script_argument(const char* statement, char* destination, int k, size_t size) {
    if (k < 0) return true;
    const char* p = statement;
    bool in_quotes = false;
    for (; *p; ++p) {
        if (*p == '"') in_quotes = !in_quotes;
        else if (*p == '(' && !in_quotes) break;
    }
    if (!*p) return true;
    ++p;
    // Every comma counts here, quoted or not.
    for (int commas = 0; commas < k; ++p) {
        if (!*p) return true;
        if (*p == ',') ++commas;
    }
    const char* end = p;
    in_quotes = false;
    for (; *end; ++end) {
        if (*end == '"') in_quotes = !in_quotes;
        else if (!in_quotes && (*end == ',' || *end == ')')) break;
    }
    size_t length = static_cast<size_t>(end - p);
    if (length + 1 > size) return false;
    std::memcpy(destination, p, length);
    return true;
}

void script_unquote(char* text) {
    char* first = std::strchr(text, '"');
    if (!first || first[1] == '\0') return;
    char* begin = first + 1;
    char* end = std::strchr(begin, '"');
    size_t length = end ? static_cast<size_t>(end - begin) : std::strlen(begin);
    std::memmove(text, begin, length);
    text[length] = '\0';
}

int script_value_kind(const char* text) {
    if (text[0] == '"') return VALUE_STRING;
    if (text[0] >= '0' && text[0] <= '9') return VALUE_NUMBER;
    return VALUE_NAME;
}

int32_t script_atoi(const char* text) {
    const char* p = text;
    while (std::isspace(static_cast<unsigned char>(*p))) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    return static_cast<int32_t>(value);
}

int32_t script_value(const char* statement, int k, bool* ok) {
    char text[SCRIPT_ARGUMENT_SIZE] = {};
    if (ok) *ok = true;
    if (!script_argument(statement, text, k, sizeof text)) {
        if (ok) *ok = false;
        return 0;
    }
    script_trim(text);
    switch (script_value_kind(text)) {
    case VALUE_STRING: notice_message_box("Usar só constantes e defines !", ""); return 0;
    case VALUE_NUMBER: return script_atoi(text);
    default: break;
    }
    const Define* define = define_lookup(text);
    if (!define) {
        report_error("Script Reader [\"%s\"] Undefined constant, using 0 !", text);
        return 0;
    }
    if (!define->value) {
        report_error("Script Reader [\"%s\"] Constant without value, using 0 !", text);
        return 0;
    }
    return script_atoi(define->value);
}

const char* define_register(const char* statement) {
    const char* name = std::strncmp(statement, "#define ", 8) == 0 ? statement + 8 : "";
    const char* name_end = std::strchr(name, ' ');
    if (!name_end) name_end = name + std::strlen(name);
    Define* define = static_cast<Define*>(std::calloc(1, sizeof(Define)));
    define->name = copy_text(name, static_cast<size_t>(name_end - name));
    if (*name_end == ' ') {
        const char* value = name_end + 1;
        if (value[std::strspn(value, " ")] != '\0') define->value = copy_text(value, std::strlen(value));
    }
    list_push_front(&defines, define);
    return define->name;
}

const Define* define_lookup(const char* name) {
    ListNode* cursor = nullptr;
    while (list_next(&defines, &cursor)) {
        const Define* define = static_cast<const Define*>(cursor->data);
        if (std::strcmp(define->name, name) == 0) return define;
    }
    return nullptr;
}

void define_clear() {
    ListNode* cursor = nullptr;
    while (list_next(&defines, &cursor)) {
        Define* define = static_cast<Define*>(cursor->data);
        std::free(define->name);
        std::free(define->value);
        std::free(define);
    }
    list_destroy(&defines);
}

void script_clear_text(char* buffer, size_t limit) {
    for (size_t i = 0; i < limit && buffer[i]; ++i) buffer[i] = '\0';
}

void script_refuse(const char* script_name, const char* box_text, const char* log_text) {
    std::string text = std::string(box_text) + "\n" + script_name;
    notice_message_box(text.c_str(), "Erro");
    log_write_at(LOG_ERROR, "Script Reader [\"%s\"] %s !", script_name, log_text);
}

bool script_load_loop(FILE* file, const char* script_name, char* statement, size_t statement_size,
                      const ScriptHandler& handler) {
    char name[SCRIPT_NAME_SIZE] = {};
    std::memset(statement, 0, statement_size);
    while (!std::feof(file)) {
        script_clear_text(statement, statement_size);
        int result = script_read_statement(file, statement, statement_size);
        if (result == READ_NOTHING) continue;
        if (result == READ_TOO_LONG) {
            script_refuse(script_name, "Instrucao longa demais, carregamento interrompido.",
                          "Statement too long, loading stopped");
            return false;
        }
        if (!script_statement_name(statement, name, sizeof name)) {
            script_refuse(script_name, "Nome de instrucao longo demais, carregamento interrompido.",
                          "Statement name too long, loading stopped");
            return false;
        }
        script_trim(name);
        int statement_class = script_classify(statement);
        if (statement_class == STATEMENT_EMPTY) {
            script_clear_text(name, sizeof name);
            continue;
        }
        if (statement_class == STATEMENT_DEFINE) define_register(name);
        bool go_on = handler(statement, name, statement_class);
        script_clear_text(name, sizeof name);
        if (!go_on) return false;
    }
    return true;
}
