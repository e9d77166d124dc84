// Variable-code tables.
#include "tables/tables.h"

void MRDVCODE(int32_t, std::string_view, int32_t& status) { status = 0; }
void MGETVCN(std::string_view, int32_t& code, char* type, int32_t& status) {
  code = 0; *type = ' '; status = 13;
}
void M_CBSRCH(const char*, int32_t, std::string_view, int32_t, int32_t& pos, bool& found) {
  pos = 1; found = false;
}
