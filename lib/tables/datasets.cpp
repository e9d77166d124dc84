// Other datasets: initialisation and close.
#include "tables/tables.h"

void MUAPTINIT(int32_t, std::string_view, int32_t& status) { status = 0; }
void MHYDROINIT(std::string_view, int32_t& status) { status = 0; }
void MSATWNDINIT(std::string_view, int32_t& status) { status = 0; }
void MSATSNDINIT(std::string_view, int32_t& status) { status = 0; }
void MSATRADINIT(std::string_view, int32_t& status) { status = 0; }
void MSNOWINIT(std::string_view, std::string_view, int32_t& status) { status = 0; }
void MWISDOMINIT(std::string_view, int32_t& status) { status = 0; }
void MUAPTCLS(int32_t) {}
void MHYDROCLS() {}
void MSATWNDCLS() {}
void MSATSNDCLS() {}
void MSATRADCLS() {}
void MSNOWCLS() {}
void MWISDOMCLS() {}
