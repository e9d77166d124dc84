// MERROR: the library's single message writer.
#include <cstdio>

#include "core/core.h"

// Messages go out in list-directed form (a leading blank, one record). Before
// a database is chosen they go to the FILEUNITS unit: 5 and 6 are the
// standard streams of a Fortran caller, anything else is standard error.
void MERROR(std::string_view message) {
  if (!MCOM2.MSGFLAG) return;
  std::FILE* out = stdout;
  if (MCOM2.DBNUM == 0) {
    int32_t unit = FILEUNITS.UNIT[1];
    out = (unit == 5 || unit == 6) ? stdout : stderr;
  }
  std::fputc(' ', out);
  std::fwrite(message.data(), 1, message.size(), out);
  std::fputc('\n', out);
  std::fflush(out);
}
