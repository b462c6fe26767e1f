// The system's entry point on Linux: the arguments are UTF-8 already.
#include "platform/process.h"

int main(int argc, char** argv)
{
    return ProgramMain(argc, argv);
}
