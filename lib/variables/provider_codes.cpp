// Provider/subtype code lookup shared by the precipitation and radiation routines.
#include "variables/variables.h"

namespace voran {
ProvMatch provider_lookup(const char*, int32_t, const char*, int32_t, int32_t) {
  return {false, false, 0, 0};
}
int32_t provider_index(const char*, int32_t) { return 0; }
}  // namespace voran
