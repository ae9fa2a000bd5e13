#include "writing/fixed_format.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

namespace kelvarin {
namespace {

std::string fixed(double value, int decimals, int minWidth = 0) {
  char out[kMaxFixedLength];
  return std::string(out, formatFixed(value, decimals, minWidth, out));
}

struct FormatCase {
  double value;
  int decimals;
  const char* expected;
};

constexpr FormatCase kFormatCases[] = {
    // value              decimals  expected
    {0.5625, 3, "0.563"},  // exact tie: away from zero, where printf gives 0.562
    {0.0625, 3, "0.063"},
    {-0.0625, 3, "-0.063"},
    {0.9375, 3, "0.938"},
    {9.9995, 3, "9.999"},  // just below the tie in binary
    {0.637, 3, "0.637"},
    {1.0, 3, "1.000"},
    {0.0, 3, "0.000"},
    {-0.0, 3, "-0.000"},
    {-1e-9, 3, "-0.000"},  // a tiny negative keeps its sign, as the C library writes it
    {-9999.0, 3, "-9999.000"},
    {-99.9996, 3, "-100.000"},  // the carry reaches a new digit
    {123456.78901, 3, "123456.789"},
    {2.5, 0, "3"},
    {0.5, 0, "1"},
    {1.5, 0, "2"},
    {-0.5, 0, "-1"},
    {-0.4, 0, "-0"},
    {23.0, 0, "23"},
    {4.9406564584124654e-324, 3, "0.000"},
    {1e30, 0, "1000000000000000019884624838656"},
    {9007199254740993.0, 3, "9007199254740992.000"},
};

TEST(FixedFormatTest, RoundsTiesAwayFromZero) {
  for (const FormatCase& c : kFormatCases) {
    EXPECT_EQ(fixed(c.value, c.decimals), c.expected) << c.value;
  }
}

TEST(FixedFormatTest, PadsToTheFieldWidth) {
  EXPECT_EQ(fixed(0.25, 3, 5), "0.250");
  EXPECT_EQ(fixed(std::numeric_limits<double>::quiet_NaN(), 3, 5), "  nan");
  EXPECT_EQ(fixed(std::numeric_limits<double>::infinity(), 3, 5), "  inf");
  EXPECT_EQ(fixed(-9999.0, 3, 5), "-9999.000");
}

TEST(FixedFormatTest, WritesIntegersLikePrintf) {
  for (long long value : {0LL, 7LL, -5LL, 2023LL, 2147483647LL, -2147483648LL}) {
    char out[32];
    EXPECT_EQ(std::string(out, formatInteger(value, out)), std::to_string(value));
  }
}

// The reference rounding: the C library's exact decimal expansion, rounded half away from zero by
// hand on its digits.
std::string roundExpansion(double value, int decimals) {
  char text[1500];
  std::snprintf(text, sizeof text, "%.1100f", value);
  const std::string digits(text);
  const std::size_t point = digits.find('.');
  const std::size_t keep = decimals == 0 ? point : point + 1 + static_cast<std::size_t>(decimals);
  const bool roundUp = digits[point + 1 + static_cast<std::size_t>(decimals)] >= '5';
  std::string kept = digits.substr(0, keep);
  const std::size_t firstDigit = kept[0] == '-' ? 1 : 0;
  std::size_t i = kept.size();
  bool carry = roundUp;
  while (carry && i > firstDigit) {
    char& c = kept[--i];
    if (c == '.') {
      continue;
    }
    carry = (c == '9');
    c = carry ? '0' : static_cast<char>(c + 1);
  }
  if (carry) {
    kept = kept.substr(0, firstDigit) + "1" + kept.substr(firstDigit);
  }
  return kept;
}

TEST(FixedFormatTest, AgreesWithTheExactExpansionOnRandomValues) {
  std::mt19937_64 random(7);
  for (int i = 0; i < 200000; ++i) {
    double value;
    switch (i % 4) {
      case 0:  // sixteenths and halves: the ties
        value = static_cast<double>(static_cast<std::int64_t>(random() % 40000) - 20000) / 16.0;
        break;
      case 1:
        value = std::uniform_real_distribution<double>(-100.0, 1.0)(random);
        break;
      case 2:  // any bit pattern of a finite double below 2^53
        value = std::bit_cast<double>(random());
        if (!std::isfinite(value) || std::fabs(value) >= 9007199254740992.0) {
          value = 0.001;
        }
        break;
      default:
        value =
            static_cast<double>(static_cast<std::int64_t>(random() % 2000000) - 1000000) / 1000.0;
    }
    for (int decimals : {0, 3}) {
      ASSERT_EQ(fixed(value, decimals), roundExpansion(value, decimals)) << value;
    }
    char out[kMaxFixedLength];
    ASSERT_EQ(std::string(out, formatThreeDecimals(value, out)), fixed(value, 3, 5)) << value;
  }
}

}  // namespace
}  // namespace kelvarin
