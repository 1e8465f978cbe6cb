// Where the running program lives, so it can find the content installed or
// built beside it without a path compiled in.
#pragma once

#include <string>

// The folder of the running executable, with a trailing "/"; empty when the
// system cannot say.
std::string platform_executable_dir();
