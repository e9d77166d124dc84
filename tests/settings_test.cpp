#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/core.h"

namespace {

// Every setting at once, to see that a refused call changes nothing.
struct Snapshot {
  int32_t qc, before, after, recwin, dom;
  float lat1, lat2, lon1, lon2, xpole, ypole, orient, truelat, cone, tanlat, dx;
  float xmin, xmax, ymin, ymax;
  static Snapshot take() {
    const auto& c = VORANCOM2;
    return {c.QC_LEVEL, c.WIN_BEFORE, c.WIN_AFTER, c.RECWIN, c.DOM_TYPE, c.DOM_LAT1,
            c.DOM_LAT2, c.DOM_LON1, c.DOM_LON2, c.DOM_XPOLE, c.DOM_YPOLE, c.DOM_ORIENT,
            c.DOM_TRUELAT, c.DOM_CONE, c.DOM_TANLAT, c.DOM_DX, c.DOM_XMIN, c.DOM_XMAX,
            c.DOM_YMIN, c.DOM_YMAX};
  }
  bool operator==(const Snapshot&) const = default;
};

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

}  // namespace

TEST(Settings, ValidValuesAreStored) {
  int32_t st = -1;
  for (int32_t level : {0, 1, 2, 3, 99}) {
    MSETQCLVL(level, st);
    EXPECT_EQ(st, 0);
    EXPECT_EQ(VORANCOM2.QC_LEVEL, level);
  }
  MSETWIN(-30, 30, 1, st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(VORANCOM2.WIN_BEFORE, -30);
  EXPECT_EQ(VORANCOM2.WIN_AFTER, 30);
  EXPECT_EQ(VORANCOM2.RECWIN, 1);

  MSETPSDOM(3897800.0f, 9182641.0f, -105.0f, 60.0f, 0.0f, 8.0e6f, 0.0f, 8.0e6f, st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(VORANCOM2.DOM_TYPE, 1);
  EXPECT_EQ(VORANCOM2.DOM_CONE, 1.0f);  // winds are turned with cone 1 on this grid
  MSETLCDOM(20.0f, -120.0f, 40000.0f, -95.0f, 25.0f, 0.4226f, 0.0f, 5.0e6f, 0.0f, 3.0e6f, st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(VORANCOM2.DOM_TYPE, 0);
  EXPECT_EQ(VORANCOM2.DOM_CONE, 0.4226f);
  MSETBOXDOM(25.0f, 50.0f, -130.0f, -60.0f, st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(VORANCOM2.DOM_TYPE, 2);
  EXPECT_EQ(VORANCOM2.DOM_LON2, -60.0f);
  MSETNODOM(st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(VORANCOM2.DOM_TYPE, -1);
}

TEST(Settings, InvalidValuesAreRefusedAndChangeNothing) {
  int32_t st = 0;
  MSETQCLVL(2, st);
  MSETWIN(-60, 0, 3, st);
  MSETBOXDOM(25.0f, 50.0f, -130.0f, -60.0f, st);
  const Snapshot before = Snapshot::take();

  auto refused = [&](auto call) {
    st = 0;
    call();
    EXPECT_EQ(st, MST_INVALID_SETTING);
    EXPECT_TRUE(Snapshot::take() == before);
  };
  refused([&] { MSETQCLVL(4, st); });
  refused([&] { MSETQCLVL(-1, st); });
  refused([&] { MSETQCLVL(98, st); });
  refused([&] { MSETWIN(10, -10, 1, st); });              // inverted window
  refused([&] { MSETWIN(-100001, 0, 1, st); });           // minutes that overflow as seconds
  refused([&] { MSETWIN(0, 40000000, 1, st); });
  refused([&] { MSETWIN(0, 0, 5, st); });
  refused([&] { MSETWIN(0, 0, -1, st); });
  refused([&] { MSETBOXDOM(50.0f, 25.0f, -130.0f, -60.0f, st); });
  refused([&] { MSETBOXDOM(kNaN, 50.0f, -130.0f, -60.0f, st); });
  refused([&] { MSETLCDOM(20.0f, -120.0f, 0.0f, -95.0f, 25.0f, 0.42f, 0, 1, 0, 1, st); });
  refused([&] { MSETLCDOM(20.0f, -120.0f, 4e4f, -95.0f, 0.0f, 0.42f, 0, 1, 0, 1, st); });
  refused([&] { MSETLCDOM(20.0f, -120.0f, 4e4f, -95.0f, 25.0f, 0.0f, 0, 1, 0, 1, st); });
  refused([&] { MSETLCDOM(20.0f, -120.0f, 4e4f, -95.0f, 25.0f, 0.42f, 2, 1, 0, 1, st); });
  refused([&] { MSETPSDOM(0, 0, -105.0f, -90.0f, 0, 1, 0, 1, st); });
  refused([&] { MSETPSDOM(0, 0, kNaN, 60.0f, 0, 1, 0, 1, st); });
  refused([&] { MSETPSDOM(0, 0, -105.0f, 60.0f, 0, 1, 5, 1, st); });
}
