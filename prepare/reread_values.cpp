#include "reread_values.hpp"

#include <fcntl.h>         // open
#include <sys/resource.h>  // getrlimit: the files open at once
#include <unistd.h>        // close

#include <algorithm>  // std::upper_bound, std::lower_bound
#include <cerrno>
#include <cmath>    // std::isnan
#include <cstring>  // std::strerror
#include <limits>

#include "station_number.hpp"  // stationKey
#include "table_fields.hpp"    // readValue, interpret
#include "table_state.hpp"
#include "text_rows.hpp"

namespace kelvarin::prepare {

std::size_t filesOpenAtOnce() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
    return 512;
  }
  return std::max<std::size_t>(16, static_cast<std::size_t>(limit.rlim_cur) / 2 - 32);
}

namespace {

// A cursor's chunk: 64 KiB where few streams are read side by side, less where many are, so that
// all of them take some 64 MiB at most (4 KiB each beyond 16,384 streams).
std::size_t chunkBytes(std::size_t streams) {
  return std::clamp<std::size_t>((std::size_t{64} << 20) / std::max<std::size_t>(streams, 1),
                                 std::size_t{4} << 10, std::size_t{64} << 10);
}

}  // namespace

// One stream being read: its table's layout and cursor, and the values of rows passed on the
// way to a later one, until their stations ask for them. The stamps of a stream never fall back
// beyond its window, so those are rows of a few days at most.
struct RereadValues::Reader {
  struct Passed {
    std::uint64_t line;
    double value;
    bool taken;
  };
  TableState table;
  std::uint64_t linesBefore = 0;  // of the tables before its own
  std::deque<Passed> passed;
  std::optional<std::size_t> station;  // of the row before, where the stream holds many stations
  ValueCounts counts;                  // counted once, when the table was first read
};

RereadValues::RereadValues(const Collection& collection, const std::vector<std::size_t>& wanted,
                           bool strict)
    : collection_(collection),
      strict_(strict),
      wanted_(collection.stations.size(), 0),
      overruled_(collection.stations.size()),
      readers_(collection.streams.size()),
      descriptors_(collection.inputs.names.size(), -1),
      users_(collection.inputs.names.size(), 0),
      lastRead_(collection.inputs.names.size(), 0),
      mostOpen_(filesOpenAtOnce()) {
  cursors_.reserve(collection.stations.size());
  for (const Series& series : collection.stations) {
    cursors_.emplace_back(series);
  }
  for (const std::size_t s : wanted) {
    wanted_[s] = 1;
  }
  which_ = wanted;
  blocks_.resize(collection.stations.size());
  // A series holds the values of its first rows, in the order read, which is its time order.
  firstRead_.reserve(collection.stations.size());
  for (const Series& series : collection.stations) {
    const std::size_t held = series.values.size();
    firstRead_.push_back(held == series.size() ? std::numeric_limits<std::uint64_t>::max()
                         : held == 0           ? 0
                                               : series.lineOf(held));
  }
}

RereadValues::~RereadValues() {
  for (const int descriptor : descriptors_) {
    if (descriptor >= 0) {
      ::close(descriptor);
    }
  }
}

void RereadValues::fail(std::string message) {
  if (!refusal) {
    refusal = Refusal{kStatusRefused, std::move(message)};
  }
}

int RereadValues::descriptorOf(std::uint32_t file) {
  lastRead_[file] = ++reads_;
  if (descriptors_[file] >= 0) {
    return descriptors_[file];
  }
  if (open_ >= mostOpen_) {
    std::size_t oldest = descriptors_.size();
    for (std::size_t f = 0; f < descriptors_.size(); ++f) {
      if (descriptors_[f] >= 0 &&
          (oldest == descriptors_.size() || lastRead_[f] < lastRead_[oldest])) {
        oldest = f;
      }
    }
    ::close(descriptors_[oldest]);
    descriptors_[oldest] = -1;
    --open_;
  }
  const std::string& name = collection_.inputs.names[file];
  const int descriptor = ::open(collection_.inputs.paths[file].c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) {
    fail(name + ": cannot be opened again to read its values: " + std::strerror(errno));
    return -1;
  }
  // Its lines are known by number: another file, or this one changed, would give other values.
  if (!unchanged(collection_.inputs.tableFiles[file], descriptor)) {
    ::close(descriptor);
    fail(name + ": changed while it was read; nothing of it was written, run again");
    return -1;
  }
  descriptors_[file] = descriptor;
  ++open_;
  return descriptor;
}

