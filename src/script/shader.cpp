#include "script/shader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/gl.h"
#include "core/log.h"
#include "core/notice.h"
#include "core/paths.h"
#include "core/reload.h"
#include "math/math3d.h"
#include "script/script_reader.h"

static_assert(sizeof(GLhandleARB) == sizeof(uint32_t), "program handles are stored as 32-bit values");

namespace {

constexpr size_t statement_size = 4024;
constexpr size_t source_size = 4096;
constexpr int compile_log_size = 16384;
constexpr int link_log_size = 4096;

bool gl_stub = false;
uint32_t stub_next_handle = 1;

// What a load met. A reload loads quietly: its problems are gathered here,
// for the reload's error, instead of going to message boxes.
struct QuietLoad {
    std::string file_text; // the script as read, to find a stage's lines in
    std::string problems;  // one line or more per problem
    bool failed = false;
    std::string sources[2]; // the last source of each stage: vertex, pixel
};

// The GL side of loading, so that scripts can be read without a context.
uint32_t gl_create_shader(bool pixel) {
    if (gl_stub) return stub_next_handle++;
    return glCreateShaderObjectARB(pixel ? GL_FRAGMENT_SHADER_ARB : GL_VERTEX_SHADER_ARB);
}

// Compiles; on failure returns false and fills log.
bool gl_compile(uint32_t shader, const char* source, std::vector<char>* log) {
    if (gl_stub) return true;
    const GLcharARB* sources[1] = {source};
    glShaderSourceARB(shader, 1, sources, nullptr);
    glCompileShaderARB(shader);
    GLint status = 0;
    glGetObjectParameterivARB(shader, GL_OBJECT_COMPILE_STATUS_ARB, &status);
    if (status) return true;
    log->assign(compile_log_size, '\0');
    glGetInfoLogARB(shader, compile_log_size, nullptr, log->data());
    log->back() = '\0';
    return false;
}

void gl_delete(uint32_t object) {
    if (gl_stub || !object) return;
    glDeleteObjectARB(object);
}

uint32_t gl_create_program() {
    if (gl_stub) return stub_next_handle++;
    return glCreateProgramObjectARB();
}

void gl_attach(uint32_t program, uint32_t shader) {
    // A stage that was never compiled has handle 0; attaching it is only a GL error.
    if (gl_stub || !shader) return;
    glAttachObjectARB(program, shader);
}

bool gl_link(uint32_t program, std::vector<char>* log) {
    if (gl_stub) return true;
    glLinkProgramARB(program);
    GLint status = 0;
    glGetObjectParameterivARB(program, GL_OBJECT_LINK_STATUS_ARB, &status);
    if (status) return true;
    log->assign(link_log_size, '\0');
    glGetInfoLogARB(program, link_log_size, nullptr, log->data());
    log->back() = '\0';
    return false;
}

int32_t gl_uniform_location(uint32_t program, const char* name) {
    // Without a program object there is no usable location to ask for.
    if (gl_stub || !program) return -1;
    return glGetUniformLocationARB(program, name);
}

// Without ask_location the location stays -1, to be asked later.
ShaderUniform* add_uniform(ShaderProgram* shader, const char* name, int kind, bool ask_location = true) {
    ShaderUniform* uniform = static_cast<ShaderUniform*>(std::calloc(1, sizeof(ShaderUniform)));
    list_push_front(&shader->uniforms, uniform);
    size_t length = std::strlen(name);
    uniform->name = static_cast<char*>(std::malloc(length + 1));
    std::memcpy(uniform->name, name, length + 1);
    uniform->kind = kind;
    uniform->location = ask_location ? gl_uniform_location(shader->program, uniform->name) : -1;
    return uniform;
}

const char* stage_type_name(int settings) {
    const char* type = "";
    if (settings & SHADER_SETTINGS_VERTEX) type = "VL_SHADER_VERTEX";
    if (settings & SHADER_SETTINGS_PIXEL) type = "VL_SHADER_PIXEL";
    if (settings & SHADER_SETTINGS_COMBINED) type = "VL_SHADER_COMBINED";
    return type;
}

void refuse_argument(const char* name) {
    script_refuse(name, "Argumento longo demais, carregamento interrompido.", "Argument too long, loading stopped");
}

// The lines of a driver's log that say anything.
std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    size_t from = 0;
    while (from < text.size()) {
        size_t end = text.find('\n', from);
        if (end == std::string::npos) end = text.size();
        if (end > from) lines.push_back(text.substr(from, end - from));
        from = end + 1;
    }
    return lines;
}

