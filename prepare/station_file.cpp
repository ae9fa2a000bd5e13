#include "station_file.hpp"

#include <algorithm>  // std::all_of, std::sort
#include <charconv>   // std::to_chars
#include <cmath>      // std::isnan
#include <numeric>    // std::iota
#include <unordered_map>

namespace kelvarin::prepare {

namespace {

constexpr char kMissingText[] = "-999";
constexpr std::int64_t kMinutesPerDay = 1440;

bool sameValue(double a, double b) {
  return a == b || (std::isnan(a) && std::isnan(b));
}

std::string joinPlaces(const std::vector<std::string>& places) {
  std::string text;
  for (const std::string& place : places) {
    text += (text.empty() ? "" : ", ") + place;
  }
  return text.empty() ? std::string("(not found again)") : text;
}

// Orders a station's values by time (tables are mostly in order already), keeping the order of
// rows with the same stamp.
void sortByTime(Series& series) {
  if (std::is_sorted(series.times.begin(), series.times.end())) {
    return;
  }
  std::vector<std::size_t> order(series.times.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&series](std::size_t a, std::size_t b) {
    return series.times[a] < series.times[b];
  });
  std::vector<std::int64_t> times(order.size());
  std::vector<double> values(order.size());
  for (std::size_t i = 0; i < order.size(); ++i) {
    times[i] = series.times[order[i]];
    values[i] = series.values[order[i]];
  }
  series.times = std::move(times);
  series.values = std::move(values);
}

// Merges rows repeated with the same stamp and value; returns the index of the first stamp held
// twice with two different values, or nothing.
std::optional<std::size_t> mergeRepeats(Series& series) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < series.times.size(); ++i) {
    if (kept > 0 && series.times[kept - 1] == series.times[i]) {
      if (!sameValue(series.values[kept - 1], series.values[i])) {
        return kept - 1;
      }
      continue;
    }
    series.times[kept] = series.times[i];
    series.values[kept] = series.values[i];
    ++kept;
  }
  series.times.resize(kept);
  series.values.resize(kept);
  return std::nullopt;
}

std::string valueText(double value) {
  if (std::isnan(value)) {
    return "missing";
  }
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  return std::string(text, end);
}

// Appends the record stamp "YYYY M D H" of the step ending at `minutes`.
void appendStamp(std::string& line, std::int64_t minutes) {
  const StationStamp stamp = stationStamp(minutes);
  line += std::to_string(stamp.year) + ' ' + std::to_string(stamp.month) + ' ' +
          std::to_string(stamp.day) + ' ';
  const std::int64_t hour = stamp.minuteOfDay / 60;
  const std::int64_t minute = stamp.minuteOfDay % 60;
  line += std::to_string(hour);
  if (minute != 0) {
    // Six decimals place a minute within a thousandth of a second: kelvarin reads the hour as a
    // float, which holds no more.
    char fraction[16];
    std::snprintf(fraction, sizeof fraction, "%.6f", static_cast<double>(minute) / 60.0);
    std::string digits(fraction + 1);  // ".166667"
    while (digits.back() == '0') {
      digits.pop_back();
    }
    line += digits;
  }
}

std::string describeLayout(const Collection& collection) {
  switch (collection.layout.value_or(Layout::kColumns)) {
    case Layout::kDwdHourly:
      return "hourly sunshine duration of the German weather service (SD_SO)";
    case Layout::kDwdDaily:
      return "daily sunshine duration of the German weather service (SDK)";
    case Layout::kColumns:
      break;
  }
  return collection.daily.value_or(false) ? "daily sunshine duration" : "sunshine duration";
}

std::string describeUnit(const Collection& collection) {
  switch (collection.layout.value_or(Layout::kColumns)) {
    case Layout::kDwdHourly:
      return "values in minutes, -999 = missing, time UTC, hour = end of interval";
    case Layout::kDwdDaily:
      return "values in hours, -999 = missing, dates of UTC days, each day stamped at hour 24";
    case Layout::kColumns:
      break;
  }
  return collection.daily.value_or(false)
             ? "values as in the tables, -999 = missing, each day stamped at hour 24"
             : "values as in the tables, -999 = missing, time as in the tables, hour = end of "
               "interval";
}

std::string headerLines(const Collection& collection, const std::vector<std::size_t>& which) {
  std::string files;
  if (collection.files.size() <= 3) {
    for (const std::string& file : collection.files) {
      files += (files.empty() ? "" : ", ") + file;
    }
  } else {
    files =
        std::to_string(collection.files.size()) + " files, the first " + collection.files.front();
  }
  const std::vector<std::string> numbers = stationNumbers(collection);
  const bool numbered = !stationsHaveNumbers(collection);
  std::string header = "Sunshine duration: " + describeLayout(collection) + " from " + files +
                       ", prepared by kelvarin-prepare\nYYYY MM DD H";
  for (const std::size_t s : which) {
    header += ' ' + numbers[s];
  }
  header += "\nStations:";
  for (const std::size_t s : which) {
    header +=
        (s == which.front() ? " " : ", ") +
        (numbered ? numbers[s] + " " + collection.stations[s].label : collection.stations[s].label);
  }
  header += '\n' + describeUnit(collection) + '\n' + std::string(64, '-') + '\n';
  return header;
}

}  // namespace