RereadValues::Reader* RereadValues::readerOf(std::size_t stream) {
  if (readers_[stream]) {
    return readers_[stream].get();
  }
  const Stream& from = collection_.streams[stream];
  ++users_[from.file];
  auto reader = std::make_unique<Reader>();
  reader->table = *collection_.tables[from.file];
  reader->linesBefore = collection_.inputs.linesBefore[from.file];
  RowReader& rows = reader->table.reader;
  rows.descriptor = [this, file = from.file]() { return descriptorOf(file); };
  rows.chunk = std::vector<char>(
      chunkBytes(collection_.streams.size()));  // not the 64 KiB of the first reading
  resumeAt(rows, from.offset, from.line - reader->linesBefore);
  readers_[stream] = std::move(reader);
  return readers_[stream].get();
}

void RereadValues::release(std::size_t stream) {
  const std::uint32_t file = collection_.streams[stream].file;
  readers_[stream].reset();
  if (--users_[file] == 0 && descriptors_[file] >= 0) {
    ::close(descriptors_[file]);
    descriptors_[file] = -1;
    --open_;
  }
}

namespace {

// What a row read again gives: a value of one of the stations asked for, or none.
enum class RowValue { kValue, kNone, kChanged };

// Finds the fields up to `last` of a row without quotes, as splitRow finds them: each cut at
// its separator and trimmed. The row was read whole the first time: only its fields are needed.
void fieldsUpTo(std::string_view row, char separator, std::size_t last,
                std::vector<std::string_view>& fields) {
  fields.clear();
  const char* at = row.data();
  const char* const end = row.data() + row.size();
  while (fields.size() <= last) {
    const char* next = at;
    while (next != end && *next != separator) {
      ++next;
    }
    const char* first = at;
    const char* stop = next;
    while (first != stop && isBlank(*first, separator)) {
      ++first;
    }
    while (stop != first && isBlank(stop[-1], separator)) {
      --stop;
    }
    fields.emplace_back(first, static_cast<std::size_t>(stop - first));
    if (next == end) {
      break;
    }
    at = next + 1;
  }
}

// Reads the value of a row again, as the table's first reading read it (its stamp is known by
// its line); `station` gets its station where the stream holds many.
RowValue valueOfRow(TableState& table, bool manyStations, const Collection& collection,
                    ValueCounts& counts, std::optional<std::size_t>& station, double& value) {
  const Columns& columns = table.columns;
  if (allBlank(table.row)) {
    return RowValue::kNone;
  }
  std::size_t last = *columns.value;
  for (const std::optional<std::size_t>& column :
       {columns.flag, columns.element, manyStations ? columns.station : std::nullopt}) {
    last = std::max(last, column.value_or(0));
  }
  std::vector<std::string_view>& fields = table.fields.views;
  if (table.row.find('"') == std::string_view::npos) {
    fieldsUpTo(table.row, table.separator, last, fields);
  } else {
    const FieldStatus split = splitRow(table.row, table.separator, table.fieldCount, table.fields);
    if (split != FieldStatus::kFields && split != FieldStatus::kTooMany) {
      return RowValue::kChanged;
    }
  }
  if (fields.size() <= last) {
    return RowValue::kChanged;
  }
  if (columns.element && fields[*columns.element] != columns.source->wantedElement) {
    return RowValue::kNone;
  }
  if (manyStations) {
    const std::string_view text =
        columns.station ? fields[*columns.station] : std::string_view(table.stem);
    if (!station || text != table.lastStation) {
      const auto found = collection.index.find(stationKey(text));
      if (found == collection.index.end()) {
        return RowValue::kChanged;
      }
      table.lastStation.assign(text);
      station = found->second;
    }
  }
  double read = 0.0;
  if (!readValue(fields[*columns.value], columns, read)) {
    return RowValue::kChanged;
  }
  const std::string_view flag = columns.flag ? fields[*columns.flag] : std::string_view();
  value = interpret(read, flag, columns, counts);
  return RowValue::kValue;
}

}  // namespace

