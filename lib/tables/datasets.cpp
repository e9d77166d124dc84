// Initialisation and close of the datasets other than the surface one:
// RAOB, NPN, ACARS, MAP, RDMTR, ACARSP (upper air), HYDRO, SATWND, SATSND,
// SATRAD, SNOW and WISDOM. One routine does the work, driven by the table of
// the datasets' differences.
#include <netcdf.h>

#include <cstring>

#include "tables/tables.h"
#include "tables/textio.h"

namespace {

using Reader = void (*)(std::string_view, int32_t&);

// What an initialisation does beyond the common fields.
enum Extra : unsigned {
  kNone = 0,
  kUaCounters = 1u << 0,     // zero the two upper-air retrieval counters
  kHydroFlag = 1u << 1,
  kSatwndFlag = 1u << 2,     // flag true and its counter 0
  kSatsndFlag = 1u << 3,
  kSatradFlag = 1u << 4,
  kSnowFlag = 1u << 5,
  kSharedCounter = 1u << 6,  // the word the surface dataset uses as ASOS_COUNT
};

struct Dataset {
  int32_t dset;
  int32_t first_slot, last_slot;  // slots named (with kSlotNames)
  int32_t ptable;                 // provider table reset; 0 = none
  Reader reader;                  // variable-table reader (upper air: MUAPTTBL)
  unsigned extra;
};

constexpr const char* kSlotNames[voran::NSLOTS] = {
    "METAR", "MARITIME", "SAO", "MESONET", "COOP", "UrbaNet", "HFMETAR", "NEPP", "HCN", "CRN",
    "RAOB", "NPN", "ACARS", "MAP", "RDMTR", "ACARSP", "HYDRO", "GOES-OPER-WINDS",
    "GOES-EXPER-WINDS", "POES-SOUNDINGS", "SATELLITE-RADIANCE", "SNOW", "WISDOM"};

// Upper-air sets share one entry; their provider table depends on the set.
constexpr Dataset kUpperAir = {0, 11, 16, 0, nullptr, kUaCounters};
constexpr Dataset kHydro = {7, 17, 17, 2, MHYDROTBL, kHydroFlag};
constexpr Dataset kSatwnd = {8, 18, 19, 5, MSATWNDTBL, kSatwndFlag | kSharedCounter};
constexpr Dataset kSatsnd = {10, 20, 20, 6, MSATSNDTBL, kSatsndFlag | kSharedCounter};
constexpr Dataset kSatrad = {11, 21, 21, 7, MSATRADTBL, kSatradFlag | kSharedCounter};
constexpr Dataset kSnow = {12, 22, 22, 8, MSNOWTBL, kSnowFlag};
constexpr Dataset kWisdom = {13, 23, 23, 9, MWISDOMTBL, kSharedCounter};

// The common fields every initialisation writes for its dataset.
void init_common(const Dataset& ds, int32_t dset, int32_t ptable) {
  for (int32_t s = ds.first_slot; s <= ds.last_slot; ++s)
    voran::fset(VORANCOM1.SLOTNAME[s - 1], 20, kSlotNames[s - 1]);
  std::memset(VORANCOM1.LIST_TIME[dset], ' ', 9);
  if (ptable > 0) {
    for (bool& sel : PROVTBL.SUBSRC_SELECTED[ptable - 1]) sel = true;
    PROVTBL.REQ_COUNT[ptable - 1] = 0;
    PROVTBL.REQ_DEFAULT[ptable - 1] = true;
  }
  VORANCOM2.QC_LEVEL = 0;
  VORANCOM2.WIN_BEFORE = 0;
  VORANCOM2.WIN_AFTER = 0;
  VORANCOM2.RECWIN = 0;
  VORANCOM2.DOM_TYPE = -1;
  VORANCOM2.DSINIT[dset] = voran::INIT_MARK;
  if (ds.extra & kUaCounters) VORANCOM2.UA_COUNTER[0] = VORANCOM2.UA_COUNTER[1] = 0;
  if (ds.extra & kHydroFlag) VORANCOM2.HYDRO_FLAG = true;
  if (ds.extra & kSatwndFlag) VORANCOM2.SATWND_FLAG = true, VORANCOM2.SATWND_COUNTER = 0;
  if (ds.extra & kSatsndFlag) VORANCOM2.SATSND_FLAG = true;
  if (ds.extra & kSatradFlag) VORANCOM2.SATRAD_FLAG = true;
  if (ds.extra & kSnowFlag) VORANCOM2.SNOW_FLAG = true;
  if (ds.extra & kSharedCounter) SFCTBL.ASOS_COUNT = 0;
}

void init_dataset(const Dataset& ds, std::string_view path, int32_t& status) {
  init_common(ds, ds.dset, ds.ptable);
  ds.reader(path, status);
}

// File slots of the datasets' retrieval (which lives outside this library):
// an id and the 13-character file name per slot, -1 when the slot is free.
struct FileSlots {
  int32_t id[8];
  char name[8][13];
};

struct SlotTables {
  FileSlots ua[6];
  FileSlots hydro, satwnd, snow, wisdom;
  int32_t satsnd[4], satrad[4];  // NetCDF ids, closed directly
};

SlotTables make_free() {
  SlotTables t{};
  auto clear = [](FileSlots& f) {
    for (int32_t& id : f.id) id = -1;
    std::memset(f.name, ' ', sizeof f.name);
  };
  for (FileSlots& f : t.ua) clear(f);
  clear(t.hydro);
  clear(t.satwnd);
  clear(t.snow);
  clear(t.wisdom);
  for (int32_t& id : t.satsnd) id = -1;
  for (int32_t& id : t.satrad) id = -1;
  return t;
}

SlotTables SLOTS = make_free();

struct Dir {
  std::string_view dir;
  int32_t len;
};

Dir dir_of(const OTHERSTR_t& blk, int fam) {
  return {voran::fview(blk.DIR[fam], voran::PATHLEN), blk.DIRLEN[fam]};
}

// Closes the open slots among the first n through MVORANCLS1; min_open is the
// smallest id that counts as open (0 for the upper-air sets, 1 otherwise);
// dir(k) gives the data directory of slot k.
template <typename DirOf>
void close_slots(FileSlots& f, int n, int32_t min_open, DirOf dir) {
  for (int k = 0; k < n; ++k) {
    if (f.id[k] < min_open) continue;
    Dir d = dir(k);
    MVORANCLS1(f.id[k], d.dir, d.len, voran::fview(f.name[k], 13));
    f.id[k] = -1;
  }
}

void close_ids(int32_t* ids, int n) {
  for (int k = 0; k < n; ++k) {
    if (ids[k] >= 0) nc_close(ids[k]);
    ids[k] = -1;
  }
}

}  // namespace

