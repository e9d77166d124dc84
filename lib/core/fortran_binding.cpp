// Binding of the public calls for Fortran (gfortran's convention: lower-case
// names with a trailing underscore, every argument by reference, LOGICAL as a
// 4-byte integer, character lengths as hidden size_t arguments at the end)
// and for C through include/voran_c.h.
//
// Character arrays of any declared element width are accepted: when a
// caller's width differs from the library's, the values pass through fixed
// staging storage and are cut or blank-padded to the caller's width.
#include <algorithm>
#include <cstddef>
#include <cstring>

#include "core/core.h"
#include "tables/tables.h"
#include "voran_c.h"

namespace {

using voran::MAXSTATIONS;

// Staging storage for character arrays whose element width is not the library's.
char STAGE_STID[MAXSTATIONS * 10];
char STAGE_OBSTIME[MAXSTATIONS * 9];
char STAGE_PROVIDER[MAXSTATIONS * 10];
char STAGE_QCD[MAXSTATIONS * 6];

// Copy n fields of width from into fields of width to, cutting or padding.
void refit(const char* src, std::size_t from, char* dst, std::size_t to, int32_t n) {
  for (int32_t i = 0; i < n; ++i)
    voran::fset(dst + static_cast<std::size_t>(i) * to, to,
                std::string_view(src + static_cast<std::size_t>(i) * from, from));
}

}  // namespace

extern "C" {

void minit_(const char* dataset, const char* database, const int32_t* msgsw, int32_t* status,
            size_t ldataset, size_t ldatabase) {
  MINIT({dataset, ldataset}, {database, ldatabase}, *msgsw != 0, *status);
}

void msetsfcpvdr_(const char* provider, const int32_t* select, int32_t* status,
                  size_t lprovider) {
  MSETSFCPVDR({provider, lprovider}, *select != 0, *status);
}

void mchrtim_(const int32_t* year, const int32_t* month, const int32_t* day,
              const int32_t* hour, const int32_t* minute, char* atime, int32_t* status,
              size_t latime) {
  char buf[9];
  std::memset(buf, ' ', sizeof buf);
  MCHRTIM(*year, *month, *day, *hour, *minute, buf, *status);
  voran::fset(atime, latime, {buf, sizeof buf});
}

void msfcsta_(const char* atime, int32_t* nsta, char* stid, int32_t* wmoid, float* lat,
              float* lon, float* elev, char* obstime, char* provider, int32_t* status,
              int32_t* source, size_t latime, size_t lstid, size_t lobstime, size_t lprovider) {
  char* s = lstid == 10 ? stid : STAGE_STID;
  char* o = lobstime == 9 ? obstime : STAGE_OBSTIME;
  char* p = lprovider == 10 ? provider : STAGE_PROVIDER;
  *nsta = 0;
  MSFCSTA({atime, latime}, *nsta, s, wmoid, lat, lon, elev, o, p, *status, source);
  if (*status != MST_OK) return;
  int32_t n = std::clamp(*nsta, 0, MAXSTATIONS);
  if (s != stid) refit(s, 10, stid, lstid, n);
  if (o != obstime) refit(o, 9, obstime, lobstime, n);
  if (p != provider) refit(p, 10, provider, lprovider, n);
}

void mgetsfc_(const char* atime, const char* varnam, int32_t* nsta, int32_t* nobs, float* obs,
              char* qcd, int32_t* qca, int32_t* qcr, int32_t* status, size_t latime,
              size_t lvarnam, size_t lqcd) {
  char* q = lqcd == 1 ? qcd : STAGE_QCD;
  MGETSFC({atime, latime}, {varnam, lvarnam}, *nsta, *nobs, obs, q, qca, qcr, *status);
  if (q == qcd) return;
  // Refit the NLEV descriptors per station the library wrote. The lookup is
  // silent: MGETSFC has already reported an unknown name.
  int32_t code = 0, vstatus = 0;
  char type = ' ';
  const bool msg = MCOM2.MSGFLAG;
  MCOM2.MSGFLAG = false;
  MGETVCN({varnam, lvarnam}, code, &type, vstatus);
  MCOM2.MSGFLAG = msg;
  int32_t nlev = (code == 40 || code == 41) ? 2 : (code == 44 ? 6 : 1);
  refit(q, 1, qcd, lqcd, std::clamp(*nsta, 0, MAXSTATIONS) * nlev);
}

int32_t mqcinq_(const int32_t* code, int32_t* status) { return MQCINQ(*code, *status); }

void msetqclvl_(const int32_t* level, int32_t* status) { MSETQCLVL(*level, *status); }

void msetwin_(const int32_t* before, const int32_t* after, const int32_t* recwin,
              int32_t* status) {
  MSETWIN(*before, *after, *recwin, *status);
}

void msetnodom_(int32_t* status) { MSETNODOM(*status); }

void msetlcdom_(const float* lat1, const float* lon1, const float* dx, const float* orient,
                const float* tanlat, const float* cone, const float* xmin, const float* xmax,
                const float* ymin, const float* ymax, int32_t* status) {
  MSETLCDOM(*lat1, *lon1, *dx, *orient, *tanlat, *cone, *xmin, *xmax, *ymin, *ymax, *status);
}

void msetpsdom_(const float* xpole, const float* ypole, const float* orient,
                const float* truelat, const float* xmin, const float* xmax, const float* ymin,
                const float* ymax, int32_t* status) {
  MSETPSDOM(*xpole, *ypole, *orient, *truelat, *xmin, *xmax, *ymin, *ymax, *status);
}

void msetboxdom_(const float* latmin, const float* latmax, const float* lonmin,
                 const float* lonmax, int32_t* status) {
  MSETBOXDOM(*latmin, *latmax, *lonmin, *lonmax, *status);
}

}  // extern "C"
