#include "summary.hpp"

#include <algorithm>  // std::all_of
#include <cmath>      // std::fabs, std::isnan
#include <cstdio>

#include "text_rows.hpp"  // escapeControls

namespace kelvarin::prepare {

namespace {

constexpr std::int64_t kMinutesPerDay = 1440;
constexpr double kZoneWidthDeg = 15.0;

// Quotes a file name for the shell where it holds more than letters, digits and ./_-.
std::string shellWord(const std::string& text) {
  const bool plain = !text.empty() && text.find_first_not_of(
                                          "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                          "0123456789./_-") == std::string::npos;
  if (plain) {
    return text;
  }
  std::string quoted = "'";
  for (const char c : escapeControls(text)) {
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return quoted + "'";
}

bool anyPlace(const std::vector<std::optional<PlaceRow>>& places) {
  for (const std::optional<PlaceRow>& place : places) {
    if (place) {
      return true;
    }
  }
  return false;
}

// "+9" for 540 minutes, "-5" for -300.
std::string signedHours(std::int64_t minutes) {
  return (minutes < 0 ? "-" : "+") + std::to_string(std::abs(minutes) / 60);
}

TimeReference timeOf(const Collection& collection) {
  return collection.kind.source != nullptr ? collection.kind.source->time : TimeReference::kUnknown;
}

}  // namespace

std::optional<int> commandShiftH(const Collection& collection,
                                 const std::vector<std::optional<PlaceRow>>& places) {
  const std::optional<Zone> zone = nearestZone(places);
  if (timeOf(collection) == TimeReference::kUnknown || !zone) {
    return std::nullopt;
  }
  // Stamps in UTC are moved to the zone's time; dates of local days are in it already.
  return timeOf(collection) == TimeReference::kLocalDays ? 0 : zone->offsetH;
}

std::int64_t zoneDayStartMin(const Collection& collection,
                             const std::vector<std::optional<PlaceRow>>& places) {
  return std::int64_t{commandShiftH(collection, places).value_or(0)} * 60;
}

namespace {

// The options of place and time: --places or a latitude and longitude to give, and the time
// shift and meridian of the zone nearest the stations.
std::string placeAndTime(const Collection& collection,
                         const std::vector<std::optional<PlaceRow>>& places,
                         const Written& written) {
  std::string options = !written.placesFile.empty() && anyPlace(places)
                            ? " --places " + shellWord(written.placesFile)
                            : std::string(" --latitude LAT --longitude LON");
  const std::optional<Zone> zone = nearestZone(places);
  const std::optional<int> shift = commandShiftH(collection, places);
  if (!zone || !shift) {
    return options + " --time-shift SHIFT --meridian MERIDIAN";
  }
  return options + " --time-shift " + std::to_string(*shift) + " --meridian " +
         std::to_string(zone->meridianDeg);
}

void printPlaces(const Collection& collection, const std::vector<std::optional<PlaceRow>>& places,
                 const StationNumbers& numbers, const Written& written) {
  std::string lists;
  for (const std::string& list : collection.lists) {
    lists += (lists.empty() ? "" : ", ") + list;
  }
  std::string without;
  std::size_t placed = 0;
  for (std::size_t s = 0; s < places.size(); ++s) {
    if (places[s]) {
      ++placed;
    } else {
      // The station's own identifier where it is its number; a number of kelvarin-prepare's own
      // with the identifier it stands for.
      without += (without.empty() ? "" : ", ") + numbers.numbers[s];
      if (numbers.assigned) {
        without += " " + escapeControls(collection.stations[s].label);
      }
    }
  }
  if (!collection.places.empty() || !collection.lists.empty()) {
    std::fprintf(stderr, "  places of %zu of %zu stations%s%s%s\n", placed, places.size(),
                 lists.empty() ? " from the data files' own header" : " from ", lists.c_str(),
                 written.placesFile.empty()
                     ? "; give --places FILE to write them for kelvarin --places"
                     : (", written to " + fileName(written.placesFile)).c_str());
  }
  for (const std::string& conflict : placeConflicts(collection, places)) {
    std::fprintf(stderr, "  two station lists disagree: %s\n", conflict.c_str());
  }
  if (collection.places.empty() && collection.lists.empty()) {
    std::fprintf(stderr,
                 "  no station list read: replace LAT and LON by the place (or give the "
                 "archive's station list, and --places FILE)\n");
  } else if (!without.empty()) {
    std::fprintf(stderr,
                 "  stations without a place: %s (kelvarin --places needs a row for each: add "
                 "them to the places table)\n",
                 without.c_str());
  }
  const std::optional<Zone> zone = nearestZone(places);
  if (zone && timeOf(collection) != TimeReference::kUnknown) {
    std::fprintf(stderr,
                 "  time: the zone nearest the stations' mean longitude is UTC%+d, meridian %d%s\n",
                 zone->offsetH, zone->meridianDeg,
                 timeOf(collection) == TimeReference::kLocalDays
                     ? " (the dates are of local days: --time-shift 0)"
                     : " (the stamps are UTC)");
    if (zone->spanDeg > kZoneWidthDeg) {
      std::fprintf(stderr,
                   "warning: the stations span %.1f degrees of longitude, more than one zone's "
                   "width: one time shift and meridian serve them all\n",
                   zone->spanDeg);
    }
  }
}

void printCounts(const Collection& collection) {
  if (collection.counts.failedCheck > 0) {
    std::fprintf(stderr,
                 "  values flagged missing or failing a quality check, written -999: %llu\n",
                 static_cast<unsigned long long>(collection.counts.failedCheck));
  }
  if (collection.counts.suspect > 0) {
    std::fprintf(stderr, "  values flagged suspect, kept: %llu\n",
                 static_cast<unsigned long long>(collection.counts.suspect));
  }
  if (collection.counts.trace > 0) {
    std::fprintf(stderr, "  values \"less than 0.05 hours\" (-1), written as %g minutes: %llu\n",
                 collection.kind.source->traceMinutes,
                 static_cast<unsigned long long>(collection.counts.trace));
  }
}

}  // namespace

std::string kelvarinCommand(const Collection& collection, const Grid& grid,
                            const std::vector<std::optional<PlaceRow>>& places,
                            const Written& written) {
  // Daily output where whole days of steps make one: the grid covers whole days.
  const std::int64_t outputStep =
      kMinutesPerDay % grid.stepMin == 0 ? kMinutesPerDay : grid.stepMin;
  const std::string unit =
      collection.kind.unit ? std::to_string(collection.kind.unit->minutes) : std::string("UNIT");
  // The file marks every missing value -999; declared to kelvarin, it becomes -9999.000.
  const std::string options = "kelvarin" + placeAndTime(collection, places, written) +
                              " --missing -999 --input-step " + std::to_string(grid.stepMin) +
                              " --input-unit " + unit + " --output-step " +
                              std::to_string(outputStep);
  if (!written.splitDir.empty()) {
    return "for f in " + shellWord(written.splitDir) + "/*.txt; do " + options +
           " \"$f\" \"${f%.txt}.relative\"; done";
  }
  const std::string input = written.output.empty() ? "STATION_FILE" : shellWord(written.output);
  return options + " " + input + " relative.txt";
}

namespace {

// Says how many values lie beyond the step's own minutes, or below 0: sunshine cannot, and a file
// holding them has another unit or a marker the layout does not know.
void printValueRange(const Collection& collection, const Grid& grid, const Written& written) {
  if (!collection.kind.unit) {
    return;
  }
  std::uint64_t above = 0;
  std::uint64_t negative = 0;
  std::uint64_t firstAbove = 0;
  std::uint64_t firstNegative = 0;
  for (const ValueTally& tally : written.tallies) {
    if (tally.above > 0 && above == 0) {
      firstAbove = tally.firstAbove;
    }
    if (tally.negative > 0 && negative == 0) {
      firstNegative = tally.firstNegative;
    }
    above += tally.above;
    negative += tally.negative;
  }
  if (above > 0) {
    std::fprintf(stderr, "  values above the %lld minutes of a step: %llu (the first: %s)\n",
                 static_cast<long long>(grid.stepMin), static_cast<unsigned long long>(above),
                 placeOf(collection, firstAbove).c_str());
  }
  if (negative > 0) {
    std::fprintf(stderr, "  negative values: %llu (the first: %s)\n",
                 static_cast<unsigned long long>(negative),
                 placeOf(collection, firstNegative).c_str());
  }
}

// Says, where `count` stamps of `files` had different values, which value was kept and the first.
void printOverruled(const char* files, std::uint64_t count, const char* kept,
                    const std::string& first) {
  if (count == 0) {
    return;
  }
  const char* plural = count == 1 ? "" : "s";
  std::fprintf(stderr, "  %s overlap with different values at %llu stamp%s, %s%s kept; first: %s\n",
               files, static_cast<unsigned long long>(count), plural, kept, plural, first.c_str());
}

// Says per station how many values are missing, names the stations without a single value (a
// station that stopped measuring sunshine may still deliver rows), and the files whose last line
// has no line break.
void printMissing(const Collection& collection, const StationNumbers& numbers,
                  const Written& written) {
  std::string missingText;
  std::string empty;
  for (std::size_t s = 0; s < collection.stations.size(); ++s) {
    missingText += (s == 0 ? "" : ", ") + numbers.numbers[s] + ": " +
                   std::to_string(written.tallies[s].missing);
    if (!written.tallies[s].anyValue) {
      empty += (empty.empty() ? "" : ", ") + numbers.numbers[s];
    }
  }
  std::fprintf(stderr, "  values missing per station: %s\n", missingText.c_str());
  if (!empty.empty()) {
    std::fprintf(stderr, "  stations without a single value, every one missing: %s\n",
                 empty.c_str());
  }
  if (!collection.inputs.withoutValues.empty()) {
    std::fprintf(stderr,
                 "  tables without a single sunshine value, their stations in no column: %s\n",
                 joined(collection.inputs.withoutValues).c_str());
  }
  printOverruled("historical and recent files", collection.counts.recentOverruled,
                 "the historical (quality-checked) value", collection.counts.firstOverruled);
  printOverruled("two downloads of one part of the archive (historical or recent)",
                 collection.counts.olderOverruled, "the newer download's value",
                 collection.counts.firstOlderOverruled);
  for (const std::string& line : collection.inputs.unended) {
    std::fprintf(stderr,
                 "  the last line has no line break: %s; if the file was cut short, its last "
                 "value may be a part of one\n",
                 line.c_str());
  }
}

// Says what to put for SHIFT and MERIDIAN where the command holds them.
void printClockHelp(const Collection& collection, const std::string& command) {
  if (command.find(" --time-shift SHIFT") == std::string::npos) {
    return;
  }
  const TimeReference time = timeOf(collection);
  if (time == TimeReference::kUnknown) {
    std::fprintf(stderr,
                 "  time: the clock of the stamps is not known: replace SHIFT by the hours that "
                 "make a stamp local time and MERIDIAN by the meridian of that time (1 and 15 "
                 "for UTC stamps in central Europe)\n");
  } else if (time == TimeReference::kLocalDays) {
    std::fprintf(stderr,
                 "  time: the dates are local days, and without the stations' places their zone "
                 "is not known: replace SHIFT by 0 and MERIDIAN by the meridian of that local "
                 "time (15 in central Europe)\n");
  } else {
    std::fprintf(stderr,
                 "  time: the stamps are UTC, and without the stations' places the zone is not "
                 "known: replace SHIFT by the hours from UTC to local time and MERIDIAN by the "
                 "meridian of that time (1 and 15 in central Europe)\n");
  }
}

}  // namespace

namespace {

// Says how many values cover an interval that ends before their stamp, which the station file
// cannot show (its stamps are those of the grid), and the time shift that places them.
void printEarlyWindow(const Collection& collection,
                      const std::vector<std::optional<PlaceRow>>& places, const Written& written) {
  const SourceLayout* source = collection.kind.source;
  if (source == nullptr || source->earlyWindowSlipMin == 0) {
    return;
  }
  std::uint64_t early = 0;
  std::optional<std::int64_t> first;
  for (const ValueTally& tally : written.tallies) {
    if (tally.early > 0) {
      first = std::min(first.value_or(tally.firstEarly), tally.firstEarly);
    }
    early += tally.early;
  }
  if (early == 0) {
    return;
  }
  const std::optional<int> shift = commandShiftH(collection, places);
  const double slipH = source->earlyWindowSlipMin / 60.0;
  char placed[160];
  if (shift) {
    std::snprintf(placed, sizeof placed, "--time-shift %.4f instead of %d places them",
                  *shift - slipH, *shift);
  } else {
    std::snprintf(placed, sizeof placed, "a --time-shift %.4f hours less places them", slipH);
  }
  std::fprintf(stderr,
               "  %llu values stamped up to %s (the first %s) end %d minutes before their stamp "
               "(%s): they are written at their stamps; %s, in a run of those values alone "
               "(prepare the files up to then apart)\n",
               static_cast<unsigned long long>(early),
               describeMinutes(source->earlyWindowUntilMin).c_str(),
               describeMinutes(*first).c_str(), source->earlyWindowSlipMin,
               std::string(source->earlyWindowNote).c_str(), placed);
}

}  // namespace

void printSummary(const Collection& collection, const Grid& grid, const StationNumbers& numbers,
                  const std::vector<std::optional<PlaceRow>>& places, const Written& written,
                  const std::vector<std::string>& strays) {
  std::fprintf(stderr, "kelvarin-prepare: %zu %s from %zu %s (%s)\n", collection.stations.size(),
               collection.stations.size() == 1 ? "station" : "stations",
               collection.inputs.names.size(),
               collection.inputs.names.size() == 1 ? "file" : "files",
               collection.kind.source != nullptr ? std::string(collection.kind.source->name).c_str()
                                                 : "columns of the options");
  if (written.splitDir.empty()) {
    std::fprintf(stderr, "  merged into one station file, one column per station\n");
  } else {
    std::fprintf(stderr, "  split into %s/STATION.txt, one file per station\n",
                 fileName(written.splitDir).c_str());
  }
  std::fprintf(stderr, "  stamps %s to %s, step %lld min, %llu records (%s)\n",
               describeMinutes(grid.firstMin).c_str(), describeMinutes(grid.lastMin).c_str(),
               static_cast<long long>(grid.stepMin),
               static_cast<unsigned long long>(grid.records()),
               kMinutesPerDay % grid.stepMin != 0
                   ? "from the first stamp to the last: a step that does not divide a day fills "
                     "no days"
               : grid.dayStartMin == 0 ? "whole days"
                                       : ("whole days of UTC" + signedHours(grid.dayStartMin) +
                                          ", the days of the command's --time-shift")
                                             .c_str());
  for (const std::string& stray : strays) {
    std::fprintf(stderr, "  a stamp far from the rest of its station stretches the grid: %s\n",
                 stray.c_str());
  }
  printMissing(collection, numbers, written);
  printCounts(collection);
  printPlaces(collection, places, numbers, written);
  if (!collection.unreadablePlaces.empty()) {
    std::fprintf(stderr,
                 "  rows of station lists passed over, unreadable but of no station the data hold: "
                 "%zu (the first: %s)\n",
                 collection.unreadablePlaces.size(),
                 collection.unreadablePlaces.front().message.c_str());
  }
  if (!collection.kind.unit) {
    std::fprintf(stderr,
                 "  the unit of the values is not known: give --unit, or replace UNIT "
                 "by the minutes per unit (1 for minutes, 60 for hours)\n");
  }
  printValueRange(collection, grid, written);
  printEarlyWindow(collection, places, written);
  const std::string command = kelvarinCommand(collection, grid, places, written);
  printClockHelp(collection, command);
  std::fprintf(stderr, "%s\n", command.c_str());
}

}  // namespace kelvarin::prepare
