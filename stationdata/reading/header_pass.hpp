// The five header lines of a station file and the station columns named in the second one.
#pragma once

#include <cstddef>  // std::size_t
#include <cstdint>
#include <cstdio>  // std::FILE
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console.hpp"
#include "read_fault.hpp"
#include "reading/input_reader.hpp"
#include "station_layout.hpp"  // kHeaderLines, kColumnLabelWidth
#include "station_number.hpp"  // StationNumber
#include "writing/output_buffer.hpp"

namespace kelvarin {

/// Returns the number of station identifiers in a column header line as read (line break
/// included): the words after the label field, separated by blanks or tabs, up to the first one
/// whose integer prefix is zero or absent. Returns nothing for a line of 12 characters or fewer.
std::optional<std::size_t> countColumns(std::string_view line);

/// Returns the station number of each identifier countColumns counts ("00433" is 433, "12abc"
/// 12), in column order, with the identifier's text for a refusal of a number beyond the limit.
struct ColumnStation {
  StationNumber number;
  std::string text;
};
std::vector<ColumnStation> columnStations(std::string_view line);

/// Copies the five header lines to `out` byte for byte, prints "N columns" on `console` and sizes
/// `columnSums` to N + 1 zeros. On a malformed, missing or overlong header returns the fault; the
/// header lines read before it are in `out`. `columnHeader` gets line 2 as read.
std::optional<ReadFault> runHeaderPass(InputReader& in, OutputBuffer& out,
                                       const RunConsole& console, std::vector<double>& columnSums,
                                       std::string& columnHeader);

/// Returns up to `maxLength` characters of `text` up to its line break, control characters shown
/// as '?', for messages.
std::string printablePrefix(std::string_view text, std::size_t maxLength);

}  // namespace kelvarin