void MUAPTINIT(int32_t k, std::string_view path, int32_t& status) {
  if (k < 1 || k > 6) {
    status = MST_BAD_SUBSYSTEM;
    return;
  }
  // MAP and RDMTR own provider tables 3 and 4; the other sets have none.
  init_common(kUpperAir, k, k == 4 ? 3 : k == 5 ? 4 : 0);
  MUAPTTBL(k, path, status);
}

void MHYDROINIT(std::string_view path, int32_t& status) { init_dataset(kHydro, path, status); }
void MSATWNDINIT(std::string_view path, int32_t& status) { init_dataset(kSatwnd, path, status); }
void MSATSNDINIT(std::string_view path, int32_t& status) { init_dataset(kSatsnd, path, status); }
void MSATRADINIT(std::string_view path, int32_t& status) { init_dataset(kSatrad, path, status); }
void MWISDOMINIT(std::string_view path, int32_t& status) { init_dataset(kWisdom, path, status); }

void MSNOWINIT(std::string_view path, std::string_view srcpath, int32_t& status) {
  // The provider file is loaded whatever the table read gave; its failure
  // replaces the table's status.
  init_dataset(kSnow, path, status);
  int32_t pstatus = voran::textio::load_providers(8, srcpath, "MSNOWINIT");
  if (pstatus != MST_OK) status = pstatus;
}

void MUAPTCLS(int32_t k) {
  if (k < 1 || k > 6) return;
  close_slots(SLOTS.ua[k - 1], 7, 0, [k](int) {
    return Dir{voran::fview(UAPTSTR.DIR[k - 1], voran::PATHLEN), UAPTSTR.DIRLEN[k - 1]};
  });
}

void MHYDROCLS() {
  close_slots(SLOTS.hydro, 4, 1, [](int) { return dir_of(HYDROSTR, 0); });
}

// Slots 1-4 hold files of the first family, 5-8 of the second.
void MSATWNDCLS() {
  close_slots(SLOTS.satwnd, 8, 1, [](int k) { return dir_of(SATWSTR, k < 4 ? 0 : 1); });
}

void MSNOWCLS() {
  close_slots(SLOTS.snow, 4, 1, [](int) { return dir_of(SNOWSTR, 0); });
}

void MWISDOMCLS() {
  close_slots(SLOTS.wisdom, 4, 1, [](int) { return dir_of(WISDOMSTR, 0); });
}

void MSATSNDCLS() { close_ids(SLOTS.satsnd, 4); }
void MSATRADCLS() { close_ids(SLOTS.satrad, 4); }
