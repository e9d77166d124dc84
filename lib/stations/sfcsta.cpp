// Station list for a time: opens the files of every selected surface
// network that cover the time, reads every report's identity, filters and
// de-duplicates the reports network by network and lists the survivors.
// The open files and the list (file slot and record of each station) stay
// in SFCSTRN/SFCSTRC for the variable requests that follow.
#include <netcdf.h>

#include <cstdint>
#include <cstring>

#include "core/filecache.h"
#include "stations/stations.h"
#include "tables/tables.h"

namespace {

using voran::MAXREPORTS;
using voran::MAXSTATIONS;

constexpr int32_t MAX_FILES_PER_SOURCE = 4;

// Report work arrays of one network, entry j at [j-1].
int32_t OBTIME[MAXREPORTS];
char STIDL[MAXREPORTS][10];
int32_t WMOIDL[MAXREPORTS];
char PROVL[MAXREPORTS][10];
int32_t SUBSRC[MAXREPORTS];
float LATL[MAXREPORTS];
float LONL[MAXREPORTS];
float ELEVL[MAXREPORTS];
char ATYPE[MAXREPORTS][5];
char RTYPE[MAXREPORTS][5];
int32_t FNUML[MAXREPORTS];
int32_t RNUML[MAXREPORTS];

// In-grid flags of every record of every open file: slot s's records start
// at GRID_OFF[s-1]. Each network holds at most MAXREPORTS records.
unsigned char GRID_FLAGS[static_cast<std::size_t>(voran::NSRC) * MAXREPORTS];
int64_t GRID_OFF[voran::NFSLOTS];

char FTIME[9];

// National grid frame (polar stereographic, true at 60N, orientation 105W).
bool in_frame(float lat, float lon) {
  if (lat == -90.0f || lat == 90.0f) return false;
  if (lat == voran::RMISS || lon == voran::RMISS) return false;  // no position
  float x = 0.0f, y = 0.0f;
  M_XYGRID(lat, lon, 3897800.0f, 9182641.0f, 60.0f, -105.0f, x, y);
  return x >= -7500.0f && x <= 8677500.0f && y >= -7500.0f && y <= 8197500.0f;
}

void release_slot(int32_t s, bool close, int32_t d) {
  if (close) {
    MVORANCLS1(SFCSTRN.FILE_NCID[s - 1], {SFCSTRC.DSET_DIR[d - 1], voran::PATHLEN},
               SFCSTRN.DSET_DIRLEN[d - 1], {SFCSTRC.FILE_NAME[s - 1], 13});
  }
  SFCSTRN.FILE_NCID[s - 1] = -1;
  SFCSTRN.FILE_COUNT = s - 1;
}

void too_many(int32_t& nsta, int32_t& status) {
  nsta = 0;
  SFCSTRN.STATION_COUNT = 0;
  std::memset(VORANCOM1.LIST_TIME[0], ' ', 9);
  status = MST_TOO_MANY_RECORDS;
  MERROR("MSFCSTA: TOO MANY RECORDS REQUESTED");
}

}  // namespace

bool IN_GRID(int32_t slot, int32_t rec) {
  if (slot < 1 || slot > SFCSTRN.FILE_COUNT || slot > voran::NFSLOTS) return false;
  if (SFCSTRN.FILE_NCID[slot - 1] == -1) return false;
  if (rec < 1 || rec > SFCSTRN.FILE_NREC[slot - 1]) return false;
  return GRID_FLAGS[GRID_OFF[slot - 1] + rec - 1] != 0;
}

