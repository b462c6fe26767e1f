// The browser's WebGL 2 functions for the GL 1.x layer. The program defines the GL 1.x names itself
// (glEnable, glBindTexture ...), so the browser's own functions are reached under emscripten's other
// names for them (emscripten_glEnable ...), never through a lookup that could hand out the layer's.
#include <cstring>

#include "gl_layer/gl_layer.h"
#include "gl_layer/gl_layer_es.h"

#define QUARNEL_ES_DECLARE(ret, name, params) extern "C" ret emscripten_gl##name params;
QUARNEL_ES_FUNCTIONS(QUARNEL_ES_DECLARE)
#undef QUARNEL_ES_DECLARE

void* GlLayerBrowserLookup(const char* name)
{
#define QUARNEL_ES_FIND(ret, fn, params) \
    if (std::strcmp(name, "gl" #fn) == 0) return reinterpret_cast<void*>(&emscripten_gl##fn);
    QUARNEL_ES_FUNCTIONS(QUARNEL_ES_FIND)
#undef QUARNEL_ES_FIND
    return nullptr;
}