// "0:12(7): error: ..." (Mesa) or "0(12) : error ..." (others): the line
// within the stage's source and where the message starts.
bool glsl_log_line(const std::string& line, int* number, size_t* rest) {
    size_t i = 0;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9') ++i;
    if (i == 0 || i >= line.size()) return false;
    const char open = line[i] == ':' ? '(' : ')';
    if (line[i] != ':' && line[i] != '(') return false;
    ++i;
    int value = 0;
    size_t digits = 0;
    for (; i < line.size() && line[i] >= '0' && line[i] <= '9' && digits < 7; ++i, ++digits)
        value = value * 10 + (line[i] - '0');
    if (digits == 0 || i >= line.size() || line[i] != open) return false;
    size_t end = line.find(':', i);
    if (end == std::string::npos) return false;
    ++end;
    while (end < line.size() && line[end] == ' ') ++end;
    *number = value;
    *rest = end;
    return true;
}

// The compiler's lines with the script's own line numbers where the stage's
// source can be found in the file (it is stored there verbatim).
void add_compile_problem(QuietLoad* quiet, const std::string& source, bool pixel, const char* log) {
    quiet->failed = true;
    const char* stage = pixel ? "pixel shader" : "vertex shader";
    int first_line = 0;
    size_t at = source.empty() ? std::string::npos : quiet->file_text.find(source);
    if (at != std::string::npos)
        first_line = 1 + static_cast<int>(std::count(quiet->file_text.begin(), quiet->file_text.begin() + at, '\n'));
    const std::vector<std::string> lines = lines_of(log ? log : "");
    for (const std::string& line : lines) {
        int number = 0;
        size_t rest = 0;
        if (first_line > 0 && glsl_log_line(line, &number, &rest) && number > 0)
            quiet->problems += std::to_string(first_line + number - 1) + ": " + stage + ": " + line.substr(rest);
        else quiet->problems += std::string(stage) + ": " + line;
        quiet->problems += '\n';
    }
    if (lines.empty()) quiet->problems += std::string(stage) + ": does not compile\n";
}

bool handle_program(ShaderProgram* shader, const char* statement, const char* name, QuietLoad* quiet) {
    bool ok = true;
    int stage = script_value(statement, 0, &ok);
    if (!ok) {
        refuse_argument(name);
        return false;
    }
    std::vector<char> source(source_size, '\0');
    if (!script_argument(statement, source.data(), 1, source.size())) {
        script_refuse(name, "Codigo do shader longo demais, carregamento interrompido.",
                      "Shader source too long, loading stopped");
        return false;
    }
    script_unquote(source.data());
    bool pixel = stage == 2;
    uint32_t handle = gl_create_shader(pixel);
    if (pixel) shader->pixel_shader = handle;
    else shader->vertex_shader = handle;
    std::vector<char> log;
    const bool compiled = gl_compile(handle, source.data(), &log);
    if (quiet) {
        quiet->sources[pixel ? 1 : 0] = source.data();
        if (!compiled) add_compile_problem(quiet, source.data(), pixel, log.data());
    } else if (!compiled) {
        notice_message_box(log.data(),
                           pixel ? "Erro de compilação do pixel shader" : "Erro de compilação do vertex shader");
    }
    return true;
}

void handle_link(ShaderProgram* shader, QuietLoad* quiet) {
    shader->program = gl_create_program();
    if (shader->settings & 5) gl_attach(shader->program, shader->vertex_shader);
    if (shader->settings & 6) gl_attach(shader->program, shader->pixel_shader);
    std::vector<char> log;
    if (gl_link(shader->program, &log)) return;
    if (!quiet) {
        notice_message_box(log.data(), "Erro de ligação dos shaders ao programa principal");
        return;
    }
    quiet->failed = true;
    // A stage that did not compile already said why; the link only repeats it.
    if (!quiet->problems.empty()) return;
    for (const std::string& line : lines_of(log.empty() ? "" : log.data())) quiet->problems += "link: " + line + "\n";
    if (quiet->problems.empty()) quiet->problems = "link: the stages do not link\n";
}

bool handle_assign(ShaderProgram* shader, const char* statement, const char* name, QuietLoad* quiet) {
    char uniform[SCRIPT_ARGUMENT_SIZE] = {};
    bool ok = true;
    int unit = script_value(statement, 1, &ok);
    if (!ok || !script_argument(statement, uniform, 0, sizeof uniform)) {
        refuse_argument(name);
        return false;
    }
    script_unquote(uniform);
    // A reload asks for locations once it has a program that links: asking
    // one that did not is a GL error. It replaces the script's own
    // registrations and keeps its users'.
    ShaderUniform* registered = add_uniform(shader, uniform, UNIFORM_INT, !quiet);
    registered->value = unit;
    registered->from_script = 1;
    return true;
}

