// Public retrieval settings: QC level, time window and record selection,
// domain. Each call validates everything before it changes anything.
#include <cmath>

#include "core/core.h"

namespace {

bool finite_all(std::initializer_list<float> v) {
  for (float x : v)
    if (!std::isfinite(x)) return false;
  return true;
}

void refuse(std::string_view message, int32_t& status) {
  status = MST_INVALID_SETTING;
  MERROR(message);
}

void set_range(float xmin, float xmax, float ymin, float ymax) {
  VORANCOM2.DOM_XMIN = xmin;
  VORANCOM2.DOM_XMAX = xmax;
  VORANCOM2.DOM_YMIN = ymin;
  VORANCOM2.DOM_YMAX = ymax;
}

}  // namespace

void MSETQCLVL(int32_t level, int32_t& status) {
  if (level != 0 && level != 1 && level != 2 && level != 3 && level != 99) {
    refuse("MSETQCLVL: INVALID QC LEVEL", status);
    return;
  }
  VORANCOM2.QC_LEVEL = level;
  status = MST_OK;
}

void MSETWIN(int32_t before, int32_t after, int32_t recwin, int32_t& status) {
  // Minutes become seconds of a 32-bit integer time: keep them far from overflow.
  constexpr int32_t kMaxMinutes = 100000;
  if (before < -kMaxMinutes || before > kMaxMinutes || after < -kMaxMinutes ||
      after > kMaxMinutes || before > after) {
    refuse("MSETWIN: INVALID TIME WINDOW", status);
    return;
  }
  if (recwin < 0 || recwin > 4) {
    refuse("MSETWIN: INVALID RECORD SELECTION", status);
    return;
  }
  VORANCOM2.WIN_BEFORE = before;
  VORANCOM2.WIN_AFTER = after;
  VORANCOM2.RECWIN = recwin;
  status = MST_OK;
}

void MSETNODOM(int32_t& status) {
  VORANCOM2.DOM_TYPE = -1;
  status = MST_OK;
}

void MSETLCDOM(float lat1, float lon1, float dx, float orient, float tanlat, float cone,
               float xmin, float xmax, float ymin, float ymax, int32_t& status) {
  if (!finite_all({lat1, lon1, dx, orient, tanlat, cone, xmin, xmax, ymin, ymax}) ||
      std::fabs(lat1) > 90.0f || dx <= 0.0f || tanlat == 0.0f || std::fabs(tanlat) >= 90.0f ||
      cone <= 0.0f || cone > 1.0f || xmin > xmax || ymin > ymax) {
    refuse("MSETLCDOM: INVALID LAMBERT CONFORMAL DOMAIN", status);
    return;
  }
  VORANCOM2.DOM_TYPE = 0;
  VORANCOM2.DOM_LAT1 = lat1;
  VORANCOM2.DOM_LON1 = lon1;
  VORANCOM2.DOM_DX = dx;
  VORANCOM2.DOM_ORIENT = orient;
  VORANCOM2.DOM_TANLAT = tanlat;
  VORANCOM2.DOM_CONE = cone;
  set_range(xmin, xmax, ymin, ymax);
  status = MST_OK;
}

void MSETPSDOM(float xpole, float ypole, float orient, float truelat, float xmin, float xmax,
               float ymin, float ymax, int32_t& status) {
  if (!finite_all({xpole, ypole, orient, truelat, xmin, xmax, ymin, ymax}) ||
      truelat <= -90.0f || truelat > 90.0f || xmin > xmax || ymin > ymax) {
    refuse("MSETPSDOM: INVALID POLAR STEREOGRAPHIC DOMAIN", status);
    return;
  }
  VORANCOM2.DOM_TYPE = 1;
  VORANCOM2.DOM_XPOLE = xpole;
  VORANCOM2.DOM_YPOLE = ypole;
  VORANCOM2.DOM_ORIENT = orient;
  VORANCOM2.DOM_TRUELAT = truelat;
  // Winds are turned to the grid with the stored cone factor: 1 for a
  // polar stereographic grid.
  VORANCOM2.DOM_CONE = 1.0f;
  set_range(xmin, xmax, ymin, ymax);
  status = MST_OK;
}

void MSETBOXDOM(float latmin, float latmax, float lonmin, float lonmax, int32_t& status) {
  if (!finite_all({latmin, latmax, lonmin, lonmax}) || latmin > latmax || lonmin > lonmax) {
    refuse("MSETBOXDOM: INVALID LATITUDE/LONGITUDE BOX", status);
    return;
  }
  VORANCOM2.DOM_TYPE = 2;
  VORANCOM2.DOM_LAT1 = latmin;
  VORANCOM2.DOM_LAT2 = latmax;
  VORANCOM2.DOM_LON1 = lonmin;
  VORANCOM2.DOM_LON2 = lonmax;
  status = MST_OK;
}
