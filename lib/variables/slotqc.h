// Helper of the small derivations (temperature.cpp, pchange.cpp, snow.cpp,
// roadtemp.cpp): a variable's QC companions read by a given QC letter.
#pragma once

#include <cstdint>
#include <string_view>

#include "variables/derived.h"
#include "variables/variables.h"

namespace voran::slotqc {

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
