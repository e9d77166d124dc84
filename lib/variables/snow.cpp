// MSFCSNOW: snow depth (code 73, m) of one open COOP file, chosen per record
// between the 6-hour and the 24-hour depth (mm); a depth whose file carries
// QC variables is preferred.
#include "variables/slotqc.h"

namespace {

struct SNOW_t {
  char VRNAM[2][12];
  bool QCMISS[2];
  // Depth of each record per name, with its descriptor and masks.
  float VAL[2][voran::MAXREPORTS];
  char QCD[2][voran::MAXREPORTS];
  float QCA[2][voran::MAXREPORTS];
  float QCR[2][voran::MAXREPORTS];
};
SNOW_t SNOW;

constexpr int32_t NMLEN[2] = {11, 12};

}  // namespace

void MSFCSNOW(int32_t code, int32_t slot, float* val, char* qcd, float* qca, float* qcr,
              int32_t& status) {
  using namespace voran;
  (void)code;  // always 73
  int32_t n = 0;
  if (!derived::records_of(slot, n, status)) return;
  fset(SNOW.VRNAM[0], 12, "snowDepth6H");
  fset(SNOW.VRNAM[1], 12, "snowDepth24H");
  VORANCOM2.QC_SOURCE = 1;

  for (int32_t k = 0; k < 2; ++k) {
    const std::string_view name(SNOW.VRNAM[k], NMLEN[k]);
    SNOW.QCMISS[k] = false;
    read_named(name, slot, SNOW.VAL[k], status);
    if (status != MST_OK) return;
    bool has_qc = false;
    read_qc_named(name, slot, 1, SNOW.QCD[k], SNOW.QCA[k], SNOW.QCR[k], has_qc, status);
    if (status != MST_OK) return;
    SNOW.QCMISS[k] = !has_qc;
  }
  VORANCOM2.QC_SOURCE = (SNOW.QCMISS[0] && SNOW.QCMISS[1]) ? 2 : 1;

  for (int32_t i = 0; i < n; ++i) {
    const float d1 = SNOW.VAL[0][i];
    const float d2 = SNOW.VAL[1][i];
    int32_t from = -1;  // depth whose QC goes with the value
    if (!SNOW.QCMISS[0] && d1 != RMISS) {
      from = 0;
    } else if (!SNOW.QCMISS[1] && d2 != RMISS) {
      from = 1;
    }
    float d = 0.0f;
    if (from >= 0) {
      d = SNOW.VAL[from][i];
      qcd[i] = SNOW.QCD[from][i];
      qca[i] = SNOW.QCA[from][i];
      qcr[i] = SNOW.QCR[from][i];
    } else {
      d = d1 != RMISS ? d1 : d2;
      qcd[i] = 'Z';
      qca[i] = 0.0f;
      qcr[i] = 0.0f;
    }
    val[i] = d != RMISS ? d / 1000.0f : RMISS;
  }
  status = MST_OK;
}
