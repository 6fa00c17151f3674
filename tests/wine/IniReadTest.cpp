// The rows the native ini reader is tested with, read by the real
// GetPrivateProfileIntA: what the rows expect is what Windows reads.
#include "WineTestSupport.h"

#include "tests/IniReadCases.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ProfileCalls, ReadTheIniRowsAsTheNativeReaderExpects)
{
    char temp[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
    int index = 0;
    for (const IniReadCase& row : iniReadCases) {
        // A file per row: the profile cache never serves an earlier row's text.
        const std::string path = std::string(temp) + "brimwave-ini-" + std::to_string(GetCurrentProcessId()) + "-" +
                                 std::to_string(index) + ".ini";
        SCOPED_TRACE(testing::Message() << "row " << index++ << ", text: " << std::string(row.text));
        WriteFileText(path, std::string(row.text));
        ASSERT_EQ(ReadFileText(path), std::string(row.text));
        EXPECT_EQ(static_cast<int>(GetPrivateProfileIntA(row.section, row.key, row.fallback, path.c_str())),
                  row.expected);
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
        DeleteFileA(path.c_str());
    }
}

}  // namespace
