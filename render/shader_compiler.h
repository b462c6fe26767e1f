// Compiling GLSL fragment shaders into program objects (fixed-function vertex stage) on the current GL
// context, through the lazily resolved entry points. Main thread only.
#pragma once
#include <cstdint>
#include <string>

// The linked program, or 0 with the compiler's or linker's messages in *log.
uint32_t CompileFragmentProgram(const std::string& source, std::string* log);
void DeleteFragmentProgram(uint32_t program);
