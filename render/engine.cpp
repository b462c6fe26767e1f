// The one global Engine object; it lives for the whole run.
#include "render/engine.h"

Engine gEngine;
