// Solar radiation of one open surface file. Mesonet providers store every
// kind of radiation report (averaged or accumulated over different periods,
// different sensors) under one file variable; each kind is a variable code
// of its own, and a record is delivered only for the code of the kind its
// provider (or, for providers that mix kinds, its station) is assigned to.
#include <algorithm>
#include <cstring>

#include "variables/variables.h"

namespace {

using voran::RMISS;

constexpr int32_t COOP = 5;
constexpr int32_t COOP_KIND = 12;
constexpr int32_t NO_KIND = -1;

struct CodeKind {
  int32_t code, kind;
};
constexpr CodeKind KINDS[] = {{187, 0},  {74, 1},   {101, 2},  {102, 3},  {103, 4},  {104, 5},
                              {105, 6},  {132, 7},  {133, 8},  {134, 9},  {135, 10}, {136, 11},
                              {137, 12}, {138, 13}, {139, 14}, {140, 15}, {207, 16}};

// Kind a radiation code stands for; a code not in the list matches no record.
int32_t kind_of(int32_t code) {
  for (const CodeKind& ck : KINDS)
    if (ck.code == code) return ck.kind;
  return -1000;
}

// Provider of every report of a network whose files name no provider (the
// station reader gives these networks one fixed provider); empty for the
// networks whose provider varies from report to report.
std::string_view fixed_provider(int32_t dset) {
  switch (dset) {
    case 2: return "MARITIME";
    case 3: return "SAO";
    case 6: return "UrbaNet";
    case 8: return "NEPP";
    case 9: return "HCN";
    case 10: return "CRN";
    default: return {};
  }
}

// Per-record provider and station names of the file; networks with a
// fixed provider may lack both variables.
void read_names(int32_t dset, int32_t slot, int32_t n, int32_t& status) {
  using voran::NAME11;
  std::string_view fixed = fixed_provider(dset);
  status = MST_OK;
  if (!fixed.empty() && !voran::file_has(slot, "dataProvider")) {
    voran::fill_names11(voran::REC_PROVIDER, n, fixed);
  } else {
    voran::read_names11("dataProvider", slot, voran::REC_PROVIDER, status);
    if (status != MST_OK) return;
  }
  if (!fixed.empty() && !voran::file_has(slot, "stationName")) {
    voran::fill_names11(voran::REC_STATION, n, "");
  } else {
    voran::read_names11("stationName", slot, voran::REC_STATION, status);
  }
}

}  // namespace

void MSFCSRAD(int32_t code, int32_t dset, int32_t slot, float* val, char* qcd, float* qca,
              float* qcr, int32_t& status) {
  int32_t n = voran::file_records(dset, slot, status);
  if (n < 0) return;
  bool has_qc = false;
  voran::read_values(code, dset, slot, val, status);
  if (status == MST_OK) voran::read_qc(code, dset, slot, 1, qcd, qca, qcr, has_qc, status);
  // COOP reports are all of one kind and carry no provider names.
  if (status == MST_OK && dset != COOP) read_names(dset, slot, n, status);
  if (status != MST_OK) {
    voran::fill_missing(n, val, qcd, qca, qcr);
    return;
  }
  VORANCOM2.QC_SOURCE = has_qc ? 1 : 2;

  int32_t want = kind_of(code);
  const voran::ProvMatch* codes = dset != COOP ? voran::record_providers(n, 10, 2) : nullptr;
  for (int32_t i = 0; i < n; ++i) {
    int32_t kind = COOP_KIND;
    if (codes != nullptr) kind = codes[i].found ? codes[i].code : NO_KIND;
    if (kind != want) val[i] = RMISS;
    if (val[i] == RMISS) {
      qcd[i] = 'Z';
      qca[i] = 0.0f;
      qcr[i] = 0.0f;
    }
  }
}
