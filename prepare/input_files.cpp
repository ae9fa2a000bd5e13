#include "input_files.hpp"

#include <sys/stat.h>  // stat: which file an output would overwrite

#include <algorithm>   // std::all_of
#include <filesystem>  // weakly_canonical: the file a path names, links followed

#include "tables.hpp"     // Collection
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
      std::all_of(stem.end() - 4, stem.end(), [](char c) { return c >= '0' && c <= '9'; })) {
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

std::string placeOf(const Collection& collection, std::uint64_t line) {
  // The last file whose lines begin before this one holds it.
  const auto after = std::upper_bound(collection.inputs.linesBefore.begin(),
                                      collection.inputs.linesBefore.end(), line - 1);
  const auto file = static_cast<std::size_t>(after - collection.inputs.linesBefore.begin()) - 1;
  return collection.inputs.names[file] + ": line " +
         std::to_string(line - collection.inputs.linesBefore[file]);
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
