// The five header lines of a station file and the station columns named in the second one.
#pragma once

#include <cstddef>  // std::size_t
#include <cstdint>
#include <cstdio>  // std::FILE
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "read_fault.hpp"
#include "reading/input_reader.hpp"
#include "writing/output_buffer.hpp"

namespace kelvarin {

inline constexpr int kHeaderLines = 5;
/// Width of the label field for the four time fields at the start of the column header.
inline constexpr std::size_t kColumnLabelWidth = 12;

/// Returns the number of station identifiers in a column header line as read (line break
/// included): the words after the label field, separated by blanks or tabs, up to the first one
/// whose integer prefix is zero or absent. Returns nothing for a line of 12 characters or fewer.
std::optional<std::size_t> countColumns(std::string_view line);

/// Returns the integer value of each station identifier countColumns counts ("00433" is 433,
/// "12abc" 12): the stations of the columns, in order.
std::vector<std::int64_t> columnIdentifiers(std::string_view line);

/// Copies the five header lines to `out` byte for byte, prints "N columns" on `console` and sizes
/// `columnSums` to N + 1 zeros. On a malformed, missing or overlong header returns the fault; the
/// header lines read before it are in `out`. `columnHeader` gets line 2 as read.
std::optional<ReadFault> runHeaderPass(InputReader& in, OutputBuffer& out, std::FILE* console,
                                       std::vector<double>& columnSums, std::string& columnHeader);

/// Returns up to `maxLength` characters of `text` up to its line break, control characters shown
/// as '?', for messages.
std::string printablePrefix(std::string_view text, std::size_t maxLength);

}  // namespace kelvarin