// False when the script was refused part way.
bool load_stream(ShaderProgram* shader, FILE* file, const char* name, QuietLoad* quiet) {
    shader->uniforms = List{};
    std::vector<char> statement(statement_size, '\0');
    bool complete =
        script_load_loop(file, name, statement.data(), statement.size(), [&](const char* s, const char* n, int) {
            if (std::strcmp(n, "shader_program") == 0) return handle_program(shader, s, name, quiet);
            if (std::strcmp(n, "shader_settings") == 0) {
                bool ok = true;
                int settings = script_value(s, 0, &ok);
                if (!ok) {
                    refuse_argument(name);
                    return false;
                }
                shader->settings = settings;
            } else if (std::strcmp(n, "shader_link") == 0) {
                handle_link(shader, quiet);
            } else if (std::strcmp(n, "shader_assign_tex") == 0) {
                return handle_assign(shader, s, name, quiet);
            }
            return true;
        });
    define_clear();
    return complete;
}

std::vector<uint32_t> attached_objects(uint32_t program) {
    if (gl_stub || !program) return {};
    GLint count = 0;
    glGetObjectParameterivARB(program, GL_OBJECT_ATTACHED_OBJECTS_ARB, &count);
    std::vector<GLhandleARB> objects(static_cast<size_t>(std::max(count, 0)));
    GLsizei got = 0;
    if (!objects.empty()) glGetAttachedObjectsARB(program, count, &got, objects.data());
    objects.resize(static_cast<size_t>(std::clamp<GLsizei>(got, 0, count)));
    return std::vector<uint32_t>(objects.begin(), objects.end());
}

void free_uniform(ShaderUniform* uniform) {
    std::free(uniform->name);
    std::free(uniform);
}

// Puts a checked load's program into the record's own program object:
// its stage objects get the new source, the script's registrations are
// replaced and every location is asked again. Copies of the record share
// the objects and the list, so they see it all.
bool adopt(ShaderProgram* shader, ShaderProgram* fresh, const QuietLoad& quiet, std::string* error) {
    const std::vector<uint32_t> wanted = attached_objects(fresh->program);
    uint32_t* stages[2] = {&shader->vertex_shader, &shader->pixel_shader};
    const uint32_t fresh_stages[2] = {fresh->vertex_shader, fresh->pixel_shader};
    if (!shader->program) shader->program = gl_create_program();
    for (uint32_t object : attached_objects(shader->program)) glDetachObjectARB(shader->program, object);
    bool ok = true;
    std::vector<char> log;
    for (int i = 0; i < 2 && ok; ++i) {
        if (std::find(wanted.begin(), wanted.end(), fresh_stages[i]) == wanted.end()) continue;
        if (!*stages[i]) *stages[i] = gl_create_shader(i == 1);
        // The same source compiled a moment ago; failing now would be the driver's doing.
        ok = gl_compile(*stages[i], quiet.sources[i].c_str(), &log);
        gl_attach(shader->program, *stages[i]);
    }
    if (ok) ok = gl_link(shader->program, &log);
    if (!ok) *error = std::string("the checked version did not link again: ") + (log.empty() ? "" : log.data());

    ListNode* cursor = nullptr;
    while (list_next(&shader->uniforms, &cursor)) {
        ShaderUniform* uniform = static_cast<ShaderUniform*>(cursor->data);
        if (!uniform->from_script) continue;
        free_uniform(uniform);
        list_remove(&shader->uniforms, &cursor);
    }
    // In their old place: behind the users' registrations, newest first.
    cursor = nullptr;
    while (list_next(&fresh->uniforms, &cursor)) list_push_back(&shader->uniforms, cursor->data);
    list_destroy(&fresh->uniforms);
    cursor = nullptr;
    while (list_next(&shader->uniforms, &cursor)) {
        ShaderUniform* uniform = static_cast<ShaderUniform*>(cursor->data);
        uniform->location = gl_uniform_location(shader->program, uniform->name);
    }
    shader->settings = fresh->settings;
    shader_free(fresh);
    return ok;
}

bool reload_script(ShaderProgram* shader, const std::string& name, const std::string& file, std::string* error) {
    FILE* stream = std::fopen(file.c_str(), "r");
    if (!stream) {
        *error = "cannot be opened";
        return false;
    }
    QuietLoad quiet;
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, stream)) > 0) quiet.file_text.append(chunk, got);
    std::rewind(stream);
    ShaderProgram fresh;
    shader_init(&fresh);
    const bool complete = load_stream(&fresh, stream, name.c_str(), &quiet);
    std::fclose(stream);
    if (!complete) {
        quiet.failed = true;
        quiet.problems += "the script was refused part way (see the report)";
    } else if (!quiet.failed && !fresh.program) {
        quiet.failed = true;
        quiet.problems = "no shader_link(): the script makes no program";
    }
    if (quiet.failed) {
        shader_free(&fresh);
        *error = quiet.problems;
        return false;
    }
    if (!adopt(shader, &fresh, quiet, error)) return false;
    log_write_at(LOG_OK, "Shader [\"%s\" type %s] reloaded ", name.c_str(), stage_type_name(shader->settings));
    return true;
}

} // namespace

