// The values of an archive too large to hold, read again from its tables as the station file is
// written: each stream of rows (Collection::streams) through a cursor of its own, a row's value
// found by the line the series keeps for its stamp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "station_file.hpp"
#include "tables.hpp"

namespace kelvarin::prepare {

/// The values of the series of `collection` beyond the ones held, read again from the tables. Rows
/// of one stamp are merged as makeGrid merges them where the values are held: equal values once,
/// different ones by the archive's rule (settleTwo), refused where it has none.
class RereadValues final : public StationValues {
 public:
  /// Reads the values of the stations `wanted` (indices into the collection) only.
  RereadValues(const Collection& collection, const std::vector<std::size_t>& wanted, bool strict);
  ~RereadValues() override;
  bool at(std::size_t s, std::int64_t time, double& value, std::uint64_t& line) override;
  void ahead(std::int64_t last) override;
  void countOverruled(ValueCounts& counts) const override;

 private:
  struct Reader;
  // A station's values of the block at hand (ahead), in time order, and the next to give.
  struct Ready {
    std::int64_t time;
    double value;
    std::uint64_t line;
  };
  struct Block {
    std::vector<Ready> values;
    std::size_t given = 0;
  };
  bool merged(std::size_t s, std::int64_t time, double& value, std::uint64_t& line);
  bool fetch(std::uint64_t line, double& value);
  bool valueOf(const Series& series, std::size_t i, std::uint64_t line, double& value);
  Reader* readerOf(std::size_t stream);
  int descriptorOf(std::uint32_t file);
  void release(std::size_t stream);
  void fail(std::string message);

  const Collection& collection_;
  bool strict_;
  std::vector<SeriesCursor> cursors_;
  std::vector<char> wanted_;  // per station
  std::vector<std::size_t> which_;
  std::vector<Block> blocks_;  // per station
  // Per station: the first line whose value is read again; the values of rows before are held.
  std::vector<std::uint64_t> firstRead_;
  std::vector<Overruled> overruled_;              // per station
  std::vector<std::unique_ptr<Reader>> readers_;  // per stream, while it is read
  // Per table file, while a stream of it is read: its descriptor (-1: closed), the streams
  // reading it, and when it was last read. At most `mostOpen_` are open: beyond, the one read
  // longest ago is closed, and opened again when its turn comes.
  std::vector<int> descriptors_;
  std::vector<std::size_t> users_;
  std::vector<std::uint64_t> lastRead_;
  std::uint64_t reads_ = 0;
  std::size_t open_ = 0;
  std::size_t mostOpen_;
};

/// The files read again that may be open at once, and as many station files written side by
/// side: each half of what the system allows.
std::size_t filesOpenAtOnce();

}  // namespace kelvarin::prepare
