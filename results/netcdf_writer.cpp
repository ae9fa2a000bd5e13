#include "netcdf_writer.hpp"

#include <algorithm>
#include <array>
#include <charconv>

#include "netcdf_library.hpp"
#include "result_text.hpp"
#include "step/results.hpp"  // kMissingValue

namespace kelvarin {

namespace {

int putText(const NetcdfLibrary* nc, int ncid, int var, const char* name, const std::string& text) {
  return nc->putTextAttribute(ncid, var, name, text.size(), text.c_str());
}

}  // namespace

NetcdfWriter::~NetcdfWriter() {
  if (ncid_ >= 0) {
    nc_->close(ncid_);
  }
}

bool NetcdfWriter::check(int status) {
  if (status != NC_NOERR) {
    failure_ = nc_->describe(status);
    return false;
  }
  return true;
}

bool NetcdfWriter::defineSeries(const std::array<int, 2>& series) {
  struct Series {
    const char* name;
    int* var;
    const char* units;
    const char* longName;
    const char* standardName;
  };
  const std::array<Series, 4> values{{
      {"relative_sunshine", &relative_, "1", "relative sunshine duration: sunshine over possible",
       nullptr},
      {"sunshine_duration", &sunshine_, "min", "sunshine duration of the step",
       "duration_of_sunshine"},
      {"possible_sunshine_duration", &possible_, "min",
       "sunshine duration the sun model allows in the step", nullptr},
      {"observed_share", &share_, "1", "share of the possible sunshine whose records are there",
       nullptr},
  }};
  const float fill = kNetcdfFill;
  for (const Series& s : values) {
    // Single precision: the results have three decimals and the minutes a few more, and a file
    // of many stations is half the size.
    if (!check(nc_->defineVariable(ncid_, s.name, NC_FLOAT, 2, series.data(), s.var)) ||
        !check(putText(nc_, ncid_, *s.var, "units", s.units)) ||
        !check(putText(nc_, ncid_, *s.var, "long_name", s.longName)) ||
        !check(putText(nc_, ncid_, *s.var, "coordinates", "time lat lon station_id")) ||
        !check(nc_->putFloatAttribute(ncid_, *s.var, "_FillValue", NC_FLOAT, 1, &fill)) ||
        (s.standardName != nullptr &&
         !check(putText(nc_, ncid_, *s.var, "standard_name", s.standardName)))) {
      return false;
    }
  }
  return true;
}

bool NetcdfWriter::defineVariables(std::size_t stations, std::size_t nameLength) {
  int station = 0, time = 0, nv = 0, strlen = 0;
  if (!check(nc_->defineDimension(ncid_, "station", stations, &station)) ||
      !check(nc_->defineDimension(ncid_, "time", NC_UNLIMITED, &time)) ||
      !check(nc_->defineDimension(ncid_, "nv", 2, &nv)) ||
      !check(nc_->defineDimension(ncid_, "name_strlen", nameLength, &strlen))) {
    return false;
  }
  const std::array<int, 2> timeBounds{time, nv};
  const std::array<int, 2> series{time, station};
  const std::array<int, 2> names{station, strlen};
  if (!check(nc_->defineVariable(ncid_, "time", NC_DOUBLE, 1, &time, &time_)) ||
      !check(nc_->defineVariable(ncid_, "time_bnds", NC_DOUBLE, 2, timeBounds.data(), &bounds_)) ||
      !check(nc_->defineVariable(ncid_, "station_id", NC_CHAR, 2, names.data(), &stationId_)) ||
      !check(nc_->defineVariable(ncid_, "lat", NC_DOUBLE, 1, &station, &lat_)) ||
      !check(nc_->defineVariable(ncid_, "lon", NC_DOUBLE, 1, &station, &lon_))) {
    return false;
  }
  if (!defineSeries(series)) {
    return false;
  }
  return check(putText(nc_, ncid_, time_, "standard_name", "time")) &&
         check(putText(nc_, ncid_, time_, "long_name", "end of the step")) &&
         check(putText(nc_, ncid_, time_, "units", "minutes since 1970-01-01 00:00:00")) &&
         check(putText(nc_, ncid_, time_, "calendar", "standard")) &&
         check(putText(nc_, ncid_, time_, "axis", "T")) &&
         check(putText(nc_, ncid_, time_, "bounds", "time_bnds")) &&
         check(putText(nc_, ncid_, time_, "comment", run_.timeComment)) &&
         check(putText(nc_, ncid_, stationId_, "cf_role", "timeseries_id")) &&
         check(putText(nc_, ncid_, stationId_, "long_name", "station number of the input file")) &&
         check(putText(nc_, ncid_, lat_, "standard_name", "latitude")) &&
         check(putText(nc_, ncid_, lat_, "units", "degrees_north")) &&
         check(putText(nc_, ncid_, lon_, "standard_name", "longitude")) &&
         check(putText(nc_, ncid_, lon_, "units", "degrees_east"));
}

bool NetcdfWriter::writeGlobals() {
  if (!check(putText(nc_, ncid_, NC_GLOBAL, "Conventions", "CF-1.8")) ||
      !check(putText(nc_, ncid_, NC_GLOBAL, "featureType", "timeSeries")) ||
      !check(putText(nc_, ncid_, NC_GLOBAL, "title", run_.title)) ||
      !check(putText(nc_, ncid_, NC_GLOBAL, "source", run_.source)) ||
      !check(putText(nc_, ncid_, NC_GLOBAL, "history", run_.history))) {
    return false;
  }
  for (const auto& [name, value] : run_.numbers) {
    if (!check(nc_->putDoubleAttribute(ncid_, NC_GLOBAL, name.c_str(), NC_DOUBLE, 1, &value))) {
      return false;
    }
  }
  for (const auto& [name, text] : run_.texts) {
    if (!check(putText(nc_, ncid_, NC_GLOBAL, name.c_str(), text))) {
      return false;
    }
  }
  return true;
}

bool NetcdfWriter::begin(const ReportColumns& columns) {
  if (columns.stations.empty()) {
    // A dimension of length 0 is the unlimited one in the classic formats, which the time axis
    // already is: no file can hold a station dimension of 0.
    failure_ =
        "no station columns: a NetCDF file cannot hold a station dimension of 0 (the table and "
        "csv layouts can)";
    return false;
  }
  nc_ = netcdfLibrary();
  if (nc_ == nullptr) {
    failure_ = "the NetCDF library (libnetcdf) could not be loaded";
    return false;
  }
  int previousFill = 0;
  // Every value of a record is written: no fill values first.
  // Large blocks: the records of every variable are written in one pass of the file, which the
  // library's 8 KiB default cut into many small writes.
  std::size_t blockSize = std::size_t{1} << 22;
  if (!check(nc_->create(path_.c_str(), NC_CLOBBER | NC_64BIT_OFFSET, 0, &blockSize, &ncid_)) ||
      !check(nc_->setFill(ncid_, NC_NOFILL, &previousFill))) {
    return false;
  }
  stations_ = columns.stations.size();
  std::size_t nameLength = 1;
  for (const std::string& s : columns.stations) {
    nameLength = std::max(nameLength, s.size());
  }
  if (!defineVariables(stations_, nameLength) || !writeGlobals()) {
    return false;
  }
  if (!check(nc_->endDefinitions(ncid_))) {
    return false;
  }
  std::vector<char> names(stations_ * nameLength, '\0');
  std::vector<double> lat(stations_), lon(stations_);
  for (std::size_t s = 0; s < stations_; ++s) {
    std::copy(columns.stations[s].begin(), columns.stations[s].end(),
              names.begin() + static_cast<std::ptrdiff_t>(s * nameLength));
    lat[s] = shortestDouble(columns.latitudeDeg[s]);
    lon[s] = shortestDouble(columns.longitudeDeg[s]);
  }
  constexpr std::size_t kBatchBytes = std::size_t{2} << 20;
  batch_ =
      std::clamp<std::size_t>(kBatchBytes / (std::max<std::size_t>(stations_, 1) * 16), 1, 1024);
  times_.resize(batch_);
  boundValues_.resize(2 * batch_);
  for (std::vector<float>& values : series_) {
    values.resize(batch_ * stations_);
  }
  return stations_ == 0 || (check(nc_->putText(ncid_, stationId_, names.data())) &&
                            check(nc_->putDoubles(ncid_, lat_, lat.data())) &&
                            check(nc_->putDoubles(ncid_, lon_, lon.data())));
}

bool NetcdfWriter::step(const StepReport& report) {
  times_[held_] = report.endMin;
  boundValues_[2 * held_] = report.startMin;
  boundValues_[2 * held_ + 1] = report.endMin;
  float* relative = &series_[0][held_ * stations_];
  float* sunshine = &series_[1][held_ * stations_];
  float* possible = &series_[2][held_ * stations_];
  float* share = &series_[3][held_ * stations_];
  for (std::size_t s = 0; s < stations_; ++s) {
    // The value as the table writes it, three decimals, read back: the same number in both.
    const double value = report.relative[s + 1];
    const bool missing = value == kMissingValue;
    relative[s] = missing ? kNetcdfFill : static_cast<float>(tableValue(resultText(value).view()));
    sunshine[s] = missing ? kNetcdfFill : static_cast<float>(report.sunshineMin[s + 1]);
    possible[s] = static_cast<float>(report.possibleMin[s + 1]);
    share[s] =
        static_cast<float>(observedShare(report.possibleMin[s + 1], report.missingMin[s + 1]));
  }
  ++held_;
  return held_ < batch_ || flush();
}

bool NetcdfWriter::flush() {
  if (held_ == 0) {
    return true;
  }
  const std::array<std::size_t, 2> at{steps_, 0};
  const std::array<std::size_t, 2> times{held_, 2};
  const std::array<std::size_t, 2> rows{held_, stations_};
  if (!check(nc_->putDoubleRange(ncid_, time_, at.data(), times.data(), times_.data())) ||
      !check(nc_->putDoubleRange(ncid_, bounds_, at.data(), times.data(), boundValues_.data()))) {
    return false;
  }
  const std::array<int, 4> vars{relative_, sunshine_, possible_, share_};
  for (std::size_t v = 0; v < vars.size() && stations_ > 0; ++v) {
    if (!check(nc_->putFloatRange(ncid_, vars[v], at.data(), rows.data(), series_[v].data()))) {
      return false;
    }
  }
  steps_ += held_;
  held_ = 0;
  return true;
}

bool NetcdfWriter::finish() {
  if (nc_ == nullptr || ncid_ < 0) {
    return false;
  }
  if (!flush()) {
    return false;
  }
  const int id = ncid_;
  ncid_ = -1;
  return check(nc_->close(id));
}

}  // namespace kelvarin
