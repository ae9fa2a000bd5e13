#include "reading/shortcuts.hpp"  // convertShortDecimal

#include <gtest/gtest.h>

#include <bit>
#include <random>
#include <string>

#include "reading/number_scan.hpp"

namespace kelvarin {
namespace {

// The word-wide conversion must give scanDouble's double, bit for bit, for every short plain
// decimal, and refuse everything else.
TEST(ShortDecimalsTest, ShortDecimalsConvertAsTheScannerDoes) {
  std::mt19937 rng(7);
  const std::string alphabet = "0123456789.-";
  for (int i = 0; i < 200000; ++i) {
    const auto length = static_cast<unsigned>(1 + rng() % 8);
    std::string text;
    for (unsigned k = 0; k < length; ++k) {
      // Mostly digits, with points and minus signs where they may and may not stand.
      const auto pick = static_cast<unsigned>(rng() % 14);
      text += pick < 10 ? alphabet[pick] : (pick < 12 ? '.' : '-');
    }
    text += std::string(16, ' ');
    double value = 0.0;
    const bool converted = convertShortDecimal(text.data(), length, value);
    const Scanned<double> scanned = scanDouble(text.c_str());
    const bool plain = scanned.status == ScanStatus::kOk && scanned.length == length;
    ASSERT_EQ(converted, plain) << '"' << text.substr(0, length) << '"';
    if (converted) {
      ASSERT_EQ(std::bit_cast<std::uint64_t>(value), std::bit_cast<std::uint64_t>(scanned.value))
          << '"' << text.substr(0, length) << '"';
    }
  }
}

TEST(ShortDecimalsTest, RefusesWhatIsNotAShortPlainDecimal) {
  struct Case {
    const char* text;
    bool converted;
    double value;
  };
  const Case cases[] = {
      // text         converted  value
      {"0", true, 0.0},
      {"-0", true, -0.0},
      {"60", true, 60.0},
      {"0.1", true, 0.1},
      {".5", true, 0.5},
      {"5.", true, 5.0},
      {"-999", true, -999.0},
      {"12345678", true, 12345678.0},
      {"-1234567", true, -1234567.0},
      {"0.0625", true, 0.0625},
      {"+1", false, 0.0},
      {"1e5", false, 0.0},
      {"0.5-999", false, 0.0},
      {"1.2.3", false, 0.0},
      {".", false, 0.0},
      {"-", false, 0.0},
      {"-.", false, 0.0},
      {"0,25", false, 0.0},
      {"nan", false, 0.0},
      {"1\x01", false, 0.0},
  };
  for (const Case& c : cases) {
    std::string text = std::string(c.text) + std::string(16, ' ');
    double value = 0.0;
    EXPECT_EQ(
        convertShortDecimal(text.data(), static_cast<unsigned>(std::string(c.text).size()), value),
        c.converted)
        << c.text;
    if (c.converted) {
      EXPECT_EQ(std::bit_cast<std::uint64_t>(value), std::bit_cast<std::uint64_t>(c.value))
          << c.text;
    }
  }
}

}  // namespace
}  // namespace kelvarin
