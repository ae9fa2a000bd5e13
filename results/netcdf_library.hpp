// The NetCDF library, loaded when a run writes NetCDF and not before. Linked into the program, the
// library and the forty libraries it needs (HDF5, curl, TLS, ...) were loaded and relocated at the
// start of every run: 13 ms each (measured: 50 runs of kelvarin --version, 0.14 s before, 0.80 s
// with it linked), more than a small station file takes. The functions keep the library's own
// types, from its header.
#pragma once

#include <netcdf.h>

namespace kelvarin {

struct NetcdfLibrary {
  decltype(&nc__create) create = nullptr;
  decltype(&nc_set_fill) setFill = nullptr;
  decltype(&nc_def_dim) defineDimension = nullptr;
  decltype(&nc_def_var) defineVariable = nullptr;
  decltype(&nc_put_att_text) putTextAttribute = nullptr;
  decltype(&nc_put_att_double) putDoubleAttribute = nullptr;
  decltype(&nc_put_att_float) putFloatAttribute = nullptr;
  decltype(&nc_enddef) endDefinitions = nullptr;
  decltype(&nc_put_var_text) putText = nullptr;
  decltype(&nc_put_var_double) putDoubles = nullptr;
  decltype(&nc_put_vara_double) putDoubleRange = nullptr;
  decltype(&nc_put_vara_float) putFloatRange = nullptr;
  decltype(&nc_close) close = nullptr;
  decltype(&nc_strerror) describe = nullptr;
};

/// Returns the NetCDF library, loaded the first time it is asked for; nothing where it cannot be
/// loaded.
const NetcdfLibrary* netcdfLibrary();

}  // namespace kelvarin
