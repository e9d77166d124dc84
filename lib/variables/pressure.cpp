// First definition so the library links; the derivation follows.
#include "variables/variables.h"

void MSFCPRS(int32_t, int32_t, int32_t, float*, char*, float*, float*, int32_t& status) {
  status = MST_NOT_IN_DATABASE;
}
