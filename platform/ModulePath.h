#pragma once

#include <string>

namespace platform {

// Full path of the module that holds this code: the program file for a
// program, the library file for a shared library. Empty if unknown.
std::string ModulePath();

}  // namespace platform
