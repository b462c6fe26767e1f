/* Soak probe, preloaded into the show by scripts/soak.sh (LD_PRELOAD): every QUARNEL_SOAK_EVERY buffer
 * swaps it appends one line to the file QUARNEL_SOAK_LOG with the frame count and what the process holds
 * at that moment: resident memory with its file-backed part (library code paged in, most of it the GL
 * driver's LLVM as it compiles new shader variants), malloc's heap in use and held (arenas and large
 * blocks), open file descriptors, threads, and the live GL textures and display lists (probed with
 * glIsTexture and glIsList on the window's context, which shares them with the off-screen one). It wraps
 * SDL_GL_SwapWindow, glGenTextures and glGenLists; the show itself is unchanged. Depends on libGL, libdl and
 * /proc. */
#define _GNU_SOURCE
#include <GL/gl.h>
#include <dirent.h>
#include <dlfcn.h>
#include <malloc.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static long swaps;
static long every;
static FILE* out;
static GLuint highestTexture, highestList; /* highest names handed out so far */

static long KilobytesField(const char* file, const char* field)
{
    FILE* f = fopen(file, "r");
    char line[256];
    long value = -1;
    size_t length = strlen(field);
    if (!f) return -1;
    while (fgets(line, sizeof line, f))
        if (strncmp(line, field, length) == 0) {
            value = strtol(line + length, NULL, 10);
            break;
        }
    fclose(f);
    return value;
}

static int CountEntries(const char* folder)
{
    DIR* d = opendir(folder);
    struct dirent* e;
    int n = 0;
    if (!d) return -1;
    while ((e = readdir(d)))
        if (e->d_name[0] != '.') ++n;
    closedir(d);
    return n - 1; /* the descriptor of this listing */
}

static void Sample(void)
{
    struct mallinfo2 heap = mallinfo2();
    GLuint name;
    long textures = 0, lists = 0;
    /* Names beyond the highest handed out are probed too, in case something binds a name of its own. */
    for (name = 1; name <= highestTexture + 256; ++name) textures += glIsTexture(name) ? 1 : 0;
    for (name = 1; name <= highestList + 256; ++name) lists += glIsList(name) ? 1 : 0;
    fprintf(out, "%ld %ld %ld %.0f %.0f %d %ld %ld %ld\n", swaps,
            KilobytesField("/proc/self/status", "VmRSS:"), KilobytesField("/proc/self/status", "RssFile:"),
            (heap.uordblks + heap.hblkhd) / 1024.0, (heap.arena + heap.hblkhd) / 1024.0,
            CountEntries("/proc/self/fd"), KilobytesField("/proc/self/status", "Threads:"), textures, lists);
    fflush(out);
}

void SDL_GL_SwapWindow(void* window)
{
    static void (*real)(void*);
    if (!real) {
        const char* path = getenv("QUARNEL_SOAK_LOG");
        const char* step = getenv("QUARNEL_SOAK_EVERY");
        real = (void (*)(void*))dlsym(RTLD_NEXT, "SDL_GL_SwapWindow");
        every = step ? atol(step) : 200;
        if (every < 1) every = 200;
        out = path ? fopen(path, "w") : NULL;
        if (out) fprintf(out, "frame rss_kb file_kb heap_used_kb heap_held_kb fds threads textures lists\n");
    }
    /* Sampled before the swap, while the window's context is current. */
    if (out && ++swaps % every == 0) Sample();
    real(window);
}

void glGenTextures(GLsizei n, GLuint* textures)
{
    static void (*real)(GLsizei, GLuint*);
    GLsizei i;
    if (!real) real = (void (*)(GLsizei, GLuint*))dlsym(RTLD_NEXT, "glGenTextures");
    real(n, textures);
    for (i = 0; i < n; ++i)
        if (textures[i] > highestTexture) highestTexture = textures[i];
}

GLuint glGenLists(GLsizei range)
{
    static GLuint (*real)(GLsizei);
    GLuint base;
    if (!real) real = (GLuint(*)(GLsizei))dlsym(RTLD_NEXT, "glGenLists");
    base = real(range);
    if (base && base + range - 1 > highestList) highestList = base + range - 1;
    return base;
}
