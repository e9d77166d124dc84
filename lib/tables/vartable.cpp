// Variable-table readers.
#include "tables/tables.h"

void MSFCTBL(std::string_view, int32_t& status) { status = 0; }
void MUAPTTBL(int32_t, std::string_view, int32_t& status) { status = 0; }
void MHYDROTBL(std::string_view, int32_t& status) { status = 0; }
void MSATWNDTBL(std::string_view, int32_t& status) { status = 0; }
void MSATSNDTBL(std::string_view, int32_t& status) { status = 0; }
void MSATRADTBL(std::string_view, int32_t& status) { status = 0; }
void MSNOWTBL(std::string_view, int32_t& status) { status = 0; }
void MWISDOMTBL(std::string_view, int32_t& status) { status = 0; }
int32_t MQCINQ(int32_t, int32_t& status) { status = 0; return 0; }
