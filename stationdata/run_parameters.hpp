// The seven answers of the dialogue: what the station-data code reads of a run.
#pragma once

namespace kelvarin {

/// A calendar period as the output step, instead of a number of minutes: one line per dekad
/// (days 1 to 10, 11 to 20, 21 to the end of the month), month or year.
enum class CalendarPeriod { kNone, kDekad, kMonth, kYear };

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
  // The output step given as a period's name; outputStepMin then holds the period's shortest
  // length, which the checks of the answers compare with the input step.
  CalendarPeriod outputPeriod = CalendarPeriod::kNone;
};

}  // namespace kelvarin
