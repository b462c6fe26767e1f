// The ES 3.0 function table of the GL 1.x layer (see gl_layer_es.h).
#include "gl_layer/gl_layer_es.h"

#include <cstdio>

namespace gllayer {

EsFunctions es;

bool LoadEsFunctions(EsLookup lookup)
{
    EsFunctions loaded;
#define QUARNEL_ES_LOAD(ret, name, params)                                        \
    loaded.name = reinterpret_cast<ret(*) params>(lookup("gl" #name));            \
    if (!loaded.name) {                                                           \
        std::fprintf(stderr, "GL layer: the ES context offers no gl%s\n", #name); \
        return false;                                                             \
    }
    QUARNEL_ES_FUNCTIONS(QUARNEL_ES_LOAD)
#undef QUARNEL_ES_LOAD
    es = loaded;
    return true;
}

}  // namespace gllayer
