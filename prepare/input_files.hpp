// The files a run reads: which file each is, whatever path or link names it (an output must never
// overwrite one), and where a line counted over all of them lies.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvarin::prepare {

struct Collection;

/// Which file an input is, whatever path or link names it.
struct InputIdentity {
  std::uint64_t device;
  std::uint64_t inode;
  std::string name;
  std::uint64_t size = 0;     // bytes
  std::int64_t modified = 0;  // nanoseconds since 1970
  bool regular = false;       // a file, which can be read again
  bool folder = false;
};

/// Returns which file the open `descriptor` is, named `name`; nothing where the system cannot
/// tell.
std::optional<InputIdentity> identityOf(int descriptor, const std::string& name);

/// Returns true when `descriptor` is the file `identity` names, unchanged since.
bool unchanged(const InputIdentity& identity, int descriptor);

/// The part of an archive that keeps its checked values apart from the unchecked, recent ones
/// (the German weather service's "historical" and "recent" folders) that a file comes from.
enum class ArchivePart : unsigned char { kNone, kHistorical, kRecent };

/// The files read, in order, for messages and the outputs to avoid.
struct InputFiles {
  std::vector<std::string> names;
  std::vector<std::uint64_t> linesBefore;  // per file: the lines of the files read before it
  std::vector<std::optional<std::int64_t>> periodEnds;  // per file: periodEndOf its name
  std::vector<std::string> paths;                       // per file: as given, to read it again
  std::vector<InputIdentity> tableFiles;  // per file: which file it is, to read again the same
  std::uint64_t lines = 0;                // lines of all files read so far
  std::vector<InputIdentity> identities;  // of the files read, for the outputs to avoid
  std::vector<std::string> unended;       // "FILE: line N": a last line without a line break
  // Tables of values that gave no value at all (every row another element, or none): their
  // stations are in no column, which the summary must say.
  std::vector<std::string> withoutValues;
};

/// Returns "FILE: line N" for a line counted over all tables, as a series keeps its lines.
std::string placeOf(const Collection& collection, std::uint64_t line);

/// Returns the index in `collection.inputs.names` of the file that holds a line counted over all
/// tables.
std::size_t fileOf(const Collection& collection, std::uint64_t line);

/// Returns the end of the period a file's name states, YYYYMMDD as a number, for names of the
/// form "..._FROM_TO_STATION" ("produkt_sd_stunde_19510101_20231231_00433.txt"); nothing for
/// other names.
std::optional<std::int64_t> periodEndOf(const std::string& name);

/// Returns the part of the archive a file named after its period comes from: the one its path
/// names ("historical" or "recent" in a folder, "_hist" or "_akt" of the download it was
/// unpacked from), or else the one its period says: the historical part ends on the last day of
/// a year, the recent one on the day before its download. kNone for a file without a period.
ArchivePart archivePartOf(std::string_view path, std::optional<std::int64_t> periodEnd);

/// Returns the input table that `path` names (the same file, through any link), or nothing:
/// an output there would destroy it.
std::optional<std::string> inputAt(const Collection& collection, const std::string& path);

/// Returns true when the paths `a` and `b` name one file, whether or not it exists yet: two
/// outputs there would overwrite each other.
bool sameFile(const std::string& a, const std::string& b);

/// The name of a file without its folders and extensions: a one-station file's station.
std::string stemOf(const std::string& name);

/// Returns a file's stem without a year the download or the user added to it: "10637-2024" and
/// "10637_2024" are station 10637; a stem of digits alone is kept.
std::string withoutYear(const std::string& stem);

/// Returns a file name as messages and header lines show it: control bytes escaped.
std::string fileName(std::string_view path);

}  // namespace kelvarin::prepare
