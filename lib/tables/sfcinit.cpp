// Surface dataset initialisation (variable table, ASOS list, providers,
// terrain grid) and close.
#include <cmath>
#include <cstring>

#include "tables/tables.h"
#include "tables/textio.h"

namespace {

using voran::textio::Rd;

constexpr const char* kSourceNames[voran::NSRC] = {"METAR", "MARITIME", "SAO",     "MESONET",
                                                   "COOP",  "UrbaNet",  "HFMETAR", "NEPP",
                                                   "HCN",   "CRN"};

void reset_surface() {
  for (bool& s : VORANCOM2.SRC_SELECT) s = true;
  for (bool& s : PROVTBL.SUBSRC_SELECTED[0]) s = true;
  PROVTBL.REQ_COUNT[0] = 0;
  PROVTBL.REQ_DEFAULT[0] = true;
  for (int s = 0; s < voran::NSRC; ++s) voran::fset(VORANCOM1.SLOTNAME[s], 20, kSourceNames[s]);
  std::memset(VORANCOM1.LIST_TIME[0], ' ', 9);
  VORANCOM2.QC_LEVEL = 0;
  VORANCOM2.WIN_BEFORE = 0;
  VORANCOM2.WIN_AFTER = 0;
  VORANCOM2.RECWIN = 0;
  VORANCOM2.DOM_TYPE = -1;
  VORANCOM2.DSINIT[0] = voran::INIT_MARK;
  SFCTBL.ASOS_COUNT = 0;
}

int32_t load_stadic(std::string_view path) {
  voran::textio::TableFile file;
  if (!file.open(path)) {
    MERROR("MSFCINIT: BIF - OPEN ERROR - STADIC");
    return MST_BAD_FILE;
  }
  char rec[5];
  while (SFCTBL.ASOS_COUNT < voran::NASOS) {
    int32_t len;
    Rd r = file.line(rec, 5, len);
    if (r == Rd::End) break;
    // A line that cannot be converted is listed all the same; a NUL counts
    // as a blank so that it can never match an identifier.
    for (char& c : rec)
      if (c == '\0') c = ' ';
    std::memcpy(SFCTBL.ASOS_ID[SFCTBL.ASOS_COUNT++], rec, 5);
  }
  return MST_OK;
}

int32_t load_topo(std::string_view path) {
  voran::textio::TableFile file;
  if (!file.open(path)) {
    MERROR("MSFCINIT: BIF - OPEN ERROR - TOPMINI");
    return MST_BAD_FILE;
  }
  int32_t i0 = 0, j0 = 0;
  for (int j = 0; j < voran::TOPO_NY; ++j) {
    for (int i = 0; i < voran::TOPO_NX; ++i) {
      const voran::textio::Item items[3] = {{voran::textio::Item::Int, &i0},
                                            {voran::textio::Item::Int, &j0},
                                            {voran::textio::Item::Real, &SFCTBL.TOPO[j][i]}};
      // A NaN or infinite height is as unusable as an unreadable one.
      if (file.list(items, 3) != Rd::Ok || !std::isfinite(SFCTBL.TOPO[j][i])) {
        MERROR("MSFCINIT: BIF - READ ERROR - TOPMINI");
        return MST_BAD_FILE;
      }
    }
  }
  return MST_OK;
}

}  // namespace

void MSFCINIT(std::string_view tblpath, std::string_view stadic, std::string_view srcin,
              std::string_view topo, int32_t& status) {
  reset_surface();
  MSFCTBL(tblpath, status);
  if (status != MST_OK) return;
  status = load_stadic(stadic);
  if (status != MST_OK) return;
  voran::fset(VORANCOM1.SRCIN_PATH, voran::PATHLEN, srcin);
  status = voran::textio::load_providers(1, srcin, "MSFCINIT");
  if (status != MST_OK) return;
  status = load_topo(topo);
}

void MSFCCLS() {
  for (int s = 0; s < voran::NFSLOTS; ++s) {
    if (SFCSTRN.FILE_NCID[s] <= 0) continue;
    int32_t d = SFCSTRN.FILE_DSET[s];
    if (d >= 1 && d <= voran::NSRC) {
      MVORANCLS1(SFCSTRN.FILE_NCID[s], voran::fview(SFCSTRC.DSET_DIR[d - 1], voran::PATHLEN),
                 SFCSTRN.DSET_DIRLEN[d - 1], voran::fview(SFCSTRC.FILE_NAME[s], 13));
    } else {
      MVORANCLS1(SFCSTRN.FILE_NCID[s], std::string_view(), 0,
                 voran::fview(SFCSTRC.FILE_NAME[s], 13));
    }
    SFCSTRN.FILE_NCID[s] = -1;
  }
}
