// The shell's one GlobalState record.
#include "shell/global_state.h"

GlobalState gState;
