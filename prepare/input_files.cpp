#include "input_files.hpp"

#include <sys/stat.h>  // fstat, stat: which file an output would overwrite, and a file unchanged

#include <algorithm>   // std::upper_bound
#include <charconv>    // std::from_chars
#include <filesystem>  // weakly_canonical: the file a path names, links followed

#include "tables.hpp"     // Collection
#include "text.hpp"       // allDigits
#include "text_rows.hpp"  // escapeControls

namespace kelvarin::prepare {

// The name of a file without its folders and extensions: a one-station file's station.
bool sameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  const std::filesystem::path first = std::filesystem::weakly_canonical(a, error);
  if (error) {
    return a == b;
  }
  const std::filesystem::path second = std::filesystem::weakly_canonical(b, error);
  return error ? a == b : first == second;
}

std::string withoutYear(const std::string& stem) {
  const std::size_t n = stem.size();
  if (n > 5 && (stem[n - 5] == '-' || stem[n - 5] == '_') &&
      allDigits(std::string_view(stem).substr(n - 4))) {
    return stem.substr(0, n - 5);
  }
  return stem;
}

std::string stemOf(const std::string& name) {
  std::string stem = name.substr(name.find_last_of('/') + 1);
  for (const char* extension : {".gz", ".csv", ".txt", ".dly"}) {
    const std::string_view ending(extension);
    if (stem.size() > ending.size() && stem.ends_with(ending)) {
      stem.resize(stem.size() - ending.size());
    }
  }
  return stem;
}

std::size_t fileOf(const Collection& collection, std::uint64_t line) {
  // The last file whose lines begin before this one holds it.
  const auto after = std::upper_bound(collection.inputs.linesBefore.begin(),
                                      collection.inputs.linesBefore.end(), line - 1);
  return static_cast<std::size_t>(after - collection.inputs.linesBefore.begin()) - 1;
}

std::optional<std::int64_t> periodEndOf(const std::string& name) {
  // "produkt_sd_stunde_19510101_20231231_00433": the second of the two dates before the station.
  const std::string stem = stemOf(name);
  const std::size_t station = stem.rfind('_');
  if (station == std::string::npos || station < 18) {
    return std::nullopt;
  }
  const std::string_view to = std::string_view(stem).substr(station - 8, 8);
  const std::string_view from = std::string_view(stem).substr(station - 17, 8);
  if (stem[station - 9] != '_' || stem[station - 18] != '_' || !allDigits(to) || !allDigits(from)) {
    return std::nullopt;
  }
  std::int64_t end = 0;
  std::from_chars(to.data(), to.data() + to.size(), end);
  return end;
}

ArchivePart archivePartOf(std::string_view path, std::optional<std::int64_t> periodEnd) {
  if (!periodEnd) {
    return ArchivePart::kNone;
  }
  const std::string folded = foldCase(path);
  const bool saysHistorical =
      folded.find("historical") != std::string::npos || folded.find("_hist") != std::string::npos;
  const bool saysRecent =
      folded.find("recent") != std::string::npos || folded.find("_akt") != std::string::npos;
  if (saysHistorical != saysRecent) {
    return saysHistorical ? ArchivePart::kHistorical : ArchivePart::kRecent;
  }
  constexpr std::int64_t kLastDayOfYear = 1231;  // MMDD of a period's end
  return *periodEnd % 10000 == kLastDayOfYear ? ArchivePart::kHistorical : ArchivePart::kRecent;
}

std::string placeOf(const Collection& collection, std::uint64_t line) {
  const std::size_t file = fileOf(collection, line);
  return collection.inputs.names[file] + ": line " +
         std::to_string(line - collection.inputs.linesBefore[file]);
}

std::optional<InputIdentity> identityOf(int descriptor, const std::string& name) {
  struct stat status {};
  if (fstat(descriptor, &status) != 0) {
    return std::nullopt;
  }
  return InputIdentity{static_cast<std::uint64_t>(status.st_dev),
                       static_cast<std::uint64_t>(status.st_ino),
                       name,
                       static_cast<std::uint64_t>(status.st_size),
                       std::int64_t{status.st_mtim.tv_sec} * 1000000000 + status.st_mtim.tv_nsec,
                       S_ISREG(status.st_mode),
                       S_ISDIR(status.st_mode)};
}

bool unchanged(const InputIdentity& identity, int descriptor) {
  const std::optional<InputIdentity> now = identityOf(descriptor, identity.name);
  return now && now->device == identity.device && now->inode == identity.inode &&
         now->size == identity.size && now->modified == identity.modified;
}

std::optional<std::string> inputAt(const Collection& collection, const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) {
    return std::nullopt;
  }
  for (const InputIdentity& input : collection.inputs.identities) {
    if (input.device == static_cast<std::uint64_t>(status.st_dev) &&
        input.inode == static_cast<std::uint64_t>(status.st_ino)) {
      return input.name;
    }
  }
  return std::nullopt;
}

std::string fileName(std::string_view path) {
  return escapeControls(path);
}

}  // namespace kelvarin::prepare
