// MERROR: the library's single message writer.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/core.h"

// Messages go out in list-directed form (a leading blank, one record). Before
// a database is chosen they go to the FILEUNITS unit: unit 6 is a Fortran
// caller's standard output; every other unit, 0 (standard error) by default,
// goes to standard error (unit 5 is standard input and cannot be written).
namespace {
// The last message composed, kept for MGETMSG (owned by MERROR).
struct LASTMSG_t {
  char TEXT[512];
  int32_t LEN;
};
LASTMSG_t LASTMSG;
}  // namespace

void MERROR(std::string_view message) {
  const std::size_t n = std::min(message.size(), sizeof LASTMSG.TEXT);
  std::memcpy(LASTMSG.TEXT, message.data(), n);
  LASTMSG.LEN = static_cast<int32_t>(n);
  if (!MCOM2.MSGFLAG) return;
  std::FILE* out = stdout;
  if (MCOM2.DBNUM == 0) out = FILEUNITS.UNIT[1] == 6 ? stdout : stderr;
  std::fputc(' ', out);
  std::fwrite(message.data(), 1, message.size(), out);
  std::fputc('\n', out);
  std::fflush(out);
}

int32_t MGETMSG(char* text, int32_t len) {
  if (text != nullptr && len > 0) std::memcpy(text, LASTMSG.TEXT, std::min(len, LASTMSG.LEN));
  return LASTMSG.LEN;
}

void MCLRMSG() { LASTMSG.LEN = 0; }
