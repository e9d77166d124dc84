// Messages of the calling-convention layer: a failing call prints one message.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "core/core.h"
#include "testutil.h"
#include "voran_c.h"

namespace {

TEST(ReviewCore, FortranMgetsfcWithWideDescriptorsPrintsOneMessage) {
  const std::string data = testutil::make_tmpdir();
  setenv("VORAN_STATIC", testutil::static_dir().c_str(), 1);
  setenv("VORAN_DATA", data.c_str(), 1);
  unsetenv("VORAN_SERVER");
  int32_t status = -1;
  MINIT("SFC", "ZEM", true, status);
  ASSERT_EQ(status, 0);
  // A station list for this time, so that the call gets as far as the name.
  std::memcpy(VORANCOM1.LIST_TIME[0], "212372000", 9);

  static float obs[8];
  static char qcd[8 * 6];
  static int32_t qca[8], qcr[8];
  int32_t nsta = 0, nobs = 0;
  const char* atime = "212372000";
  const char* name = "NOSUCH ";
  // A caller whose descriptors are CHARACTER*6.
  testing::internal::CaptureStdout();
  mgetsfc_(atime, name, &nsta, &nobs, obs, qcd, qca, qcr, &status, 9, 7, 6);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(status, 13);
  EXPECT_EQ(out,
            " MGETVCN: INVALID VARIABLE CODE -- SFC                  -- NOSUCH \n");
  std::memset(VORANCOM1.LIST_TIME[0], ' ', 9);
}

}  // namespace
