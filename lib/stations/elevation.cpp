// MSFCELEV: station elevation (variable code 16) of every record of one open
// surface file, with its QC companions; reports on the large inland lakes of
// maritime files get the terrain height of their position.
#include "stations/stations.h"
#include "variables/variables.h"

namespace {
// Positions of one maritime file's records. A file never holds more records
// than the station reader's work arrays, so these are sized alike.
float LAT[voran::MAXREPORTS];
float LON[voran::MAXREPORTS];
}  // namespace

void MSFCELEV(int32_t dset, int32_t slot, float* elev, char* qcd, float* qca, float* qcr,
              int32_t& status) {
  using namespace voran;
  constexpr int32_t ELEV = 16, LATC = 17, LONC = 18;
  if (slot < 1 || slot > NFSLOTS) {
    status = MST_BAD_TABLE;
    return;
  }
  read_values(ELEV, dset, slot, elev, status);
  if (status != MST_OK) return;
  bool has_qc = false;
  read_qc(ELEV, dset, slot, 1, qcd, qca, qcr, has_qc, status);
  VORANCOM2.QC_SOURCE = has_qc ? 1 : 2;
  if (status != MST_OK) return;

  if (dset != 2) return;
  const int32_t nrec = SFCSTRN.FILE_NREC[slot - 1];
  if (nrec > MAXREPORTS) {
    status = MST_ARRAY_SIZE;
    return;
  }
  read_values(LATC, dset, slot, LAT, status);
  if (status != MST_OK) return;
  read_values(LONC, dset, slot, LON, status);
  if (status != MST_OK) return;
  M_MARELV(nrec, RMISS, LAT, LON, elev);
}
