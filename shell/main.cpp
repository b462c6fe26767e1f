// The executable's entry: reads the command line and hands over to the program entry.
#include <cstdio>
#include <string>

#include "platform/process.h"
#include "shell/command_line.h"
#include "shell/program_entry.h"

int main(int argc, char** argv)
{
    CommandLine options;
    std::string error;
    if (ParseCommandLine(argc, argv, options, error) != ParseResult::Ok) {
        std::fprintf(stderr, "quarnel: %s\n%s", error.c_str(), UsageText());
        return 2;
    }
    if (options.help) {
        std::fputs(UsageText(), stdout);
        return 0;
    }
    if (options.version) {
        std::puts("quarnel 1.0.0");
        return 0;
    }
    EndProcess(WinMain(options));
}
