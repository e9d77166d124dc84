// Surface variables: the derivation routines the dispatcher hands files to.
// Each fills FILE_NREC(slot) records (times the file's levels) of the value,
// descriptor and mask arrays, sets QC_SOURCE and returns 0, 1005 (cannot be
// obtained from this file) or another status (the request fails).
#pragma once

#include <cstdint>

#include "core/core.h"

void MSFCWIND(int32_t code, int32_t dset, int32_t slot, float* val, char* qcd, float* qca,
              float* qcr, int32_t& status);
void MSFCPRS(int32_t code, int32_t dset, int32_t slot, float* val, char* qcd, float* qca,
             float* qcr, int32_t& status);
void MSFCMOI(int32_t code, int32_t dset, int32_t slot, float* val, char* qcd, float* qca,
             float* qcr, int32_t& status);
void MSFCPCP(int32_t code, int32_t dset, int32_t slot, float* val, char* qcd, float* qca,
             float* qcr, int32_t& status);
void MSFCPCHG(int32_t code, int32_t dset, int32_t slot, float* val, char* qcd, float* qca,
              float* qcr, int32_t& status);
void MSFCTV(int32_t code, int32_t dset, int32_t slot, float* val, char* qcd, float* qca,
            float* qcr, int32_t& status);
void MSFCSRAD(int32_t code, int32_t dset, int32_t slot, float* val, char* qcd, float* qca,
              float* qcr, int32_t& status);
void MSFCART(int32_t code, int32_t dset, int32_t slot, float* val, char* qcd, float* qca,
             float* qcr, int32_t& status);
void MSFCRDLFT(int32_t code, int32_t slot, float* val, char* qcd, float* qca, float* qcr,
               int32_t& status);
void MSFCSNOW(int32_t code, int32_t slot, float* val, char* qcd, float* qca, float* qcr,
              int32_t& status);