void MSFCSTA(std::string_view atime, int32_t& nsta, char* stid, int32_t* wmoid, float* lat,
             float* lon, float* elev, char* obstime, char* provider, int32_t& status,
             int32_t* source) {
  if (VORANCOM2.DSINIT[0] != voran::INIT_MARK) {
    status = MST_NOT_INITIALIZED;
    MERROR("MSFCSTA: SELECTED SUBSYSTEM NOT INITIALIZED - SFC");
    return;
  }
  int32_t t = 0;
  M_MKI4TM(atime, t, status);
  if (status != 0) {
    MERROR("MSFCSTA: INVALID TIME");
    return;
  }

  MSFCCLS();
  // Every slot starts empty, also those no earlier request used.
  for (int32_t& id : SFCSTRN.FILE_NCID) id = -1;
  std::memset(VORANCOM1.LIST_TIME[0], ' ', 9);
  SFCSTRN.FILE_COUNT = 0;
  SFCSTRN.STATION_COUNT = 0;
  MCOM2.CURDSET = 0;
  MCOM2.DBNUM = VORANCOM2.DSBASE[0];

  int64_t grid_used = 0;
  bool stop = false;
  for (int32_t d = 1; d <= voran::NSRC && !stop; ++d) {
    if (!VORANCOM2.SRC_SELECT[d - 1]) continue;
    int32_t first = 0, nfile = 0;
    MSFILES(d, t, first, nfile);
    if (nfile > MAX_FILES_PER_SOURCE) {
      too_many(nsta, status);
      return;
    }
    const std::string_view dir{SFCSTRC.DSET_DIR[d - 1], voran::PATHLEN};
    const int32_t dirlen = SFCSTRN.DSET_DIRLEN[d - 1];
    int32_t r = 1;  // next free work-array entry
    int64_t ftime = first;
    for (int32_t f = 0; f < nfile; ++f) {
      const int32_t s = ++SFCSTRN.FILE_COUNT;
      int32_t st = (ftime >= INT32_MIN && ftime <= INT32_MAX) ? 0 : MST_BAD_TIME;
      if (st == 0) M_MKFNAM(static_cast<int32_t>(ftime), FTIME, st);
      ftime += VORANCOM2.FILE_PERIOD[d - 1];
      if (st == 0) M_MKWFNM({FTIME, 9}, SFCSTRC.FILE_NAME[s - 1], st);
      if (st != 0) {
        release_slot(s, false, d);
        continue;
      }
      int32_t ncid = -1;
      MVORANOPEN(dir, dirlen, {SFCSTRC.FILE_NAME[s - 1], 13}, ncid, st);
      if (st != 0) {
        release_slot(s, false, d);
        continue;
      }
      SFCSTRN.FILE_NCID[s - 1] = ncid;
      int recdim = -1;
      size_t nrec = 0;
      if (nc_inq_unlimdim(ncid, &recdim) != NC_NOERR || recdim < 0 ||
          voran::fc_inq_dimlen(ncid, recdim, nrec) != NC_NOERR || nrec == 0) {
        release_slot(s, true, d);
        continue;
      }
      if (static_cast<int64_t>(r) + static_cast<int64_t>(nrec) - 1 > MAXREPORTS) {
        release_slot(s, true, d);
        stop = true;
        break;
      }
      const auto n = static_cast<int32_t>(nrec);
      SFCSTRN.FILE_RECDIM[s - 1] = recdim;
      SFCSTRN.FILE_NREC[s - 1] = n;
      const int32_t o = r - 1;
      MSFCRDSTA(d, ncid, recdim, 1, n, MAXREPORTS - o, OBTIME + o, STIDL[o], WMOIDL + o,
                PROVL[o], LATL + o, LONL + o, ELEVL + o, SUBSRC + o, ATYPE[o], RTYPE[o], st);
      if (st != 0) {
        release_slot(s, true, d);
        continue;
      }
      GRID_OFF[s - 1] = grid_used;
      for (int32_t q = 1; q <= n; ++q) {
        int32_t j = o + q - 1;
        FNUML[j] = s;
        RNUML[j] = q;
        GRID_FLAGS[grid_used + q - 1] = in_frame(LATL[j], LONL[j]) ? 1 : 0;
      }
      grid_used += n;
      r += n;
      SFCSTRN.FILE_DSET[s - 1] = d;
    }

    const int32_t nrep = r - 1;
    if (nrep == 0) continue;
    int32_t m = 0;
    MSFCFLTR(atime, VORANCOM2.WIN_BEFORE, VORANCOM2.WIN_AFTER, VORANCOM2.RECWIN, d,
             voran::RMISS, PROVTBL.SUBSRC_SELECTED[0], nrep, OBTIME, STIDL[0], WMOIDL,
             PROVL[0], SUBSRC, LATL, LONL, ELEVL, ATYPE[0], RTYPE[0], FNUML, RNUML, m);
    if (SFCSTRN.STATION_COUNT + m > MAXSTATIONS) {
      too_many(nsta, status);
      return;
    }
    for (int32_t i = 0; i < m; ++i) {
      const std::size_t k = static_cast<std::size_t>(SFCSTRN.STATION_COUNT) + i;
      std::memcpy(stid + 10 * k, STIDL[i], 10);
      wmoid[k] = WMOIDL[i];
      lat[k] = LATL[i];
      lon[k] = LONL[i];
      elev[k] = ELEVL[i];
      int32_t st = 0;
      M_MKFNAM(OBTIME[i], obstime + 9 * k, st);
      if (st != 0) std::memset(obstime + 9 * k, ' ', 9);
      std::memcpy(provider + 10 * k, PROVL[i], 10);
      SFCSTRN.STA_FILE[k] = FNUML[i];
      SFCSTRN.STA_REC[k] = RNUML[i];
      source[k] = d;
    }
    SFCSTRN.STATION_COUNT += m;
  }

  if (SFCSTRN.STATION_COUNT >= 1) {
    nsta = SFCSTRN.STATION_COUNT;
    std::memcpy(VORANCOM1.LIST_TIME[0], atime.data(), 9);
    status = MST_OK;
  } else {
    nsta = 0;
    status = MST_NO_DATA;
    char msg[30];
    std::memcpy(msg, "MSFCSTA: NO DATA FOR ", 21);
    std::memcpy(msg + 21, atime.data(), 9);
    MERROR({msg, 30});
  }
}
