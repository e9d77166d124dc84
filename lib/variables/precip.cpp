// Precipitation variables.
#include "variables/variables.h"

void MSFCPCP(int32_t, int32_t, int32_t, float*, char*, float*, float*, int32_t& status) {
  status = 1005;
}
