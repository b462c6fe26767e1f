// GL entry points beyond OpenGL 1.1 (framebuffer objects, shader objects and uniforms, multitexture, the
// swap interval), resolved lazily by name on first call. A slot starts at its resolver stub; a failed
// lookup returns 0 (or does nothing) and leaves the slot for the next call, a success stores the address
// and calls through. Main thread only, with a GL context current. Depends on the platform lookup.
#pragma once
#include <cstddef>
#include <cstdint>

enum EntryPointId : int {
    kEntrySwapInterval,
    kEntryGenFramebuffers,
    kEntryDeleteFramebuffers,
    kEntryBindFramebuffer,
    kEntryFramebufferTexture2D,
    kEntryCheckFramebufferStatus,
    kEntryGenRenderbuffers,
    kEntryDeleteRenderbuffers,
    kEntryBindRenderbuffer,
    kEntryRenderbufferStorage,
    kEntryFramebufferRenderbuffer,
    kEntryCreateShader,
    kEntryDeleteShader,
    kEntryShaderSource,
    kEntryCompileShader,
    kEntryGetShaderiv,
    kEntryGetShaderInfoLog,
    kEntryCreateProgram,
    kEntryDeleteProgram,
    kEntryAttachShader,
    kEntryLinkProgram,
    kEntryGetProgramiv,
    kEntryGetProgramInfoLog,
    kEntryUseProgram,
    kEntryGetUniformLocation,
    kEntryUniform1i,
    kEntryUniform1f,
    kEntryUniform3f,
    kEntryActiveTexture,
    kEntryMultiTexCoord2f,
    kEntrySecondaryColor3f,
    kEntryPointCount
};

const char* EntryPointName(EntryPointId id);  // the name looked up ("glBindFramebuffer", ...)

// The lookup behind the stubs; by default the platform's GL lookup. Tests swap in their own.
using EntryPointLookup = void* (*)(const char* name);
void SetEntryPointLookup(EntryPointLookup lookup);  // nullptr restores the platform lookup
void ResetEntryPoints();                            // every slot back to its stub
bool EntryPointResolved(EntryPointId id);

// Calls through the table, with the GL types spelled out (GLuint = uint32_t and so on).
int SetSwapInterval(int interval);  // 0 = no vertical sync; returns 1 on success, 0 when unavailable
void GenFramebuffers(int count, uint32_t* names);
void DeleteFramebuffers(int count, const uint32_t* names);
void BindFramebuffer(uint32_t target, uint32_t framebuffer);
void FramebufferTexture2D(uint32_t target, uint32_t attachment, uint32_t textureTarget, uint32_t texture,
                          int level);
uint32_t CheckFramebufferStatus(uint32_t target);  // 0 when unavailable
void GenRenderbuffers(int count, uint32_t* names);
void DeleteRenderbuffers(int count, const uint32_t* names);
void BindRenderbuffer(uint32_t target, uint32_t renderbuffer);
void RenderbufferStorage(uint32_t target, uint32_t internalFormat, int width, int height);
void FramebufferRenderbuffer(uint32_t target, uint32_t attachment, uint32_t renderbufferTarget,
                             uint32_t renderbuffer);
uint32_t CreateShader(uint32_t type);
void DeleteShader(uint32_t shader);
void ShaderSource(uint32_t shader, int count, const char* const* strings, const int* lengths);
void CompileShader(uint32_t shader);
void GetShaderiv(uint32_t shader, uint32_t name, int* value);
void GetShaderInfoLog(uint32_t shader, int bufferSize, int* length, char* log);
uint32_t CreateProgram();
void DeleteProgram(uint32_t program);
void AttachShader(uint32_t program, uint32_t shader);
void LinkProgram(uint32_t program);
void GetProgramiv(uint32_t program, uint32_t name, int* value);
void GetProgramInfoLog(uint32_t program, int bufferSize, int* length, char* log);
void UseProgram(uint32_t program);
int GetUniformLocation(uint32_t program, const char* name);  // -1 when the program lacks it
void Uniform1i(int location, int value);
void Uniform1f(int location, float value);
void Uniform3f(int location, float x, float y, float z);
void ActiveTexture(uint32_t unit);
void MultiTexCoord2f(uint32_t unit, float s, float t);
void SecondaryColor3f(float red, float green, float blue);
