// Placeholder until the derivation lands.
#include "variables/variables.h"

void MSFCART(int32_t code, int32_t dset, int32_t slot, float* val, char* qcd, float* qca, float* qcr, int32_t& status) {
  (void)code;
  (void)dset;
  (void)slot;
  (void)val;
  (void)qcd;
  (void)qca;
  (void)qcr;
  status = MST_NOT_IN_DATABASE;
}
