// MINIT: environment, database choice and dataset initialisation.
#include "core/core.h"
#include "tables/tables.h"

void MINIT(std::string_view, std::string_view, bool msgsw, int32_t& status) {
  MCOM2.MSGFLAG = msgsw;
  status = MST_BAD_SUBSYSTEM;
}
