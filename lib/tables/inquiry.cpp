// Read-only views of the loaded tables for presenting programs: the code
// table of the current dataset and the surface provider table.
#include <algorithm>
#include <cstring>

#include "tables/tables.h"

namespace {
// The stored counts are trusted no further than the arrays reach.
int32_t bounded(int32_t n, int32_t cap) { return std::clamp(n, 0, cap); }
}  // namespace

void MVCNINQ(int32_t index, char* name, int32_t& code, char* type, int32_t& count,
             int32_t& status) {
  const int32_t d = MCOM2.CURDSET;
  count = 0;
  if (d < 0 || d >= voran::NDSETS || VORANCOM2.DSINIT[d] != voran::INIT_MARK) {
    status = MST_NOT_INITIALIZED;
    return;
  }
  count = bounded(VCNTBL.VCN_COUNT[d], voran::NCODES);
  if (index < 1 || index > count) {
    status = MST_BAD_TABLE;
    return;
  }
  std::memcpy(name, VCNTBL.VCN_NAME[d][index - 1], 7);
  code = VCNTBL.VCN_CODE[d][index - 1];
  *type = VCNTBL.VCN_TYPE[d][index - 1];
  status = MST_OK;
}

void MSFCPVDRINQ(int32_t index, char* name, bool& selected, int32_t& count, int32_t& status) {
  count = 0;
  if (VORANCOM2.DSINIT[0] != voran::INIT_MARK) {
    status = MST_NOT_INITIALIZED;
    return;
  }
  count = bounded(PROVTBL.SUBSRC_COUNT[0], voran::NPROV);
  if (index < 1 || index > count) {
    status = MST_BAD_TABLE;
    return;
  }
  std::memcpy(name, PROVTBL.SUBSRC_NAME[0][index - 1], 10);
  selected = PROVTBL.SUBSRC_SELECTED[0][index - 1];
  status = MST_OK;
}
