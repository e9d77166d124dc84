// MSFCRDLFT: road freezing temperature (K) of road sensors 1 to 4 (codes 89
// to 92) of one open surface file. Depending on the station software it is
// stored as "roadLiquidFreezeTemp" or "roadAntiIceFreezeTemp" followed by
// the sensor digit; both are tried.
#include <cstring>

#include "variables/slotqc.h"

namespace {

constexpr int32_t CODE_FIRST = 89;
constexpr int32_t CODE_LAST = 92;
constexpr int32_t MESONET = 4;
constexpr char NAME1[] = "roadLiquidFreezeTemp";   // 20 characters
constexpr char NAME2[] = "roadAntiIceFreezeTemp";  // 21 characters

struct RDLFT_t {
  char N;
  char VRNAM[22];
};
RDLFT_t RDLFT;

// VRNAM = base followed by the sensor digit; its significant part.
std::string_view make_name(const char* base, std::size_t len) {
  std::memset(RDLFT.VRNAM, ' ', sizeof RDLFT.VRNAM);
  std::memcpy(RDLFT.VRNAM, base, len);
  RDLFT.VRNAM[len] = RDLFT.N;
  return {RDLFT.VRNAM, len + 1};
}

}  // namespace

void MSFCRDLFT(int32_t code, int32_t slot, float* val, char* qcd, float* qca, float* qcr,
               int32_t& status) {
  using namespace voran;
  int32_t n = 0;
  if (!derived::records_of(slot, n, status)) return;
  if (code < CODE_FIRST || code > CODE_LAST) {
    status = MST_BAD_TABLE;
    return;
  }
  RDLFT.N = static_cast<char>('1' + (code - CODE_FIRST));

  // Probe the two names without messages.
  const bool msg = MCOM2.MSGFLAG;
  MCOM2.MSGFLAG = false;
  std::string_view name = make_name(NAME1, sizeof NAME1 - 1);
  read_named(name, slot, val, status);
  if (status == MST_NOT_IN_DATABASE) {
    name = make_name(NAME2, sizeof NAME2 - 1);
    read_named(name, slot, val, status);
  }
  MCOM2.MSGFLAG = msg;
  // Repeat a failing read with messages on so that its message reaches the
  // user.
  if (status != MST_OK && msg) read_named(name, slot, val, status);
  if (status != MST_OK) return;

  bool has_qc = false;
  slotqc::by_letter(qcletter(code, MESONET), name, slot, qcd, qca, qcr, has_qc, status);
  VORANCOM2.QC_SOURCE = has_qc ? 1 : 2;
}
