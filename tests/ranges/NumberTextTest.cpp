#include "NumberText.h"
#include "CommaLocale.h"

#include <gtest/gtest.h>

#include <bit>
#include <clocale>
#include <cstdint>
#include <string>

namespace zx {
namespace {

TEST(TextToSingle, AcceptsTheTextsTheEditMaskAdmits) {
    const std::pair<const char*, float> accepted[] = {
        {"5", 5.0f},         {"-5", -5.0f},     {"5.", 5.0f},          {"5.25", 5.25f},
        {"-0.125", -0.125f}, {"312.0", 312.0f}, {"-10.001", -10.001f}, {"007", 7.0f}};
    for (const auto& [text, value] : accepted) {
        const SingleConversion c = TextToSingle(text);
        EXPECT_TRUE(c.Ok) << text;
        EXPECT_EQ(c.Value, value) << text;
    }
}

TEST(TextToSingle, RefusesEverythingElseAndNamesTheText) {
    for (const char* text : {"", "-", ".", ".5", "-.5", "5.2.1", "+5", "1e3", "5,25", " 5", "5 ",
                             "abc", "--5", "0x10", "inf", "nan"}) {
        const SingleConversion c = TextToSingle(text);
        EXPECT_FALSE(c.Ok) << text;
        EXPECT_EQ(c.Message(), "'" + std::string(text) + "' is not a valid floating point value");
    }
}

TEST(TextToSingle, RefusesTooLargeAndRoundsTooSmallToZero) {
    EXPECT_FALSE(TextToSingle(std::string(50, '9')).Ok);
    for (const std::string& text :
         {"0." + std::string(45, '0') + "7", "-0." + std::string(60, '0') + "1"}) {
        const SingleConversion c = TextToSingle(text);
        EXPECT_TRUE(c.Ok) << text;
        // The sign stays: -0.0 goes on the wire as 00 00 00 80.
        EXPECT_EQ(std::bit_cast<std::uint32_t>(c.Value), text[0] == '-' ? 0x80000000u : 0u) << text;
    }
}

TEST(TextToSingle, UsesThePointUnderACommaLocale) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(test::UseCommaLocale(LC_ALL), nullptr);
    const SingleConversion c = TextToSingle("5.25");
    EXPECT_TRUE(c.Ok);
    EXPECT_EQ(c.Value, 5.25f);
    EXPECT_FALSE(TextToSingle("5,25").Ok);
    std::setlocale(LC_ALL, saved.c_str());
}

} // namespace
} // namespace zx
