#include <gtest/gtest.h>

#include "app/text.h"

TEST(CopyText, FitsExactly) {
    wchar_t buffer[4];
    EXPECT_EQ(S_OK, CopyText(buffer, 4, L"abc"));
    EXPECT_STREQ(L"abc", buffer);
}
