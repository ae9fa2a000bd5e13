#include "places.hpp"

#include <algorithm>  // std::count, std::max_element
#include <cctype>     // std::isspace
#include <cmath>      // std::isfinite, std::fabs
#include <cstdio>
#include <cstdlib>  // std::strtof
#include <string_view>
#include <unordered_map>

namespace kelvarin {

namespace {

// The largest places table: a million stations fit many times, and a wrong file (or /dev/zero)
// is refused before it fills the memory.
constexpr std::size_t kMaxTableBytes = std::size_t{64} << 20;

std::string_view trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && blank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

// Splits a row at `separator`, or at runs of blanks and tabs where it is ' '.
std::vector<std::string_view> splitRow(std::string_view row, char separator) {
  std::vector<std::string_view> fields;
  if (separator == ' ') {
    for (std::size_t at = 0; at < row.size();) {
      const std::size_t start = row.find_first_not_of(" \t", at);
      if (start == std::string_view::npos) {
        break;
      }
      const std::size_t end = std::min(row.find_first_of(" \t", start), row.size());
      fields.push_back(row.substr(start, end - start));
      at = end;
    }
    return fields;
  }
  for (std::size_t start = 0;;) {
    const std::size_t end = row.find(separator, start);
    fields.push_back(trim(row.substr(start, end == std::string_view::npos ? end : end - start)));
    if (end == std::string_view::npos) {
      return fields;
    }
    start = end + 1;
  }
}

// The most frequent of ';', ',' and tab in the header row, or blanks where there is none.
char detectSeparator(std::string_view header) {
  char separator = ' ';
  std::ptrdiff_t best = 0;
  for (const char candidate : {';', ',', '\t'}) {
    const auto count = std::count(header.begin(), header.end(), candidate);
    if (count > best) {
      best = count;
      separator = candidate;
    }
  }
  return separator;
}

bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if ((a[i] | 0x20) != (b[i] | 0x20)) {
      return false;
    }
  }
  return true;
}

// A station identifier compared as an integer: an optional sign and digits, "00433" is 433.
std::optional<std::int64_t> readStation(std::string_view text) {
  std::size_t i = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
  if (i == text.size() || text.size() - i > 18) {
    return std::nullopt;
  }
  std::int64_t value = 0;
  for (std::size_t k = i; k < text.size(); ++k) {
    if (text[k] < '0' || text[k] > '9') {
      return std::nullopt;
    }
    value = value * 10 + (text[k] - '0');
  }
  return text[0] == '-' ? -value : value;
}

// Reads an angle as an answer is read: single precision, the whole field a finite number (strtof
// is the conversion of the answers' "%f", without a format to interpret for every row).
std::optional<float> readAngle(std::string_view text) {
  const std::string copy(text);
  char* end = nullptr;
  const float value = std::strtof(copy.c_str(), &end);
  if (copy.empty() || end != copy.c_str() + copy.size() || !std::isfinite(value) ||
      std::isspace(static_cast<unsigned char>(copy[0]))) {
    return std::nullopt;
  }
  return value;
}

// Where the three columns stand in the rows.
struct PlaceColumns {
  std::size_t station;
  std::size_t latitude;
  std::size_t longitude;
  std::size_t needed;  // fields a row must have
};

std::optional<std::string> findColumns(const std::vector<std::string_view>& header,
                                       PlaceColumns& columns) {
  std::size_t* const where[] = {&columns.station, &columns.latitude, &columns.longitude};
  const char* const names[] = {"station", "latitude", "longitude"};
  for (std::size_t k = 0; k < 3; ++k) {
    const auto found = std::find_if(header.begin(), header.end(), [&](std::string_view name) {
      return sameName(name, names[k]);
    });
    if (found == header.end()) {
      return std::string("no column \"") + names[k] + "\" in the header row";
    }
    *where[k] = static_cast<std::size_t>(found - header.begin());
  }
  columns.needed = 1 + std::max({columns.station, columns.latitude, columns.longitude});
  return std::nullopt;
}

