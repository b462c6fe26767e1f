// The entry point in a page. A page keeps running after main returns unless told that the program ended
// (--help, a bad option); the show itself leaves main for good through the page's passes.
#include "platform/process.h"

int main(int argc, char** argv)
{
    EndProcess(ProgramMain(argc, argv));
}
