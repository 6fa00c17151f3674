#include "host/SystemError.h"

#include <cctype>

std::string ErrorText(DWORD error, const std::string& insert)
{
    char text[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                   sizeof(text), nullptr);
    std::string message;
    for (const char* at = text; *at != '\0'; ++at) {
        if (at[0] == '%' && at[1] >= '1' && at[1] <= '9') {
            if (insert.empty()) {
                while (!message.empty() && message.back() == ' ')
                    message.pop_back();
            } else {
                message += insert;
            }
            ++at;
            continue;
        }
        message += *at;
    }
    while (!message.empty() && std::isspace(static_cast<unsigned char>(message.back())))
        message.pop_back();
    const std::string code = "error " + std::to_string(error);
    return message.empty() ? code : code + ": " + message;
}
