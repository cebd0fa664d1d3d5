// Identifiers of the library's entry points, from functions.def.
#pragma once

#include <string>

namespace trovsim {

enum class Fn : int {
#define TROV_FUNCTION(name, boot) name,
#include "functions.def"
#undef TROV_FUNCTION
};

constexpr int kFunctionCount = 0
#define TROV_FUNCTION(name, boot) +1
#include "functions.def"
#undef TROV_FUNCTION
    ;

const char* functionName(Fn fn);
bool worksInBootloader(Fn fn);
// -1 if the name is not a library function.
int findFunction(const char* name);

} // namespace trovsim
