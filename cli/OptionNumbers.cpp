#include "cli/OptionNumbers.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

bool ParseLong(const char* text, long minimum, long maximum, long& value)
{
    if (*text == '\0')
        return false;
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text, &end, 10);
    if (*end != '\0' || errno == ERANGE || parsed < minimum || parsed > maximum)
        return false;
    value = parsed;
    return true;
}

bool ParseInt(const char* text, int minimum, int maximum, int& value)
{
    long parsed = 0;
    if (!ParseLong(text, minimum, maximum, parsed))
        return false;
    value = static_cast<int>(parsed);
    return true;
}

bool ParseDouble(const char* text, double minimum, double maximum, double& value)
{
    // Decimal only, as ParseLong: strtod would also take hex ("0x10") and
    // words ("inf", "nan").
    if (*text == '\0' || std::strspn(text, "0123456789+-.eE") != std::strlen(text))
        return false;
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(text, &end);
    if (*end != '\0' || errno == ERANGE || !std::isfinite(parsed) || parsed < minimum || parsed > maximum)
        return false;
    value = parsed;
    return true;
}

bool ParseSize(const char* text, int maxSide, int& width, int& height)
{
    const char* cross = std::strchr(text, 'x');
    return cross != nullptr && ParseInt(std::string(text, cross).c_str(), 1, maxSide, width) &&
           ParseInt(cross + 1, 1, maxSide, height);
}
