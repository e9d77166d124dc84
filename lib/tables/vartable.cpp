// Variable-table readers of every dataset (one reader, driven by the table of
// the families' differences) and MQCINQ.
#include <cstdio>
#include <cstring>

#include "tables/tables.h"
#include "tables/textio.h"

namespace {

using voran::textio::Rd;

enum class DbRule { Surface, Teska };

struct Family {
  const char* routine;  // message prefix
  const char* word;     // table word of the messages
  int32_t first, last;  // slots whose lines the reader accepts
  int32_t dset;         // dataset of QCSTAGE; -1: slot - 10 (upper air)
  DbRule rule;
};

enum FamilyId { SFC, UAPT, HYDRO, SATWND, SATSND, SATRAD, SNOW, WISDOM };

constexpr Family kFamilies[] = {
    {"MSFCTBL", "SFCTBL", 1, 10, 0, DbRule::Surface},
    {"MUAPTTBL", "UAPTTBL", 11, 16, -1, DbRule::Teska},
    {"MHYDROTBL", "HYDROTBL", 17, 17, 7, DbRule::Teska},
    {"MSATWNDTBL", "SATWNDTBL", 18, 19, 8, DbRule::Teska},
    {"MSATSNDTBL", "SATSNDTBL", 20, 20, 10, DbRule::Teska},
    {"MSATRADTBL", "SATRADTBL", 21, 21, 11, DbRule::Teska},
    {"MSNOWTBL", "SNOWTBL", 22, 22, 12, DbRule::Teska},
    {"MWISDOMTBL", "WISDOMTBL", 23, 23, 13, DbRule::Teska},
};

constexpr int32_t kWidth = 70;

void report(const Family& fam, const char* what) {
  char msg[128];
  int n = std::snprintf(msg, sizeof msg, "%s: BIF - %s ERROR - %s", fam.routine, what, fam.word);
  MERROR(std::string_view(msg, static_cast<size_t>(n)));
}

int32_t invalid(const Family& fam, const char* what, int64_t line) {
  char msg[128];
  int n = std::snprintf(msg, sizeof msg, "%s: INTV - INVALID %s AT %s LINE ", fam.routine, what,
                        fam.word);
  voran::textio::fmt_i3(line, msg + n);
  MERROR(std::string_view(msg, static_cast<size_t>(n + 3)));
  return MST_BAD_TABLE;
}

bool is_type(char c) { return c != '\0' && std::strchr("bclisfd", c) != nullptr; }

// Reads one table file; clear_first..clear_last are the slots emptied first.
void read_table(const Family& fam, int32_t clear_first, int32_t clear_last,
                std::string_view path, int32_t& status) {
  for (int32_t code = 0; code < voran::NCODES; ++code)
    for (int32_t s = clear_first; s <= clear_last; ++s) VARTBL.NAMLEN[code][s - 1] = 0;

  voran::textio::TableFile file;
  if (!file.open(path)) {
    report(fam, "OPEN");
    status = MST_BAD_FILE;
    return;
  }
  status = MST_OK;
  char rec[kWidth];
  voran::textio::each_line(file, rec, kWidth, [&](Rd r, int32_t len, int64_t line) {
    if (r == Rd::Bad) {
      report(fam, "READ");
      status = MST_BAD_FILE;
      return false;
    }
    if (rec[0] == ' ' && rec[1] == ' ' && rec[2] == ' ') return true;
    int32_t slot = 0;
    for (int32_t s = fam.first; s <= fam.last && slot == 0; ++s)
      if (std::memcmp(rec + 6, VORANCOM1.SLOTNAME[s - 1], 20) == 0) slot = s;
    if (slot == 0) return true;
    int32_t code;
    if (!voran::textio::fixed_int(rec, len, 1, 3, code)) return true;
    // Codes below 1 have no place in the table either.
    if (code > voran::NCODES || code < 1) {
      status = invalid(fam, "VARIABLE CODE", line);
      return false;
    }
    char type = rec[27];
    int32_t chrlen = 0;
    if (type == 'c') {
      if (!voran::textio::fixed_int(rec, len, 33, 35, chrlen)) return true;
    } else if (!is_type(type)) {
      status = invalid(fam, "VARIABLE TYPE", line);
      return false;
    }
    int32_t namlen = M_LSTCHR(std::string_view(rec + 41, 24), 24);
    if (namlen == 0) {
      status = invalid(fam, "VARIABLE NAME", line);
      return false;
    }
    char qc = rec[66];
    if (qc != ' ' && qc != 'Q') {
      status = invalid(fam, "QC CHARACTER", line);
      return false;
    }
    int32_t stage;
    if (!voran::textio::fixed_int(rec, len, 70, 70, stage) || stage < 0 || stage > 3) {
      status = invalid(fam, "QC STAGE", line);
      return false;
    }
    bool no_qc = fam.rule == DbRule::Surface
                     ? (VORANCOM2.TESKA2_FLAG || (MCOM2.DBNUM == 2 && slot != 4))
                     : MCOM2.DBNUM == 2;
    // The line has passed every check: store it.
    int32_t c = code - 1, s = slot - 1;
    VARTBL.NCTYPE[c][s] = type;
    VARTBL.CHRLEN[c][s] = chrlen;
    VARTBL.NAMLEN[c][s] = namlen;
    std::memcpy(VARTBL.NCNAME[c][s], rec + 41, 24);
    VARTBL.QCFLAG[c][s] = no_qc ? ' ' : qc;
    VARTBL.QCSTAGE[c][fam.dset >= 0 ? fam.dset : slot - 10] = stage;
    return true;
  });
}

void read_family(FamilyId id, std::string_view path, int32_t& status) {
  const Family& fam = kFamilies[id];
  read_table(fam, fam.first, fam.last, path, status);
}

}  // namespace

void MSFCTBL(std::string_view path, int32_t& status) { read_family(SFC, path, status); }

void MUAPTTBL(int32_t k, std::string_view path, int32_t& status) {
  if (k < 1 || k > 6) {
    status = MST_BAD_SUBSYSTEM;
    return;
  }
  // Only the slot of the dataset being initialised is emptied; lines of the
  // other upper-air sets are still stored into their own slots.
  read_table(kFamilies[UAPT], k + 10, k + 10, path, status);
}

void MHYDROTBL(std::string_view path, int32_t& status) { read_family(HYDRO, path, status); }
void MSATWNDTBL(std::string_view path, int32_t& status) { read_family(SATWND, path, status); }
void MSATSNDTBL(std::string_view path, int32_t& status) { read_family(SATSND, path, status); }
void MSATRADTBL(std::string_view path, int32_t& status) { read_family(SATRAD, path, status); }
void MSNOWTBL(std::string_view path, int32_t& status) { read_family(SNOW, path, status); }
void MWISDOMTBL(std::string_view path, int32_t& status) { read_family(WISDOM, path, status); }

int32_t MQCINQ(int32_t code, int32_t& status) {
  if (code < 0 || code > voran::NCODES) {
    MERROR("MQCINQ: INVALID INTERNAL VARIABLE");
    status = MST_BAD_TABLE;
    return 0;
  }
  int32_t d = MCOM2.CURDSET;
  if (d < 0 || d >= voran::NDSETS || VORANCOM2.DSINIT[d] != voran::INIT_MARK) {
    MERROR("MQCINQ: SELECTED SUBSYSTEM NOT INITIALIZED");
    status = MST_NOT_INITIALIZED;
    return 0;
  }
  status = MST_OK;
  // Code 0 names no variable: no QC stage.
  return code == 0 ? 0 : VARTBL.QCSTAGE[code - 1][d];
}