bool RereadValues::fetch(std::uint64_t line, double& value) {
  const std::vector<Stream>& streams = collection_.streams;
  const auto after = std::upper_bound(
      streams.begin(), streams.end(), line,
      [](std::uint64_t wanted, const Stream& stream) { return wanted < stream.line; });
  const auto stream = static_cast<std::size_t>(after - streams.begin()) - 1;
  Reader* reader = readerOf(stream);
  if (reader == nullptr) {
    return false;
  }
  const std::uint64_t lastLine = streams[stream].lastLine;
  std::deque<Reader::Passed>& passed = reader->passed;
  const auto done = [&]() {
    while (!passed.empty() && passed.front().taken) {
      passed.pop_front();
    }
    if (passed.empty() && reader->linesBefore + reader->table.reader.line >= lastLine) {
      release(stream);
    }
    return true;
  };
  if (!passed.empty() && line <= passed.back().line) {
    const auto at = std::lower_bound(
        passed.begin(), passed.end(), line,
        [](const Reader::Passed& row, std::uint64_t wanted) { return row.line < wanted; });
    if (at == passed.end() || at->line != line || at->taken) {
      fail(reader->table.name + ": changed while it was read; run again");
      return false;
    }
    value = at->value;
    at->taken = true;
    return done();
  }
  TableState& table = reader->table;
  const bool many = streams[stream].station == kManyStations;
  for (;;) {
    const RowStatus status = nextRow(table.reader);
    table.row = table.reader.row;
    table.line = table.reader.line;
    const std::uint64_t at = reader->linesBefore + table.line;
    if (status != RowStatus::kRow || at > line) {
      fail(table.name + ": changed while it was read (line " + std::to_string(table.line) +
           "); run again");
      return false;
    }
    double read = 0.0;
    const RowValue row =
        valueOfRow(table, many, collection_, reader->counts, reader->station, read);
    if (row == RowValue::kChanged) {
      fail(table.name + ": line " + std::to_string(table.line) +
           ": changed while it was read; run again");
      return false;
    }
    if (row == RowValue::kNone) {
      continue;
    }
    if (at == line) {
      value = read;
      return done();
    }
    const std::size_t station = many ? *reader->station : streams[stream].station;
    if (wanted_[station] != 0 && at >= firstRead_[station]) {
      passed.push_back(Reader::Passed{at, read, false});
    }
  }
}

bool RereadValues::valueOf(const Series& series, std::size_t i, std::uint64_t line, double& value) {
  if (i < series.values.size()) {
    value = series.values[i];
    return true;
  }
  return fetch(line, value);
}

void RereadValues::ahead(std::int64_t last) {
  for (const std::size_t s : which_) {
    Block& block = blocks_[s];
    block.values.clear();
    block.given = 0;
    SeriesCursor& cursor = cursors_[s];
    while (!refusal && cursor.i < collection_.stations[s].size() && cursor.next <= last) {
      Ready ready{cursor.next, 0.0, 0};
      if (merged(s, cursor.next, ready.value, ready.line)) {
        block.values.push_back(ready);
      }
    }
  }
}

bool RereadValues::at(std::size_t s, std::int64_t time, double& value, std::uint64_t& line) {
  Block& block = blocks_[s];
  if (block.given >= block.values.size() || block.values[block.given].time != time) {
    return false;
  }
  value = block.values[block.given].value;
  line = block.values[block.given++].line;
  return true;
}

bool RereadValues::merged(std::size_t s, std::int64_t time, double& value, std::uint64_t& line) {
  SeriesCursor& cursor = cursors_[s];
  const Series& series = collection_.stations[s];
  if (refusal || cursor.i >= series.size() || cursor.next != time) {
    return false;
  }
  std::uint64_t keptLine = cursor.lines(cursor.i);
  double kept = 0.0;
  if (!valueOf(series, cursor.i, keptLine, kept)) {
    return false;
  }
  // Rows of a stamp given again, in the order read, merged as the held values are.
  for (++cursor.i; cursor.i < series.size(); ++cursor.i) {
    cursor.next = cursor.times(cursor.i);
    if (cursor.next != time) {
      break;
    }
    const std::uint64_t otherLine = cursor.lines(cursor.i);
    double other = 0.0;
    if (!valueOf(series, cursor.i, otherLine, other)) {
      return false;
    }
    if (sameValue(kept, other)) {
      continue;
    }
    const std::optional<bool> replaced = settleTwo(collection_, series, time, kept, keptLine, other,
                                                   otherLine, strict_, overruled_[s]);
    if (!replaced) {
      fail(twoValuesText(collection_, series, time, kept, keptLine, other, otherLine));
      return false;
    }
    if (*replaced) {
      kept = other;
      keptLine = otherLine;
    }
  }
  value = kept;
  line = keptLine;
  return true;
}

void RereadValues::countOverruled(ValueCounts& counts) const {
  for (const Overruled& counted : overruled_) {
    counted.addTo(counts);
  }
}

}  // namespace kelvarin::prepare
