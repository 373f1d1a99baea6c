#include "CommaLocale.h"
#include "HardwarePicture.h"
#include "NumberFormat.h"
#include "OutputValue.h"
#include "RangeTables.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

namespace zx {
namespace {

struct FormatCase {
    float value;
    const char* pattern;
    const char* expected;
};

void PrintTo(const FormatCase& c, std::ostream* out) {
    *out << c.value << " as " << c.pattern;
}

class FormatNumberTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatNumberTest, RoundsTheExactValueHalfAwayFromZero) {
    const FormatCase& c = GetParam();
    EXPECT_EQ(FormatNumber(c.value, c.pattern), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, FormatNumberTest,
    ::testing::Values(FormatCase{312.0f, "0.0", "312.0"}, FormatCase{0.0f, "0.000", "0.000"},
                      FormatCase{1.25f, "0.000", "1.250"}, FormatCase{0.0625f, "0.000", "0.063"},
                      FormatCase{-0.0625f, "0.000", "-0.063"}, FormatCase{2.675f, "0.00", "2.67"},
                      FormatCase{-12.34f, "0.0", "-12.3"}, FormatCase{-0.0004f, "0.000", "0.000"},
                      FormatCase{-0.0f, "0.0", "0.0"}, FormatCase{0.25f, "0.0", "0.3"},
                      FormatCase{9.9996f, "0.000", "10.000"},
                      FormatCase{-9.998f, "0.000", "-9.998"}, FormatCase{0.5f, "0", "1"},
                      FormatCase{123456.0f, "0.0", "123456.0"},
                      // 0.35f is 0.3499999940..., 12.45f is 12.4499998..., 2.0005f 2.00049996...
                      FormatCase{0.35f, "0.0", "0.3"}, FormatCase{12.45f, "0.0", "12.4"},
                      FormatCase{2.0005f, "0.000", "2.000"}));

TEST(FormatNumber, IgnoresTheProcessLocale) {
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous != nullptr ? previous : "C";
    ASSERT_NE(test::UseCommaLocale(LC_NUMERIC), nullptr);
    EXPECT_EQ(FormatNumber(2.5f, "0.000"), "2.500");
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(FormatNumber, WithUnitAddsOneBlankAndTheUnit) {
    EXPECT_EQ(FormatWithUnit(312.0f, "0.0", "mV"), "312.0 mV");
    EXPECT_EQ(FormatWithUnit(2.5f, "0.000", "V"), "2.500 V");
}

TEST(FormatNumber, NonFiniteValuesGiveATextNotACrash) {
    EXPECT_EQ(FormatNumber(NAN, "0.0"), "NAN");
    EXPECT_EQ(FormatNumber(-INFINITY, "0.0"), "-INF");
    EXPECT_EQ(FormatNumber(3.4e38f, "0.000").substr(0, 4), "3399");
}

struct OutputCase {
    int range;
    std::uint16_t zero, full, output;
    const char* expected;
};

void PrintTo(const OutputCase& c, std::ostream* out) {
    *out << "range " << c.range << " codes " << c.zero << "/" << c.full << "/" << c.output;
}

class OutputValueTest : public ::testing::TestWithParam<OutputCase> {};

TEST_P(OutputValueTest, ComputesFromTheDacCodes) {
    const OutputCase& c = GetParam();
    EXPECT_EQ(FormatOutputValue(c.range, c.zero, c.full, c.output), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, OutputValueTest,
    ::testing::Values(
        OutputCase{0, 0, 65535, 32768, "0.000 V"}, OutputCase{0, 0, 300, 100, "-3.333 V"},
        OutputCase{1, 100, 700, 400, "10.000 mA"},
        OutputCase{0, 100, 300, 0, "-20.000 V"}, // not clamped
        OutputCase{0, 300, 100, 200, "0.000 V"}, // negative slope
        OutputCase{0, 1000, 61000, 46000, "5.000 V"}, OutputCase{1, 1000, 61000, 16000, "5.000 mA"},
        OutputCase{1, 0, 8000, 1, "0.002 mA"}, // 0.0025 as a single is 0.00249999...
        OutputCase{0, 500, 500, 500, "N/A"},   // no slope: no division
        OutputCase{0, 500, 500, 9, "N/A"}, OutputCase{2, 0, 100, 50, "N/A"}, // outside the table
        OutputCase{255, 0, 100, 50, "N/A"}));

TEST(RangeTables, HoldEveryRowOfTheCatalogue) {
    ASSERT_EQ(InputRanges.size(), 11u);
    ASSERT_EQ(OutputRanges.size(), 2u);
    EXPECT_EQ(InputRanges[0].Caption, "\xC2\xB1"
                                      "300 mV");
    EXPECT_EQ(InputRanges[0].CalFull, 312.0f);
    EXPECT_EQ(InputRanges[1].DisplayFormat, "0.0");
    EXPECT_EQ(InputRanges[2].DisplayFormat, "0.000");
    EXPECT_EQ(InputRanges[6].SwitchPattern, "010001");
    EXPECT_EQ(InputRanges[10].Caption, "\xC2\xB1"
                                       "30 mA");
    EXPECT_EQ(InputRanges[10].MinLimit, -30.0f);
    EXPECT_EQ(OutputRanges[1].Caption, "0-20 mA");
    EXPECT_EQ(OutputRanges[1].MinLimit, 0.0f);
    EXPECT_EQ(OutputRanges[0].ScaleLow, -10.0f);
    for (const IRange& r : InputRanges) {
        EXPECT_EQ(r.SwitchPattern.size(), 6u) << r.Caption;
        EXPECT_EQ(r.MinLimit, -r.MaxLimit) << r.Caption;
        EXPECT_EQ(r.CalZero, 0.0f) << r.Caption;
    }
}

TEST(RangeTables, CodesOutsideTheTablesFindNothing) {
    EXPECT_EQ(FindInputRange(-1), nullptr);
    EXPECT_EQ(FindInputRange(11), nullptr);
    EXPECT_EQ(FindInputRange(255), nullptr);
    EXPECT_NE(FindInputRange(10), nullptr);
    EXPECT_EQ(FindOutputRange(2), nullptr);
    EXPECT_NE(FindOutputRange(1), nullptr);
}

TEST(HardwarePicture, LeversFollowTheSwitchPattern) {
    auto levers = [](int code) {
        std::string up;
        for (int k = 1; k <= 6; ++k) {
            up += LeverTop(code, k) == LeverTopUp ? '1' : '0';
        }
        return up;
    };
    EXPECT_EQ(levers(5), "010010");
    for (int code = 0; code <= 3; ++code) {
        EXPECT_EQ(levers(code), "011000");
    }
    for (int code = 7; code <= 10; ++code) {
        EXPECT_EQ(levers(code), "101000");
    }
    EXPECT_EQ(levers(255), "000000");
    EXPECT_EQ(LeverTop(0, 0), LeverTopDown);
    EXPECT_EQ(LeverTop(0, 7), LeverTopDown);
}

TEST(HardwarePicture, JumperSitsOverTheCurrentPinsOnlyForMilliamps) {
    EXPECT_EQ(JumperLeft(1), 191);
    EXPECT_EQ(JumperLeft(0), 224);
    EXPECT_EQ(JumperLeft(255), 224);
}

} // namespace
} // namespace zx
