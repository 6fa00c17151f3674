// Numbers on a command line: the whole text must be the number, inside the
// range given; anything else is refused rather than read in part.
#pragma once

bool ParseLong(const char* text, long minimum, long maximum, long& value);
bool ParseInt(const char* text, int minimum, int maximum, int& value);
// Decimal and finite only.
bool ParseDouble(const char* text, double minimum, double maximum, double& value);
// "640x480", both sides 1..maxSide.
bool ParseSize(const char* text, int maxSide, int& width, int& height);
