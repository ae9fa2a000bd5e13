// The front door of the station-data code: a whole station file converted, and the step loop
// that runs its steps, in fixed numbers of records or by calendar periods.
#include "step/step_loop.hpp"

#include <algorithm>  // std::find
#include <optional>
#include <string>
#include <utility>  // std::move
#include <vector>

#include "reading/header_pass.hpp"
#include "step/step_run.hpp"

namespace kelvarin {

namespace {

ReportColumns reportColumns(const std::string& columnHeader, const RunParameters& params,
                            const RunOptions& options, const ColumnPlaces& places);

// Every numbered column's station at the run's place.
std::vector<StationPlace> placesOfColumns(const std::vector<ColumnStation>& stations,
                                          const RunParameters& params) {
  std::vector<StationPlace> places;
  for (const ColumnStation& station : stations) {
    if (station.number.status == StationNumberStatus::kNumber) {
      places.push_back({station.number.value, params.latitudeDeg, params.longitudeDeg, 0});
    }
  }
  return places;
}

// The columns' stations that the horizon table has no row of, each once.
std::vector<std::int64_t> stationsWithoutSkyline(const ColumnPlaces& places,
                                                 const HorizonTable& horizon) {
  std::vector<std::int64_t> flat;
  for (std::size_t c = 1; c < places.stations.size(); ++c) {
    const std::int64_t station = places.stations[c];
    if (horizon.of(station) == nullptr &&
        std::find(flat.begin(), flat.end(), station) == flat.end()) {
      flat.push_back(station);
    }
  }
  return flat;
}

}  // namespace

RunOutcome convertStationFile(InputReader& in, OutputBuffer& out, const RunConsole& console,
                              const RunParameters& params, const RunOptions& options) {
  std::vector<double> columnSums;
  std::string columnHeader;
  if (std::optional<ReadFault> fault = runHeaderPass(in, out, console, columnSums, columnHeader)) {
    return {RunEnd::kBadInput, std::move(*fault)};
  }
  Diagnostics diagnostics = makeDiagnostics(console, params, options.strict);
  diagnostics.chosenSky = !isOwnSky(options.possible);
  if (columnSums.size() == 1 && skipSpace(in)) {
    // Station names instead of numbers: without this the first hint would be a record error.
    const std::string what = namedStationsText(columnHeader);
    if (options.strict) {
      return {RunEnd::kBadInput, ReadFault{2, {}, what}};
    }
    sayWarning(console, "line 2: " + what);
  }
  ColumnPlaces columnPlaces;
  // Skylines by station at one place: every column at the run's place, each behind its own.
  std::vector<StationPlace> skylinePlaces;
  const HorizonTable* horizon = options.possible.horizon;
  const bool byStation = horizon != nullptr && !horizon->everyColumn;
  const std::vector<StationPlace>* places = options.places;
  if (places == nullptr && byStation) {
    skylinePlaces = placesOfColumns(columnStations(columnHeader), params);
    places = &skylinePlaces;
  }
  if (places != nullptr) {
    if (std::optional<Unplaced> unplaced = matchPlaces(columnStations(columnHeader), *places,
                                                       params.referenceMeridianDeg, columnPlaces)) {
      return {RunEnd::kPlacesRefused, {}, std::move(unplaced)};
    }
    diagnostics.stations = columnPlaces.stations;
  }
  const std::vector<std::int64_t> flat =
      byStation ? stationsWithoutSkyline(columnPlaces, *horizon) : std::vector<std::int64_t>{};
  if (!flat.empty() && options.strict) {
    return {RunEnd::kBadInput, ReadFault{2, {}, withoutSkylineText(flat)}};
  }
  if (options.reporter != nullptr &&
      !options.reporter->begin(reportColumns(columnHeader, params, options, columnPlaces))) {
    return {RunEnd::kWriteFailed, {}};
  }
  RecordReader records = makeRecordReader(in, options.shortcuts, options.missingMarkers,
                                          columnSums.size() - 1, options.vectorLevel);
  const RunOutcome outcome = runStepLoop(records, out, diagnostics, params, columnSums,
                                         places != nullptr ? &columnPlaces : nullptr,
                                         options.coverage, options.reporter, options.possible);
  reportDiagnostics(diagnostics);
  if (!flat.empty() && outcome.end == RunEnd::kDone) {
    sayWarning(console, withoutSkylineText(flat));
  }
  if (!options.missingMarkers.empty() && outcome.end == RunEnd::kDone) {
    sayMissingValues(console, records.missingValues, options.missingMarkers);
  }
  return outcome;
}

RunOutcome runStepLoop(RecordReader& records, OutputBuffer& out, Diagnostics& diagnostics,
                       const RunParameters& params, std::vector<double>& columnSums,
                       const ColumnPlaces* places, double coverage, StepReporter* reporter,
                       const PossibleSunshine& possible) {
  StepRun run{records,
              out,
              diagnostics,
              params,
              makeStepPlan(params, records.shortcuts, coverage),
              columnSums.data(),
              columnSums.size() - 1,
              places,
              {}};
  StepState& state = run.state;
  state.reporter = reporter;
  startState(state, params, places, coverage, run.plan.shortcuts, possible, run.columns);
  const RunOutcome outcome = params.outputPeriod != CalendarPeriod::kNone
                                 ? runCalendarLoop(run, params.outputPeriod)
                                 : runFixedSteps(run);
  if (outcome.end == RunEnd::kDone) {
    sayGapSteps(diagnostics.console, state.gaps.partial, state.gaps.missing, state.gaps.firstLine,
                diagnostics.stations);
  }
  return outcome;
}

namespace {

// The columns of a run as a reporter names them: each station and its place.
ReportColumns reportColumns(const std::string& columnHeader, const RunParameters& params,
                            const RunOptions& options, const ColumnPlaces& places) {
  ReportColumns columns;
  const std::vector<ColumnStation> stations = columnStations(columnHeader);
  for (std::size_t c = 1; c <= stations.size(); ++c) {
    columns.stations.push_back(stations[c - 1].text);
    const bool own = options.places != nullptr && 2 * c + 1 < places.placeDeg.size();
    columns.latitudeDeg.push_back(own ? places.placeDeg[2 * c] : params.latitudeDeg);
    columns.longitudeDeg.push_back(own ? places.placeDeg[2 * c + 1] : params.longitudeDeg);
  }
  return columns;
}

}  // namespace

}  // namespace kelvarin
