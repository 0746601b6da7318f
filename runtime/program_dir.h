#pragma once
#include <string>

// The folder holding the program file, as GBK text without a trailing backslash.
std::string ProgramDirectory();
