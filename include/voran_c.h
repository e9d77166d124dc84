/* voran for C callers: the public calls under their Fortran-callable names.
   Arguments are pointers; character arguments are blank-padded fields whose
   lengths follow as the trailing size_t arguments, in argument order.
   LOGICAL flags are int32_t (0 false, anything else true). Character arrays
   (stid, obstime, provider, qcd) may have any element width: the trailing
   length gives it. The inline helpers take NUL-terminated inputs. */
#ifndef VORAN_C_H
#define VORAN_C_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#ifdef __cplusplus
extern "C" {
#endif

void minit_(const char* dataset, const char* database, const int32_t* msgsw, int32_t* status,
            size_t ldataset, size_t ldatabase);
void msetsfcpvdr_(const char* provider, const int32_t* select, int32_t* status,
                  size_t lprovider);
void mchrtim_(const int32_t* year, const int32_t* month, const int32_t* day,
              const int32_t* hour, const int32_t* minute, char* atime, int32_t* status,
              size_t latime);
void msfcsta_(const char* atime, int32_t* nsta, char* stid, int32_t* wmoid, float* lat,
              float* lon, float* elev, char* obstime, char* provider, int32_t* status,
              int32_t* source, size_t latime, size_t lstid, size_t lobstime, size_t lprovider);
void mgetsfc_(const char* atime, const char* varnam, int32_t* nsta, int32_t* nobs, float* obs,
              char* qcd, int32_t* qca, int32_t* qcr, int32_t* status, size_t latime,
              size_t lvarnam, size_t lqcd);
int32_t mqcinq_(const int32_t* code, int32_t* status);
void msetqclvl_(const int32_t* level, int32_t* status);
void msetwin_(const int32_t* before, const int32_t* after, const int32_t* recwin,
              int32_t* status);
void msetnodom_(int32_t* status);
void msetlcdom_(const float* lat1, const float* lon1, const float* dx, const float* orient,
                const float* tanlat, const float* cone, const float* xmin, const float* xmax,
                const float* ymin, const float* ymax, int32_t* status);
void msetpsdom_(const float* xpole, const float* ypole, const float* orient,
                const float* truelat, const float* xmin, const float* xmax, const float* ymin,
                const float* ymax, int32_t* status);
void msetboxdom_(const float* latmin, const float* latmax, const float* lonmin,
                 const float* lonmax, int32_t* status);

/* Helpers for NUL-terminated inputs and fixed library widths
   (stid and provider 10 characters, time strings 9, descriptors 1). */
static inline void voran_minit(const char* dataset, const char* database, int msgsw,
                               int32_t* status) {
  int32_t sw = msgsw ? 1 : 0;
  minit_(dataset, database, &sw, status, strlen(dataset), strlen(database));
}
static inline void voran_msetsfcpvdr(const char* provider, int select, int32_t* status) {
  int32_t sel = select ? 1 : 0;
  msetsfcpvdr_(provider, &sel, status, strlen(provider));
}
static inline void voran_mchrtim(int32_t year, int32_t month, int32_t day, int32_t hour,
                                 int32_t minute, char atime[9], int32_t* status) {
  mchrtim_(&year, &month, &day, &hour, &minute, atime, status, 9);
}
static inline void voran_msfcsta(const char atime[9], int32_t* nsta, char* stid,
                                 int32_t* wmoid, float* lat, float* lon, float* elev,
                                 char* obstime, char* provider, int32_t* status,
                                 int32_t* source) {
  msfcsta_(atime, nsta, stid, wmoid, lat, lon, elev, obstime, provider, status, source, 9, 10,
           9, 10);
}
static inline void voran_mgetsfc(const char atime[9], const char* varnam, int32_t* nsta,
                                 int32_t* nobs, float* obs, char* qcd, int32_t* qca,
                                 int32_t* qcr, int32_t* status) {
  mgetsfc_(atime, varnam, nsta, nobs, obs, qcd, qca, qcr, status, 9, strlen(varnam), 1);
}

#ifdef __cplusplus
}
#endif

#endif