// Reads one row into a place; a refusal says what is wrong, the caller where.
std::optional<std::string> readRow(const std::vector<std::string_view>& fields,
                                   const PlaceColumns& columns, std::uint64_t line,
                                   StationPlace& place) {
  if (fields.size() < columns.needed) {
    return std::to_string(fields.size()) + " fields, fewer than the header row names";
  }
  const std::optional<std::int64_t> station = readStation(fields[columns.station]);
  if (!station) {
    return "station \"" + std::string(fields[columns.station]) + "\" is not a number";
  }
  const std::optional<float> latitude = readAngle(fields[columns.latitude]);
  const std::optional<float> longitude = readAngle(fields[columns.longitude]);
  if (!latitude || !longitude) {
    const std::string_view text = !latitude ? fields[columns.latitude] : fields[columns.longitude];
    return std::string("the ") + (!latitude ? "latitude" : "longitude") + " \"" +
           std::string(text) + "\" is not a number";
  }
  if (std::fabs(*latitude) > 90.0f) {
    return "the latitude (" + std::string(fields[columns.latitude]) +
           ") is not between -90 and 90 degrees";
  }
  place = StationPlace{*station, *latitude, *longitude, line};
  return std::nullopt;
}

// Reads the whole table, at most kMaxTableBytes. Returns false on a read error or a larger file.
bool readWhole(std::FILE* file, std::string& text, bool& tooLong) {
  char chunk[1 << 16];
  for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) {
    if (text.size() + got > kMaxTableBytes) {
      tooLong = true;
      return false;
    }
    text.append(chunk, got);
  }
  return std::ferror(file) == 0;
}

// Keeps a row's place; a station's second row must give the same place.
std::optional<std::string> addPlace(const StationPlace& place, const std::string& refused,
                                    std::vector<StationPlace>& places,
                                    std::unordered_map<std::int64_t, std::size_t>& seen) {
  const auto [known, added] = seen.emplace(place.station, places.size());
  if (added) {
    places.push_back(place);
    return std::nullopt;
  }
  const StationPlace& before = places[known->second];
  if (before.latitudeDeg != place.latitudeDeg || before.longitudeDeg != place.longitudeDeg) {
    return refused + ": station " + std::to_string(place.station) +
           " has two rows of different places, lines " + std::to_string(before.line) + " and " +
           std::to_string(place.line) + "\n";
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> readPlaces(std::FILE* file, const std::string& name,
                                      std::vector<StationPlace>& places) {
  const std::string refused = "answers refused: " + name;
  std::string text;
  bool tooLong = false;
  if (!readWhole(file, text, tooLong)) {
    return refused + (tooLong ? ": larger than 64 MiB: not a places table\n"
                              : ": cannot be read to its end\n");
  }
  std::optional<char> separator;
  PlaceColumns columns{};
  std::unordered_map<std::int64_t, std::size_t> seen;
  std::uint64_t number = 0;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    const std::string_view row = trim(std::string_view(text).substr(start, end - start));
    start = end + 1;
    ++number;
    if (row.empty() || row.front() == '#') {
      continue;
    }
    if (!separator) {
      separator = detectSeparator(row);
      if (auto refusal = findColumns(splitRow(row, *separator), columns)) {
        return refused + ": line " + std::to_string(number) + ": " + *refusal + "\n";
      }
      continue;
    }
    StationPlace place{};
    if (auto refusal = readRow(splitRow(row, *separator), columns, number, place)) {
      return refused + ": line " + std::to_string(number) + ": " + *refusal + "\n";
    }
    if (auto refusal = addPlace(place, refused, places, seen)) {
      return *refusal;
    }
  }
  if (!separator) {
    return refused + ": no header row (station, latitude, longitude)\n";
  }
  return std::nullopt;
}

}  // namespace kelvarin
