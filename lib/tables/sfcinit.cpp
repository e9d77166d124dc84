// Surface dataset initialisation and close.
#include "tables/tables.h"

void MSFCINIT(std::string_view, std::string_view, std::string_view, std::string_view,
              int32_t& status) { status = 0; }
void MSFCCLS() {}