void shader_set_gl_stub(bool on) { gl_stub = on; }

void shader_init(ShaderProgram* shader) { *shader = ShaderProgram{}; }

void shader_free(ShaderProgram* shader) {
    reload_forget(RELOAD_SHADER, reinterpret_cast<uintptr_t>(shader));
    ListNode* cursor = nullptr;
    while (list_next(&shader->uniforms, &cursor)) free_uniform(static_cast<ShaderUniform*>(cursor->data));
    list_destroy(&shader->uniforms);
    // The program goes first; its stages are only flagged while attached.
    gl_delete(shader->program);
    gl_delete(shader->vertex_shader);
    gl_delete(shader->pixel_shader);
    shader_init(shader);
}

ShaderProgram* shader_load_stream(ShaderProgram* shader, FILE* file, const char* name) {
    load_stream(shader, file, name, nullptr);
    log_write("Shader [\"%s\" type %s] loaded ", name, stage_type_name(shader->settings));
    return shader;
}

ShaderProgram* shader_load(ShaderProgram* shader, const char* name) {
    shader->uniforms = List{};
    std::string path = path_data(std::string("scripts/") + name);
    // A script missing now is watched too: it loads once it is there.
    if (reload_active()) {
        reload_register(RELOAD_SHADER, reinterpret_cast<uintptr_t>(shader), path,
                        [shader, script = std::string(name)](const std::string& file, std::string* error) {
                            return reload_script(shader, script, file, error);
                        });
    }
    FILE* file = std::fopen(path.c_str(), "r");
    if (!file) {
        char text[1024];
        std::snprintf(text, sizeof text, "Impossivel carregar o shader especificado.\n%s", path.c_str());
        notice_error_dialog(text, "VELDRA4 ERROR");
        return shader;
    }
    shader_load_stream(shader, file, name);
    std::fclose(file);
    return shader;
}

void shader_bind(const ShaderProgram* shader) {
    if (gl_stub) return;
    glUseProgramObjectARB(shader->program);
    // Without a program the fixed-function pipeline is current and there is
    // nothing to upload to.
    if (!shader->program) return;
    List uniforms = shader->uniforms; // shares the nodes, only the cursor walks
    ListNode* cursor = nullptr;
    while (list_next(&uniforms, &cursor)) {
        const ShaderUniform* u = static_cast<const ShaderUniform*>(cursor->data);
        switch (u->kind) {
        case UNIFORM_INT: glUniform1iARB(u->location, u->value); break;
        case UNIFORM_VEC4:
            if (u->data) glUniform4fvARB(u->location, 1, u->data);
            break;
        case UNIFORM_FLOAT:
            if (u->data) glUniform1fARB(u->location, *u->data);
            break;
        case UNIFORM_MATRIX4:
            if (u->data && u->count > 0) glUniformMatrix4fvARB(u->location, u->count, GL_FALSE, u->data);
            break;
        default: break;
        }
    }
}

void shader_unbind(const ShaderProgram*) {
    if (gl_stub) return;
    glUseProgramObjectARB(0);
}

uint32_t shader_in_use() {
    if (gl_stub) return 0;
    return glGetHandleARB(GL_PROGRAM_OBJECT_ARB);
}

void shader_restore(uint32_t program) {
    if (gl_stub) return;
    glUseProgramObjectARB(program);
}

void shader_assign_texture(ShaderProgram* shader, const char* name, int unit) {
    add_uniform(shader, name, UNIFORM_INT)->value = unit;
}

void shader_uniform_vec4(ShaderProgram* shader, const char* name, const float* values) {
    add_uniform(shader, name, UNIFORM_VEC4)->data = values;
}

void shader_uniform_matrices(ShaderProgram* shader, const char* name, int count, const float* matrices) {
    ShaderUniform* uniform = add_uniform(shader, name, UNIFORM_MATRIX4);
    uniform->data = matrices;
    uniform->count = count;
}

void shader_uniform_matrices(ShaderProgram* shader, const char* name, int count, const Matrix* matrices) {
    shader_uniform_matrices(shader, name, count, matrices ? matrices[0].m : nullptr);
}

void shader_forget_uniform(ShaderProgram* shader, const char* name) {
    ListNode* cursor = nullptr;
    while (list_next(&shader->uniforms, &cursor)) {
        ShaderUniform* uniform = static_cast<ShaderUniform*>(cursor->data);
        if (std::strcmp(uniform->name, name) != 0) continue;
        free_uniform(uniform);
        list_remove(&shader->uniforms, &cursor);
    }
}
