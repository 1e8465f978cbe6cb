#include "script/shader.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/gl.h"
#include "core/log.h"
#include "core/notice.h"
#include "core/paths.h"
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

ShaderUniform* add_uniform(ShaderProgram* shader, const char* name, int kind) {
    ShaderUniform* uniform = static_cast<ShaderUniform*>(std::calloc(1, sizeof(ShaderUniform)));
    list_push_front(&shader->uniforms, uniform);
    size_t length = std::strlen(name);
    uniform->name = static_cast<char*>(std::malloc(length + 1));
    std::memcpy(uniform->name, name, length + 1);
    uniform->kind = kind;
    uniform->location = gl_uniform_location(shader->program, uniform->name);
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

bool handle_program(ShaderProgram* shader, const char* statement, const char* name) {
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
    if (!gl_compile(handle, source.data(), &log))
        notice_message_box(log.data(),
                           pixel ? "Erro de compilação do pixel shader" : "Erro de compilação do vertex shader");
    return true;
}

void handle_link(ShaderProgram* shader) {
    shader->program = gl_create_program();
    if (shader->settings & 5) gl_attach(shader->program, shader->vertex_shader);
    if (shader->settings & 6) gl_attach(shader->program, shader->pixel_shader);
    std::vector<char> log;
    if (!gl_link(shader->program, &log))
        notice_message_box(log.data(), "Erro de ligação dos shaders ao programa principal");
}

bool handle_assign(ShaderProgram* shader, const char* statement, const char* name) {
    char uniform[SCRIPT_ARGUMENT_SIZE] = {};
    bool ok = true;
    int unit = script_value(statement, 1, &ok);
    if (!ok || !script_argument(statement, uniform, 0, sizeof uniform)) {
        refuse_argument(name);
        return false;
    }
    script_unquote(uniform);
    shader_assign_texture(shader, uniform, unit);
    return true;
}

} // namespace

void shader_set_gl_stub(bool on) { gl_stub = on; }

void shader_init(ShaderProgram* shader) { *shader = ShaderProgram{}; }

void shader_free(ShaderProgram* shader) {
    ListNode* cursor = nullptr;
    while (list_next(&shader->uniforms, &cursor)) {
        ShaderUniform* uniform = static_cast<ShaderUniform*>(cursor->data);
        std::free(uniform->name);
        std::free(uniform);
    }
    list_destroy(&shader->uniforms);
    // The program goes first; its stages are only flagged while attached.
    gl_delete(shader->program);
    gl_delete(shader->vertex_shader);
    gl_delete(shader->pixel_shader);
    shader_init(shader);
}

ShaderProgram* shader_load_stream(ShaderProgram* shader, FILE* file, const char* name) {
    shader->uniforms = List{};
    std::vector<char> statement(statement_size, '\0');
    script_load_loop(file, name, statement.data(), statement.size(), [&](const char* s, const char* n, int) {
        if (std::strcmp(n, "shader_program") == 0) return handle_program(shader, s, name);
        if (std::strcmp(n, "shader_settings") == 0) {
            bool ok = true;
            int settings = script_value(s, 0, &ok);
            if (!ok) {
                refuse_argument(name);
                return false;
            }
            shader->settings = settings;
        } else if (std::strcmp(n, "shader_link") == 0) {
            handle_link(shader);
        } else if (std::strcmp(n, "shader_assign_tex") == 0) {
            return handle_assign(shader, s, name);
        }
        return true;
    });
    define_clear();
    log_write("Shader [\"%s\" type %s] loaded ", name, stage_type_name(shader->settings));
    return shader;
}

ShaderProgram* shader_load(ShaderProgram* shader, const char* name) {
    shader->uniforms = List{};
    std::string path = path_data(std::string("scripts/") + name);
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
