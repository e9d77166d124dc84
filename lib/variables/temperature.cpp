// MSFCART: temperature (code 8) of one open HCN or CRN file. These files
// carry, besides the ordinary temperature, "archiveTemperature", which is
// preferred wherever it holds a value.
#include "variables/slotqc.h"

namespace {

constexpr int32_t CODE_T = 8;

struct ART_t {
  char TVNAME[18];
  // Archive temperature of each record with its descriptor and masks.
  float VAL[voran::MAXREPORTS];
  char QCD[voran::MAXREPORTS];
  float QCA[voran::MAXREPORTS];
  float QCR[voran::MAXREPORTS];
};
ART_t ART;

}  // namespace

void MSFCART(int32_t code, int32_t dset, int32_t slot, float* val, char* qcd, float* qca,
             float* qcr, int32_t& status) {
  using namespace voran;
  (void)code;  // always 8
  int32_t n = 0;
  if (!derived::records_of(slot, n, status)) return;
  const char letter = qcletter(CODE_T, dset);
  fset(ART.TVNAME, sizeof ART.TVNAME, "archiveTemperature");
  const std::string_view tvname = fview(ART.TVNAME, sizeof ART.TVNAME);

  int32_t s = MST_OK;
  read_values(CODE_T, dset, slot, val, s);
  if (s == MST_NOT_IN_DATABASE) {
    // No ordinary temperature: the archive temperature alone, if the file
    // has it.
    bool has_qc = false;
    read_named(tvname, slot, val, status);
    if (status != MST_OK) return;
    slotqc::by_letter(letter, tvname, slot, qcd, qca, qcr, has_qc, status);
    VORANCOM2.QC_SOURCE = has_qc ? 1 : 2;
    return;
  }
  if (s != MST_OK) {
    status = s;
    return;
  }
  bool ord_qc = false;
  slotqc::by_letter(letter, varname(CODE_T, dset), slot, qcd, qca, qcr, ord_qc, status);
  VORANCOM2.QC_SOURCE = ord_qc ? 1 : 2;
  if (status != MST_OK) return;

  // A file without the archive variable answers 1005, and the caller falls
  // back on the ordinary temperature read directly.
  read_named(tvname, slot, ART.VAL, status);
  if (status != MST_OK) return;
  bool art_qc = false;
  slotqc::by_letter(letter, tvname, slot, ART.QCD, ART.QCA, ART.QCR, art_qc, status);
  if (status != MST_OK) return;

  bool used_art_qc = false;
  for (int32_t i = 0; i < n; ++i) {
    if (ART.VAL[i] == RMISS) continue;
    val[i] = ART.VAL[i];
    qcd[i] = ART.QCD[i];
    qca[i] = ART.QCA[i];
    qcr[i] = ART.QCR[i];
    used_art_qc = used_art_qc || art_qc;
  }
  VORANCOM2.QC_SOURCE = (ord_qc || used_art_qc) ? 1 : 2;
  status = MST_OK;
}
