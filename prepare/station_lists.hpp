// The station descriptions that archives publish beside their data: where each station stands.
// Each list layout is described once, in station_lists.cpp, after its provider's documentation;
// what they give becomes the places table that kelvarin --places reads.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "station_number.hpp"  // stationKey

namespace kelvarin::prepare {

/// One station's place, as one row of a list gives it, for the period it names.
struct PlaceRow {
  std::string key;  // as the station's values are keyed: a number without leading zeros
  double latitudeDeg = 0.0;
  double longitudeDeg = 0.0;
  std::string name;                                                 // UTF-8
  std::int64_t fromDay = std::numeric_limits<std::int64_t>::min();  // days since 1970-01-01
  std::int64_t toDay = std::numeric_limits<std::int64_t>::max();
  std::string where;  // "FILE: line N"
};

/// A row of a station list that cannot be read, kept to refuse if the data hold its station.
struct UnreadablePlace {
  std::string key;      // as the station's values are keyed
  std::string message;  // the refusal: file, line, fault and the row
};

/// A list layout: how it is recognised and how one of its rows is read.
struct StationListLayout {
  std::string_view name;      // for messages: "dwd-description"
  std::string_view document;  // the provider's document its rules come from
  // Returns the index of the first station row when `rows`, the first rows of a file, are a
  // list of this layout (the header row read into `columns` where it has one).
  std::optional<std::size_t> (*recognise)(const std::vector<std::string>& rows,
                                          std::vector<int>& columns);
  // Reads one station row; nothing for a row that holds no station (a ruler of dashes), a
  // text for a row that cannot be read.
  enum class Row { kStation, kSkip, kFault };
  Row (*readRow)(std::string_view row, const std::vector<int>& columns, PlaceRow& place,
                 std::string& fault);
  bool inDataPreamble = false;  // its rows stand in the free text before a data header row
};

/// Every list layout known, in the order they are tried.
const std::vector<StationListLayout>& knownStationLists();

struct Collection;
struct Refusal;
struct TableState;

/// Reads a station list of layout `list` from its first station row (`first`, among the early
/// rows of `table`) to its end into the collection's places.
std::optional<Refusal> readStationList(TableState& table, const StationListLayout& list,
                                       const std::vector<int>& listColumns, std::size_t first,
                                       Collection& collection);

/// Returns the list layout of a file whose first rows are `rows`, or nothing.
const StationListLayout* recogniseStationList(const std::vector<std::string>& rows,
                                              std::vector<int>& columns, std::size_t& firstStation);

/// Reads the station rows among the free text before a data header row (KNMI writes its
/// stations there), the first `count` of `rows`, into `places`; `where(i)` names row i.
void readPreamblePlaces(const std::vector<std::string>& rows, std::size_t count,
                        std::vector<PlaceRow>& places,
                        const std::function<std::string(std::size_t)>& where);

/// Reads an angle in decimal degrees ("52.4537") or degrees:minutes:seconds ("+52:27:58"),
/// within ±`limit`; nothing otherwise.
std::optional<double> readAngle(std::string_view text, double limit);

}  // namespace kelvarin::prepare
