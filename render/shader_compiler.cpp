// GLSL fragment shaders compiled and linked into program objects (see shader_compiler.h). Depends on the
// lazily resolved entry points; the vertex stage stays fixed function.
#include "render/shader_compiler.h"

#include "render/entry_points.h"

namespace {

constexpr uint32_t kFragmentShader = 0x8B30;
constexpr uint32_t kCompileStatus = 0x8B81;
constexpr uint32_t kLinkStatus = 0x8B82;
constexpr uint32_t kInfoLogLength = 0x8B84;

std::string ShaderLog(uint32_t shader)
{
    int length = 0;
    GetShaderiv(shader, kInfoLogLength, &length);
    if (length <= 1) return {};
    std::string log(static_cast<size_t>(length), '\0');
    int written = 0;
    GetShaderInfoLog(shader, length, &written, log.data());
    log.resize(static_cast<size_t>(written > 0 && written < length ? written : length - 1));
    return log;
}

std::string ProgramLog(uint32_t program)
{
    int length = 0;
    GetProgramiv(program, kInfoLogLength, &length);
    if (length <= 1) return {};
    std::string log(static_cast<size_t>(length), '\0');
    int written = 0;
    GetProgramInfoLog(program, length, &written, log.data());
    log.resize(static_cast<size_t>(written > 0 && written < length ? written : length - 1));
    return log;
}

}  // namespace

uint32_t CompileFragmentProgram(const std::string& source, std::string* log)
{
    std::string messages;
    uint32_t program = 0;
    const uint32_t shader = CreateShader(kFragmentShader);
    if (shader == 0) {
        messages = "no GLSL shader support on this GL context";
    } else {
        const char* text = source.c_str();
        const int length = static_cast<int>(source.size());
        ShaderSource(shader, 1, &text, &length);
        CompileShader(shader);
        int compiled = 0;
        GetShaderiv(shader, kCompileStatus, &compiled);
        messages = ShaderLog(shader);
        if (compiled) {
            program = CreateProgram();
            AttachShader(program, shader);
            LinkProgram(program);
            int linked = 0;
            GetProgramiv(program, kLinkStatus, &linked);
            if (!linked) {
                messages += ProgramLog(program);
                if (messages.empty()) messages = "link failed";
                DeleteProgram(program);
                program = 0;
            }
        } else if (messages.empty()) {
            messages = "compile failed";
        }
        DeleteShader(shader);  // the program keeps it alive while attached
    }
    if (log) *log = program ? std::string() : messages;
    return program;
}

void DeleteFragmentProgram(uint32_t program)
{
    if (program) DeleteProgram(program);
}