std::optional<std::int64_t> mostCommonStep(const Collection& collection) {
  std::unordered_map<std::int64_t, std::uint64_t> counts;
  // Runs of one step are the rule: counted by runs, a long file costs few look-ups in the map.
  std::int64_t runStep = 0;
  std::uint64_t runLength = 0;
  for (const Series& series : collection.stations) {
    for (std::size_t i = 1; i < series.times.size(); ++i) {
      const std::int64_t step = series.times[i] - series.times[i - 1];
      if (step != runStep) {
        if (runLength > 0) {
          counts[runStep] += runLength;
        }
        runStep = step;
        runLength = 0;
      }
      ++runLength;
    }
  }
  if (runLength > 0) {
    counts[runStep] += runLength;
  }
  std::optional<std::int64_t> best;
  std::uint64_t bestCount = 0;
  for (const auto& [step, count] : counts) {
    if (count > bestCount || (count == bestCount && step < *best)) {
      best = step;
      bestCount = count;
    }
  }
  return best;
}

std::optional<std::string> makeGrid(Collection& collection, const TableSettings& tables,
                                    const GridSettings& settings, Grid& grid) {
  if (collection.rows == 0) {
    return std::string("no data rows in the tables");
  }
  for (Series& series : collection.stations) {
    sortByTime(series);
    if (const std::optional<std::size_t> twice = mergeRepeats(series)) {
      const std::size_t i = *twice;
      // The second value is the next one of the same stamp, not yet merged away.
      double other = series.values[i];
      for (std::size_t j = i + 1; j < series.values.size(); ++j) {
        if (series.times[j] == series.times[i] && !sameValue(series.values[j], series.values[i])) {
          other = series.values[j];
          break;
        }
      }
      return "station " + series.label + " has two different values for " +
             describeMinutes(series.times[i]) + ": " + valueText(series.values[i]) + " and " +
             valueText(other) + " (" +
             joinPlaces(findRows(collection, tables, series.key, series.times[i])) + ")";
    }
  }
  std::optional<std::int64_t> step = settings.stepMin;
  if (!step) {
    step = mostCommonStep(collection);
  }
  if (!step && collection.daily.value_or(false)) {
    step = kMinutesPerDay;
  }
  if (!step) {
    return std::string("every station has a single time stamp: give the step with --step");
  }
  if (*step <= 0) {
    return std::string("the step must be a positive number of minutes");
  }
  const std::int64_t shift = settings.stampsMarkStart ? *step : 0;
  std::int64_t first = collection.stations.front().times.front();
  std::int64_t last = first;
  for (const Series& series : collection.stations) {
    first = std::min(first, series.times.front());
    last = std::max(last, series.times.back());
  }
  for (Series& series : collection.stations) {
    for (std::int64_t& time : series.times) {
      if ((time - first) % *step != 0) {
        return "station " + series.label + ": the stamp of " + describeMinutes(time) +
               " lies off the grid of " + std::to_string(*step) + "-minute steps from " +
               describeMinutes(first) + " (" +
               joinPlaces(findRows(collection, tables, series.key, time)) + ")";
      }
      time += shift;
    }
  }
  grid = Grid{first + shift, last + shift, *step};
  return std::nullopt;
}

bool stationsHaveNumbers(const Collection& collection) {
  return std::all_of(collection.stations.begin(), collection.stations.end(), [](const Series& s) {
    return !s.key.empty() && s.key.front() != '0' &&
           std::all_of(s.key.begin(), s.key.end(), [](char c) { return c >= '0' && c <= '9'; });
  });
}

std::vector<std::string> stationNumbers(const Collection& collection) {
  const bool allNumbers = stationsHaveNumbers(collection);
  std::vector<std::string> numbers;
  for (std::size_t i = 0; i < collection.stations.size(); ++i) {
    numbers.push_back(allNumbers ? collection.stations[i].key : std::to_string(i + 1));
  }
  return numbers;
}

bool writeStationFile(std::FILE* out, const Collection& collection,
                      const std::vector<std::size_t>& which, const Grid& grid,
                      std::vector<std::uint64_t>& missing) {
  const std::string header = headerLines(collection, which);
  if (std::fwrite(header.data(), 1, header.size(), out) != header.size()) {
    return false;
  }
  missing.assign(which.size(), 0);
  std::vector<std::size_t> cursor(which.size(), 0);
  std::string text;
  text.reserve(1 << 20);
  char number[32];
  for (std::int64_t time = grid.firstMin; time <= grid.lastMin; time += grid.stepMin) {
    appendStamp(text, time);
    for (std::size_t k = 0; k < which.size(); ++k) {
      const Series& series = collection.stations[which[k]];
      std::size_t& i = cursor[k];
      text += ' ';
      if (i < series.times.size() && series.times[i] == time && !std::isnan(series.values[i])) {
        text.append(number, std::to_chars(number, number + sizeof number, series.values[i]).ptr);
      } else {
        text += kMissingText;
        ++missing[k];
      }
      if (i < series.times.size() && series.times[i] == time) {
        ++i;
      }
    }
    text += '\n';
    if (text.size() >= (1 << 20) - 4096) {
      if (std::fwrite(text.data(), 1, text.size(), out) != text.size()) {
        return false;
      }
      text.clear();
    }
  }
  return std::fwrite(text.data(), 1, text.size(), out) == text.size() && std::fflush(out) == 0;
}

}  // namespace kelvarin::prepare
