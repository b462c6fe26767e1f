// The lazily resolved GL entry-point table (see entry_points.h). Each slot holds a function address of
// its entry's own type, stored type-erased; the stubs are instantiated per entry from its signature.
// Depends on the platform GL lookup.
#include "render/entry_points.h"

#include "platform/gl_context.h"

namespace {

using AnyFunction = void (*)();

const char* const kNames[kEntryPointCount] = {
    "SwapInterval",
    "glGenFramebuffers",
    "glDeleteFramebuffers",
    "glBindFramebuffer",
    "glFramebufferTexture2D",
    "glCheckFramebufferStatus",
    "glGenRenderbuffers",
    "glDeleteRenderbuffers",
    "glBindRenderbuffer",
    "glRenderbufferStorage",
    "glFramebufferRenderbuffer",
    "glCreateShader",
    "glDeleteShader",
    "glShaderSource",
    "glCompileShader",
    "glGetShaderiv",
    "glGetShaderInfoLog",
    "glCreateProgram",
    "glDeleteProgram",
    "glAttachShader",
    "glLinkProgram",
    "glGetProgramiv",
    "glGetProgramInfoLog",
    "glUseProgram",
    "glGetUniformLocation",
    "glUniform1i",
    "glUniform1f",
    "glUniform3f",
    "glActiveTexture",
    "glMultiTexCoord2f",
    "glSecondaryColor3f",
};

EntryPointLookup lookup = &LookupGlEntryPoint;
AnyFunction table[kEntryPointCount];
AnyFunction stubs[kEntryPointCount];

// One entry of the table, by its exact signature. Stub is its resolver: look the name up; on failure
// answer 0 and leave the slot pointing at the stub, on success store the address and call through with
// the caller's arguments. Using Call instantiates the entry, which registers its stub as the slot's start.
template <EntryPointId Id, typename Signature>
struct Entry;

template <EntryPointId Id, typename R, typename... A>
struct Entry<Id, R(A...)> {
    static R Stub(A... args)
    {
        void* address = lookup(kNames[Id]);
        if (!address) return R();
        table[Id] = reinterpret_cast<AnyFunction>(address);
        return reinterpret_cast<R (*)(A...)>(address)(args...);
    }
    static R Call(A... args)
    {
        (void)registered;
        return reinterpret_cast<R (*)(A...)>(table[Id])(args...);
    }
    static inline const bool registered = [] {
        stubs[Id] = reinterpret_cast<AnyFunction>(&Stub);
        table[Id] = stubs[Id];
        return true;
    }();
};

using U = uint32_t;

}  // namespace

const char* EntryPointName(EntryPointId id)
{
    return id >= 0 && id < kEntryPointCount ? kNames[id] : "";
}

void SetEntryPointLookup(EntryPointLookup replacement)
{
    lookup = replacement ? replacement : &LookupGlEntryPoint;
}

void ResetEntryPoints()
{
    for (int i = 0; i < kEntryPointCount; ++i) table[i] = stubs[i];
}

bool EntryPointResolved(EntryPointId id)
{
    return id >= 0 && id < kEntryPointCount && table[id] != stubs[id];
}

