#include "functions.h"

#include <cstring>

namespace trovsim {

namespace {

struct FunctionInfo {
    const char* name;
    bool boot;
};

const FunctionInfo kFunctions[] = {
#define TROV_FUNCTION(name, boot) {#name, boot != 0},
#include "functions.def"
#undef TROV_FUNCTION
};

} // namespace

const char* functionName(Fn fn) { return kFunctions[static_cast<int>(fn)].name; }
bool worksInBootloader(Fn fn) { return kFunctions[static_cast<int>(fn)].boot; }

int findFunction(const char* name)
{
    if (!name)
        return -1;
    for (int i = 0; i < kFunctionCount; ++i)
        if (std::strcmp(kFunctions[i].name, name) == 0)
            return i;
    return -1;
}

} // namespace trovsim
