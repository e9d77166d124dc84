// Configuration tables and the dataset registry: variable tables, code
// tables, surface initialisation, provider selection, other datasets.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/core.h"

// ---- variable tables (vartable.cpp) ----
void MSFCTBL(std::string_view path, int32_t& status);
void MUAPTTBL(int32_t k, std::string_view path, int32_t& status);
void MHYDROTBL(std::string_view path, int32_t& status);
void MSATWNDTBL(std::string_view path, int32_t& status);
void MSATSNDTBL(std::string_view path, int32_t& status);
void MSATRADTBL(std::string_view path, int32_t& status);
void MSNOWTBL(std::string_view path, int32_t& status);
void MWISDOMTBL(std::string_view path, int32_t& status);

// ---- code tables (codetable.cpp) ----
void MRDVCODE(int32_t dset, std::string_view path, int32_t& status);
// type receives one character.
void MGETVCN(std::string_view name, int32_t& code, char* type, int32_t& status);
// list: count strings of width characters each.
void M_CBSRCH(const char* list, int32_t width, std::string_view key, int32_t count,
              int32_t& pos, bool& found);

// ---- surface initialisation (sfcinit.cpp) ----
void MSFCINIT(std::string_view tblpath, std::string_view stadic, std::string_view srcin,
              std::string_view topo, int32_t& status);
void MSFCCLS();

// ---- other datasets (datasets.cpp) ----
void MUAPTINIT(int32_t k, std::string_view path, int32_t& status);
void MHYDROINIT(std::string_view path, int32_t& status);
void MSATWNDINIT(std::string_view path, int32_t& status);
void MSATSNDINIT(std::string_view path, int32_t& status);
void MSATRADINIT(std::string_view path, int32_t& status);
void MSNOWINIT(std::string_view path, std::string_view srcpath, int32_t& status);
void MWISDOMINIT(std::string_view path, int32_t& status);
void MUAPTCLS(int32_t k);
void MHYDROCLS();
void MSATWNDCLS();
void MSATSNDCLS();
void MSATRADCLS();
void MSNOWCLS();
void MWISDOMCLS();

// ---- provider selection (providers.cpp) ----
// names: n fields of 10 characters; srcnum: n source numbers out.
void M_IDSUBSRC(int32_t n, const char* names, int32_t* srcnum, int32_t& status);
void M_UPDSRCIN(int32_t ncid, int32_t recdim, int32_t& status);