int SetSwapInterval(int interval)
{
    return Entry<kEntrySwapInterval, int(int)>::Call(interval);
}
void GenFramebuffers(int count, U* names)
{
    Entry<kEntryGenFramebuffers, void(int, U*)>::Call(count, names);
}
void DeleteFramebuffers(int count, const U* names)
{
    Entry<kEntryDeleteFramebuffers, void(int, const U*)>::Call(count, names);
}
void BindFramebuffer(U target, U framebuffer)
{
    Entry<kEntryBindFramebuffer, void(U, U)>::Call(target, framebuffer);
}
void FramebufferTexture2D(U target, U attachment, U textureTarget, U texture, int level)
{
    Entry<kEntryFramebufferTexture2D, void(U, U, U, U, int)>::Call(target, attachment, textureTarget, texture,
                                                                   level);
}
U CheckFramebufferStatus(U target)
{
    return Entry<kEntryCheckFramebufferStatus, U(U)>::Call(target);
}
void GenRenderbuffers(int count, U* names)
{
    Entry<kEntryGenRenderbuffers, void(int, U*)>::Call(count, names);
}
void DeleteRenderbuffers(int count, const U* names)
{
    Entry<kEntryDeleteRenderbuffers, void(int, const U*)>::Call(count, names);
}
void BindRenderbuffer(U target, U renderbuffer)
{
    Entry<kEntryBindRenderbuffer, void(U, U)>::Call(target, renderbuffer);
}
void RenderbufferStorage(U target, U internalFormat, int width, int height)
{
    Entry<kEntryRenderbufferStorage, void(U, U, int, int)>::Call(target, internalFormat, width, height);
}
void FramebufferRenderbuffer(U target, U attachment, U renderbufferTarget, U renderbuffer)
{
    Entry<kEntryFramebufferRenderbuffer, void(U, U, U, U)>::Call(target, attachment, renderbufferTarget,
                                                                 renderbuffer);
}
U CreateShader(U type)
{
    return Entry<kEntryCreateShader, U(U)>::Call(type);
}
void DeleteShader(U shader)
{
    Entry<kEntryDeleteShader, void(U)>::Call(shader);
}
void ShaderSource(U shader, int count, const char* const* strings, const int* lengths)
{
    Entry<kEntryShaderSource, void(U, int, const char* const*, const int*)>::Call(shader, count, strings,
                                                                                  lengths);
}
void CompileShader(U shader)
{
    Entry<kEntryCompileShader, void(U)>::Call(shader);
}
void GetShaderiv(U shader, U name, int* value)
{
    Entry<kEntryGetShaderiv, void(U, U, int*)>::Call(shader, name, value);
}
void GetShaderInfoLog(U shader, int bufferSize, int* length, char* log)
{
    Entry<kEntryGetShaderInfoLog, void(U, int, int*, char*)>::Call(shader, bufferSize, length, log);
}
U CreateProgram()
{
    return Entry<kEntryCreateProgram, U()>::Call();
}
void DeleteProgram(U program)
{
    Entry<kEntryDeleteProgram, void(U)>::Call(program);
}
void AttachShader(U program, U shader)
{
    Entry<kEntryAttachShader, void(U, U)>::Call(program, shader);
}
void LinkProgram(U program)
{
    Entry<kEntryLinkProgram, void(U)>::Call(program);
}
void GetProgramiv(U program, U name, int* value)
{
    Entry<kEntryGetProgramiv, void(U, U, int*)>::Call(program, name, value);
}
void GetProgramInfoLog(U program, int bufferSize, int* length, char* log)
{
    Entry<kEntryGetProgramInfoLog, void(U, int, int*, char*)>::Call(program, bufferSize, length, log);
}
void UseProgram(U program)
{
    Entry<kEntryUseProgram, void(U)>::Call(program);
}
int GetUniformLocation(U program, const char* name)
{
    return Entry<kEntryGetUniformLocation, int(U, const char*)>::Call(program, name);
}
void Uniform1i(int location, int value)
{
    Entry<kEntryUniform1i, void(int, int)>::Call(location, value);
}
void Uniform1f(int location, float value)
{
    Entry<kEntryUniform1f, void(int, float)>::Call(location, value);
}
void Uniform3f(int location, float x, float y, float z)
{
    Entry<kEntryUniform3f, void(int, float, float, float)>::Call(location, x, y, z);
}
void ActiveTexture(U unit)
{
    Entry<kEntryActiveTexture, void(U)>::Call(unit);
}
void MultiTexCoord2f(U unit, float s, float t)
{
    Entry<kEntryMultiTexCoord2f, void(U, float, float)>::Call(unit, s, t);
}
void SecondaryColor3f(float red, float green, float blue)
{
    Entry<kEntrySecondaryColor3f, void(float, float, float)>::Call(red, green, blue);
}
