#include "cli/Failure.h"

#include <cstdio>

namespace {

const char* programName = "brimwave";
void (*extraReport)(const std::string&) = nullptr;

}  // namespace

void SetFailureReport(const char* program, void (*alsoShow)(const std::string& message))
{
    programName = program;
    extraReport = alsoShow;
}

int Fail(int code, const std::string& message)
{
    std::fprintf(stderr, "%s: %s\n", programName, message.c_str());
    if (extraReport)
        extraReport(message);
    return code;
}
