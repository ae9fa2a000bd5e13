#include "result_writer.hpp"

#include <unistd.h>  // close

#include <cstdio>  // fdopen

#include "csv_writer.hpp"

namespace kelvarin {

std::optional<OutputLayout> layoutNamed(std::string_view word) {
  for (const OutputLayout& layout : kOutputLayouts) {
    if (layout.word == word) {
      return layout;
    }
  }
  return std::nullopt;
}

const OutputLayout& layoutOf(OutputFormat format) {
  for (const OutputLayout& layout : kOutputLayouts) {
    if (layout.format == format) {
      return layout;
    }
  }
  return kOutputLayouts[0];
}

std::unique_ptr<StepReporter> makeResultWriter(OutputFormat format, int fd, const std::string& path,
                                               NetcdfRun run) {
  switch (format) {
    case OutputFormat::kCsv: {
      std::FILE* file = fdopen(fd, "w");
      if (file == nullptr) {
        close(fd);
        return nullptr;
      }
      return std::make_unique<CsvWriter>(file);
    }
    case OutputFormat::kNetcdf:
      close(fd);  // the NetCDF library creates the file anew under its name
      return std::make_unique<NetcdfWriter>(path, std::move(run));
    case OutputFormat::kTable:
      break;
  }
  close(fd);
  return nullptr;
}

}  // namespace kelvarin
