// The table of known layouts against everything that must follow it: each layout's example and
// expected output, the station list it names, and the usage, README and manual page that list
// the layouts. A layout added to the table without them fails here.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "sources.hpp"
#include "station_lists.hpp"
#include "tables.hpp"

namespace kelvarin::prepare {
namespace {

namespace fs = std::filesystem;

const fs::path kSource = KELVARIN_SOURCE_DIR;

std::string fileText(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::set<std::string> layoutNames() {
  std::set<std::string> names;
  for (const SourceLayout& layout : knownLayouts()) {
    names.insert(std::string(layout.name));
  }
  return names;
}

// Where a layout's station comes from must agree with the fields that carry it.
TEST(KnownLayoutsTest, EveryLayoutSaysWhereItsStationComesFrom) {
  for (const SourceLayout& layout : knownLayouts()) {
    const bool column = layout.stationFrom == StationFrom::kColumn;
    EXPECT_EQ(layout.station.exists(), column) << layout.name;
    EXPECT_EQ(layout.stationFrom == StationFrom::kMonthLine, layout.shape == RowShape::kMonthLines)
        << layout.name;
  }
}

// Each layout's stamps are read as its documentation writes them, not guessed from a first row:
// a time column has its format, a date beside an hour column is a date alone, and an hour column
// says how it counts the hours.
TEST(KnownLayoutsTest, EveryLayoutSaysHowItsStampsAreWritten) {
  for (const SourceLayout& layout : knownLayouts()) {
    EXPECT_EQ(layout.stampFormat.has_value(), layout.date.exists()) << layout.name;
    EXPECT_EQ(layout.hourCount != HourCount::kAny, layout.hour.exists()) << layout.name;
    if (layout.stampFormat && (layout.hour.exists() || layout.month.exists())) {
      EXPECT_TRUE(isDateOnly(*layout.stampFormat)) << layout.name;
    }
  }
}

TEST(KnownLayoutsTest, EveryLayoutReadsItsOwnExample) {
  std::set<std::string> lists;
  for (const StationListLayout& list : knownStationLists()) {
    lists.insert(std::string(list.name));
  }
  for (const SourceLayout& layout : knownLayouts()) {
    SCOPED_TRACE(std::string(layout.name));
    EXPECT_EQ(lists.count(std::string(layout.stationList)), 1u) << layout.stationList;
    EXPECT_FALSE(layout.document.empty());
    const fs::path folder = kSource / "examples/archives" / layout.example;
    ASSERT_TRUE(fs::is_directory(folder)) << folder;
    EXPECT_TRUE(fs::is_regular_file(kSource / "tests/archives" /
                                    (std::string(layout.example) + ".expected")));
    std::vector<std::string> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
      files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    Collection collection;
    for (const std::string& file : files) {
      ASSERT_FALSE(readTableFile(file, TableSettings{}, collection).has_value()) << file;
    }
    ASSERT_NE(collection.kind.source, nullptr);
    EXPECT_EQ(collection.kind.source->name, layout.name);
    EXPECT_FALSE(collection.places.empty()) << "no station list among the example's files";
  }
}

TEST(KnownLayoutsTest, EveryExampleFolderIsALayouts) {
  std::set<std::string> examples;
  for (const SourceLayout& layout : knownLayouts()) {
    examples.insert(std::string(layout.example));
  }
  for (const fs::directory_entry& entry : fs::directory_iterator(kSource / "examples/archives")) {
    EXPECT_EQ(examples.count(entry.path().filename().string()), 1u) << entry.path();
  }
}

TEST(KnownLayoutsTest, TheReadmeTableListsEveryLayoutOnce) {
  // The rows of the table headed "| layout | recognised by |": its first field in backticks.
  std::istringstream readme(fileText(kSource / "README.md"));
  std::vector<std::string> rows;
  bool inside = false;
  for (std::string line; std::getline(readme, line);) {
    if (line.rfind("| layout | recognised by |", 0) == 0) {
      inside = true;
      continue;
    }
    if (inside && line.rfind("| `", 0) == 0) {
      rows.push_back(line.substr(3, line.find('`', 3) - 3));
    } else if (inside && line.rfind("|---", 0) != 0) {
      inside = false;
    }
  }
  std::sort(rows.begin(), rows.end());
  const std::set<std::string> names = layoutNames();
  EXPECT_EQ(rows, std::vector<std::string>(names.begin(), names.end()));
}

TEST(KnownLayoutsTest, TheManualPageDescribesEveryLayout) {
  // The entries of KNOWN LAYOUTS: ".B NAME" after ".TP", '-' written "\-".
  std::istringstream page(fileText(kSource / "doc/kelvarin-prepare.1"));
  std::vector<std::string> entries;
  bool inside = false;
  bool afterTp = false;
  for (std::string line; std::getline(page, line);) {
    if (line.rfind(".SH", 0) == 0) {
      inside = line == ".SH KNOWN LAYOUTS";
    } else if (inside && afterTp && line.rfind(".B ", 0) == 0) {
      std::string name = line.substr(3);
      for (std::size_t at; (at = name.find("\\-")) != std::string::npos;) {
        name.erase(at, 1);
      }
      entries.push_back(name);
    }
    afterTp = line == ".TP";
  }
  std::sort(entries.begin(), entries.end());
  const std::set<std::string> names = layoutNames();
  EXPECT_EQ(entries, std::vector<std::string>(names.begin(), names.end()));
}

}  // namespace
}  // namespace kelvarin::prepare
