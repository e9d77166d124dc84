/* A C program using the library through voran_c.h: initialise the surface
   dataset, make a time string and exercise the settings calls. */
#include <stdio.h>
#include <string.h>

#include "voran_c.h"

static int failures = 0;

static void expect(int cond, const char* what) {
  if (!cond) {
    printf("FAILED: %s\n", what);
    failures++;
  }
}

int main(void) {
  int32_t status = -1;
  char atime[9];
  voran_minit("SFC", "ZEM", 0, &status);
  expect(status == 0, "MINIT SFC ZEM succeeds");
  voran_mchrtim(2021, 8, 25, 20, 0, atime, &status);
  expect(status == 0 && memcmp(atime, "212372000", 9) == 0, "MCHRTIM 2021-08-25 20:00");
  voran_mchrtim(2021, 2, 30, 20, 0, atime, &status);
  expect(status == 4, "MCHRTIM refuses 30 February");

  int32_t level = 4;
  msetqclvl_(&level, &status);
  expect(status == 15, "QC level 4 refused");
  level = 99;
  msetqclvl_(&level, &status);
  expect(status == 0, "QC level 99 accepted");
  float lat1 = 25.0f, lat2 = 50.0f, lon1 = -130.0f, lon2 = -60.0f;
  msetboxdom_(&lat1, &lat2, &lon1, &lon2, &status);
  expect(status == 0, "box domain accepted");
  voran_msetsfcpvdr("ALL-MESO", 1, &status);
  expect(status == 0, "MSETSFCPVDR ALL-MESO");
  int32_t code = 8;
  int32_t stage = mqcinq_(&code, &status);
  expect(status == 0 && stage >= 0 && stage <= 3, "MQCINQ of temperature");
  printf("%d passed, %d failed\n", 8 - failures, failures);
  return failures == 0 ? 0 : 1;
}
