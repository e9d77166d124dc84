// Helpers of the small derivations (temperature.cpp, pchange.cpp, snow.cpp,
// roadtemp.cpp): checking a file slot and reading a variable's QC companions
// by a given QC letter.
#pragma once

#include <cstdint>
#include <string_view>

#include "variables/variables.h"

namespace voran::slotqc {

// Record count of the file in slot, checked against the work arrays (one
// entry per record). False, with the status set, when it cannot be served.
inline bool records(int32_t slot, int32_t& n, int32_t& status) {
  if (slot < 1 || slot > NFSLOTS || SFCSTRN.FILE_NCID[slot - 1] < 0) {
    status = MST_BAD_FILE;
    return false;
  }
  n = SFCSTRN.FILE_NREC[slot - 1];
  if (n < 0 || n > MAXREPORTS) {
    status = MST_TOO_MANY_RECORDS;
    return false;
  }
  status = MST_OK;
  return true;
}

// QC of the variable name (one value per record): read from the file when
// the letter is "Q", otherwise "Z" and masks 0. has_qc tells whether the
// file's QC variables were found.
inline void by_letter(char letter, std::string_view name, int32_t slot, char* qcd, float* qca,
                      float* qcr, bool& has_qc, int32_t& status) {
  if (letter == 'Q') {
    read_qc_named(name, slot, 1, qcd, qca, qcr, has_qc, status);
    return;
  }
  has_qc = false;
  fill_missing(SFCSTRN.FILE_NREC[slot - 1], nullptr, qcd, qca, qcr);
  status = MST_OK;
}

}  // namespace voran::slotqc
