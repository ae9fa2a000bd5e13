#include "reading/number_scan.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>

namespace kelvarin {
namespace {

struct DoubleCase {
  const char* text;
  ScanStatus status;
  std::size_t length;
  double value;
};

constexpr DoubleCase kDoubleCases[] = {
    // text            status                   length  value
    {"0", ScanStatus::kOk, 1, 0.0},
    {"0.45 ", ScanStatus::kOk, 4, 0.45},
    {"+0.5", ScanStatus::kOk, 4, 0.5},
    {"-999\t", ScanStatus::kOk, 4, -999.0},
    {".5", ScanStatus::kOk, 2, 0.5},
    {"5.", ScanStatus::kOk, 2, 5.0},
    {"1e-3", ScanStatus::kOk, 4, 1e-3},
    {"1E+2x", ScanStatus::kOk, 4, 100.0},
    {"0.5-999", ScanStatus::kOk, 3, 0.5},
    {"00012", ScanStatus::kOk, 5, 12.0},
    {"0.0625\r\n", ScanStatus::kOk, 6, 0.0625},
    {"12abc", ScanStatus::kOk, 2, 12.0},
    {"1e x", ScanStatus::kOk, 2, 1.0},  // a dangling exponent marker is taken, as fscanf does
    {"1e+ x", ScanStatus::kOk, 3, 1.0},
    {"0e999999999999", ScanStatus::kOk, 14, 0.0},
    {"1e-400", ScanStatus::kOk, 6, 0.0},
    {"123456789012345678901234567890", ScanStatus::kOk, 30, 123456789012345678901234567890.0},
    {"0.1000000000000000055511151231257827", ScanStatus::kOk, 36, 0.1},
    {"1e400", ScanStatus::kOutOfRange, 5, HUGE_VAL},
    {"-1e309", ScanStatus::kOutOfRange, 6, -HUGE_VAL},
    {"abc", ScanStatus::kNotANumber, 0, 0.0},
    {"nan", ScanStatus::kNotANumber, 0, 0.0},
    {"inf", ScanStatus::kNotANumber, 0, 0.0},
    {"-", ScanStatus::kNotANumber, 0, 0.0},
    {"-.e5", ScanStatus::kNotANumber, 0, 0.0},
    {".", ScanStatus::kNotANumber, 0, 0.0},
    {"e5", ScanStatus::kNotANumber, 0, 0.0},
    {"", ScanStatus::kNotANumber, 0, 0.0},
    {",5", ScanStatus::kNotANumber, 0, 0.0},
};

TEST(NumberScanTest, DoubleFormsAndNonNumbers) {
  for (const DoubleCase& c : kDoubleCases) {
    const Scanned<double> got = scanDouble(c.text);
    EXPECT_EQ(got.status, c.status) << c.text;
    EXPECT_EQ(got.length, c.length) << c.text;
    if (c.status != ScanStatus::kNotANumber) {
      EXPECT_EQ(got.value, c.value) << c.text;
    }
  }
}

TEST(NumberScanTest, NegativeZeroKeepsItsSign) {
  EXPECT_TRUE(std::signbit(scanDouble("-0").value));
  EXPECT_TRUE(std::signbit(scanFloat("-0.0").value));
}

struct IntCase {
  const char* text;
  ScanStatus status;
  std::size_t length;
  std::int32_t value;
};

constexpr IntCase kIntCases[] = {
    // text              status                   length  value
    {"2023 ", ScanStatus::kOk, 4, 2023},
    {"+6", ScanStatus::kOk, 2, 6},
    {"-5", ScanStatus::kOk, 2, -5},
    {"0007", ScanStatus::kOk, 4, 7},
    {"12.5", ScanStatus::kOk, 2, 12},
    {"2147483647", ScanStatus::kOk, 10, INT32_MAX},
    {"-2147483648", ScanStatus::kOk, 11, INT32_MIN},
    {"2147483648", ScanStatus::kOutOfRange, 10, 0},
    {"99999999999999999999999", ScanStatus::kOutOfRange, 23, 0},
    {"+", ScanStatus::kNotANumber, 0, 0},
    {".5", ScanStatus::kNotANumber, 0, 0},
    {"x1", ScanStatus::kNotANumber, 0, 0},
};

TEST(NumberScanTest, IntegerFormsAndNonNumbers) {
  for (const IntCase& c : kIntCases) {
    const Scanned<std::int32_t> got = scanInt32(c.text);
    EXPECT_EQ(got.status, c.status) << c.text;
    EXPECT_EQ(got.length, c.length) << c.text;
    EXPECT_EQ(got.value, c.value) << c.text;
  }
}

TEST(NumberScanTest, FloatIsRoundedOnceNotThroughDouble) {
  // 1.00000005960464477550 lies just above the midpoint of two floats; through a double it would
  // land on the midpoint and round to even, 1.0f.
  const char* text = "1.00000005960464477550";
  EXPECT_EQ(scanFloat(text).value, std::strtof(text, nullptr));
  EXPECT_NE(scanFloat(text).value, 1.0f);
  EXPECT_EQ(scanFloat("1e39").status, ScanStatus::kOutOfRange);
}

// Random decimal texts of the forms data files hold, and of long mantissas and exponents that
// take the fallback, all compared with the C library's correctly rounded conversions.
std::string randomDecimal(std::mt19937_64& random) {
  std::string text;
  if (random() % 4 == 0) {
    text += (random() % 2 == 0) ? "-" : "+";
  }
  const auto integerDigits = static_cast<int>(random() % 25);
  for (int i = 0; i < integerDigits; ++i) {
    text += static_cast<char>('0' + random() % 10);
  }
  if (integerDigits == 0 || random() % 2 == 0) {
    text += '.';
    const auto fractionDigits = static_cast<int>(random() % 25) + (integerDigits == 0 ? 1 : 0);
    for (int i = 0; i < fractionDigits; ++i) {
      text += static_cast<char>('0' + random() % 10);
    }
  }
  if (random() % 3 == 0) {
    text += 'e' + std::to_string(static_cast<int>(random() % 90) - 45);
  } else if (random() % 10 == 0) {
    // The far ends: subnormals, underflow to zero and overflow beyond double and float.
    text += 'E' + std::to_string(static_cast<int>(random() % 700) - 350);
  }
  return text;
}

TEST(NumberScanTest, AgreesWithStrtodAndStrtofOnRandomTexts) {
  std::mt19937_64 random(20261207);
  for (int i = 0; i < 200000; ++i) {
    const std::string text = randomDecimal(random);
    const Scanned<double> d = scanDouble(text.c_str());
    ASSERT_EQ(d.length, text.size()) << text;
    ASSERT_EQ(std::bit_cast<std::uint64_t>(d.value),
              std::bit_cast<std::uint64_t>(std::strtod(text.c_str(), nullptr)))
        << text;
    const Scanned<float> f = scanFloat(text.c_str());
    const float expected = std::strtof(text.c_str(), nullptr);
    if (std::isinf(expected)) {
      ASSERT_EQ(f.status, ScanStatus::kOutOfRange) << text;
    } else {
      ASSERT_EQ(std::bit_cast<std::uint32_t>(f.value), std::bit_cast<std::uint32_t>(expected))
          << text;
    }
  }
}

}  // namespace
}  // namespace kelvarin
