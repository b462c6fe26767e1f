// Inside the process layer only: what the system says of the running program.
#pragma once
#include <filesystem>

// The program's own file with every link resolved, or empty when the system cannot tell.
std::filesystem::path SystemProgramFile();
