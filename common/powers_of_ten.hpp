// The powers of ten that a double and a float hold exactly: a decimal of few digits is its digits
// divided by one of them, rounded once, as the C library's conversions round it. Shared by the
// record reader's scanners and kelvarin-prepare's reading of archive values.
#pragma once

namespace kelvarin::detail {

inline constexpr double kPowersOfTenDouble[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
inline constexpr float kPowersOfTenFloat[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                              1e6f, 1e7f, 1e8f, 1e9f, 1e10f};

}  // namespace kelvarin::detail
