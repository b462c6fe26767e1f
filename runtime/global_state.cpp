// The shell's one GlobalState record.
#include "runtime/global_state.h"

GlobalState gState;
std::string CaptureText;
