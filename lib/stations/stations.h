// Station retrieval and filtering, projections, terrain, station elevation.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/core.h"

// ---- record reader (rdsta.cpp). Character arrays: stid, provider 10
// characters per entry; atype, rtype 5 characters per entry. ----
void MSFCRDSTA(int32_t dset, int32_t ncid, int32_t recdim, int32_t start, int32_t nrec,
               int32_t capacity, int32_t* obtime, char* stid, int32_t* wmoid, char* provider,
               float* lat, float* lon, float* elev, int32_t* subsrc, char* atype, char* rtype,
               int32_t& status);

// ---- filters (filter.cpp) ----
// subsrc_selected: SUBSRC_SELECTED of provider table 1, entry n at [n-1].
void MSFCFLTR(std::string_view time, int32_t winbefore, int32_t winafter, int32_t recwin,
              int32_t dset, float missing, const bool* subsrc_selected, int32_t n,
              int32_t* obtime, char* stid, int32_t* wmoid, char* provider, int32_t* subsrc,
              float* lat, float* lon, float* elev, char* atype, char* rtype, int32_t* fnum,
              int32_t* rnum, int32_t& nkeep);
// Rows are records of the file in slot VORANCOM2.QCFLTR_SLOT (for the in-grid test).
void MQCFLTR(int32_t vcode, int32_t dset, int32_t nval, int32_t nobs, const char* qcd,
             const int32_t* nlev, const int32_t* levtype, float* values);

// In-grid flag of record rec (1-based) of the file in slot (1..40).
bool IN_GRID(int32_t slot, int32_t rec);

// ---- domain and projections (projections.cpp) ----
bool MDOMFLTR(float lat, float lon);
float M_XGRID(float lat, float lon, float xpole, float truelat, float orient);
float M_YGRID(float lat, float lon, float ypole, float truelat, float orient);
// Both coordinates of one point, each exactly as M_XGRID and M_YGRID give it.
void M_XYGRID(float lat, float lon, float xpole, float ypole, float truelat, float orient,
              float& x, float& y);
void M_LCLLIJ(float lat, float lon, float lat1, float lon1, float dx, float orient, float tanlat,
              float cone, float& xi, float& yj);

// ---- terrain (terrain.cpp) ----
// grid(nx, ny, nz) column-major: element (i,j,k) at (i-1) + nx*((j-1) + ny*(k-1)).
float M_BICUBIC(float x, float y, int32_t k, int32_t nx, int32_t ny, int32_t nz,
                const float* grid);
void M_MARELV(int32_t n, float missing, const float* lat, const float* lon, float* elev);

// ---- station elevation variable (elevation.cpp) ----
void MSFCELEV(int32_t dset, int32_t slot, float* elev, char* qcd, float* qca, float* qcr,
              int32_t& status);
