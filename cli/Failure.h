// A program's failures: one line on standard error, "program: message",
// and whatever else the program shows (a message box where no console is).
#pragma once

#include <string>

void SetFailureReport(const char* program, void (*alsoShow)(const std::string& message) = nullptr);

// Reports the message and returns `code`, for `return Fail(...)`.
int Fail(int code, const std::string& message);
