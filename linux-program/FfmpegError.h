// FFmpeg's text for one of its error codes, for the messages.
#pragma once

extern "C" {
#include <libavutil/error.h>
}

#include <string>

inline std::string AvError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}
