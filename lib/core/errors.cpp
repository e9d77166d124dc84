// MERROR: the library's single message writer.
#include <cstdio>

#include "core/core.h"

// Messages go out in list-directed form (a leading blank, one record). Before
// a database is chosen they go to the FILEUNITS unit: unit 6 is a Fortran
// caller's standard output; every other unit, 0 (standard error) by default,
// goes to standard error (unit 5 is standard input and cannot be written).
void MERROR(std::string_view message) {
  if (!MCOM2.MSGFLAG) return;
  std::FILE* out = stdout;
  if (MCOM2.DBNUM == 0) out = FILEUNITS.UNIT[1] == 6 ? stdout : stderr;
  std::fputc(' ', out);
  std::fwrite(message.data(), 1, message.size(), out);
  std::fputc('\n', out);
  std::fflush(out);
}
