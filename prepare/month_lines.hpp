// GHCN-Daily's fixed-width lines: one line of one station and month, 31 days of a value and its
// flags each.
#pragma once

#include <optional>
#include <string_view>

#include "sources.hpp"  // MonthLineFields
#include "table_state.hpp"

namespace kelvarin::prepare {

/// A fixed-width line of one station and month: long enough for 31 days, digits of the year and
/// the month, capitals or digits of the element.
bool monthLineFits(std::string_view row, const MonthLineFields& line);

/// Reads one fixed-width line of a station's month: 31 days, each a value and its flags. The
/// days a month does not have (31 June) hold the missing marker and are passed over.
std::optional<Refusal> readMonthLine(TableState& table, Collection& collection);

}  // namespace kelvarin::prepare
