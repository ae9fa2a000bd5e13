#include "netcdf_library.hpp"

#include <dlfcn.h>

#include <array>

namespace kelvarin {

namespace {

template <typename Function>
bool find(void* handle, const char* name, Function& function) {
  function = reinterpret_cast<Function>(dlsym(handle, name));
  return function != nullptr;
}

NetcdfLibrary load() {
  // The names of the library's versions the distributions ship, the development link last.
  constexpr std::array<const char*, 6> kNames = {"libnetcdf.so.19", "libnetcdf.so.22",
                                                 "libnetcdf.so.18", "libnetcdf.so.15",
                                                 "libnetcdf.so.13", "libnetcdf.so"};
  void* handle = nullptr;
  for (const char* name : kNames) {
    if ((handle = dlopen(name, RTLD_NOW | RTLD_LOCAL)) != nullptr) {
      break;
    }
  }
  NetcdfLibrary library;
  if (handle == nullptr) {
    return library;
  }
  const bool found =
      find(handle, "nc__create", library.create) && find(handle, "nc_set_fill", library.setFill) &&
      find(handle, "nc_def_dim", library.defineDimension) &&
      find(handle, "nc_def_var", library.defineVariable) &&
      find(handle, "nc_put_att_text", library.putTextAttribute) &&
      find(handle, "nc_put_att_double", library.putDoubleAttribute) &&
      find(handle, "nc_put_att_float", library.putFloatAttribute) &&
      find(handle, "nc_enddef", library.endDefinitions) &&
      find(handle, "nc_put_var_text", library.putText) &&
      find(handle, "nc_put_var_double", library.putDoubles) &&
      find(handle, "nc_put_vara_double", library.putDoubleRange) &&
      find(handle, "nc_put_vara_float", library.putFloatRange) &&
      find(handle, "nc_close", library.close) && find(handle, "nc_strerror", library.describe);
  return found ? library : NetcdfLibrary{};
}

}  // namespace

const NetcdfLibrary* netcdfLibrary() {
  static const NetcdfLibrary library = load();
  return library.create != nullptr ? &library : nullptr;
}

}  // namespace kelvarin
