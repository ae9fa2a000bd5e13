// The seven answers of the dialogue: what the station-data code reads of a run.
#pragma once

namespace kelvarin {

/// The seven answers, in dialogue order. Single precision on purpose: the step arithmetic has
/// always started from these float values, and the output is compared to the last bit.
struct RunParameters {
  float latitudeDeg = 0.0f;           // degrees, north positive
  float longitudeDeg = 0.0f;          // degrees, east positive
  float inputStepMin = 0.0f;          // minutes between input records, e.g. 60 or 1440
  float inputUnitMin = 0.0f;          // minutes per unit of the values, 60 for hours
  float outputStepMin = 0.0f;         // minutes per output step, a multiple of inputStepMin
  float timeShiftH = 0.0f;            // hours added to a stored hour to get local time
  float referenceMeridianDeg = 0.0f;  // meridian of the local zone time, e.g. 15
};

}  // namespace kelvarin
