// Domain filter and the two map projections: polar stereographic
// (M_XGRID, M_YGRID) and Lambert conformal (M_LCLLIJ). Everything is
// computed in single precision.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "stations/stations.h"

namespace {
constexpr float PS_RADIUS = 6366707.0f;   // earth radius of the stereographic frame, m
constexpr float PS_DEG2RAD = 0.01745329f;
constexpr float LC_RADIUS = 6371200.0f;   // earth radius of the Lambert grid, m
constexpr float LC_DEG2RAD = 0.01745328f;

// Sine of the true latitude; callers project many points with one true
// latitude, so the last one is kept (matched by its bits).
struct TrueLatSine {
  uint32_t bits;
  float sine;
  bool valid;
};
TrueLatSine TRUELAT_SINE;

float truelat_sine(float truelat) {
  uint32_t bits = 0;
  std::memcpy(&bits, &truelat, sizeof bits);
  if (!TRUELAT_SINE.valid || TRUELAT_SINE.bits != bits)
    TRUELAT_SINE = {bits, sinf(truelat * PS_DEG2RAD), true};
  return TRUELAT_SINE.sine;
}

// Distance from the pole in the stereographic plane.
float ps_radius(float lat, float truelat) {
  float s = sinf(lat * PS_DEG2RAD);
  float c = cosf(lat * PS_DEG2RAD);
  float t = truelat_sine(truelat);
  return PS_RADIUS * c * (1.0f + t) / (1.0f + s);
}

// Angle of a longitude in the stereographic plane, radians.
float ps_angle(float lon, float orient) { return (lon - 90.0f - orient) * PS_DEG2RAD; }

// Longitude brought within 180 degrees of the orientation (one step each way).
float near_orient(float lon, float orient) {
  if (lon - orient > 180.0f) lon -= 360.0f;
  if (lon - orient < -180.0f) lon += 360.0f;
  return lon;
}

// Distance from the cone's apex in grid units.
float lc_radius(float lat, float k, float h, float cone) {
  float s = sinf(lat * LC_DEG2RAD);
  float c = cosf(lat * LC_DEG2RAD);
  if (s == -1.0f) s = -0.999999f;
  return k * powf(c / (1.0f + h * s), cone) / cone;
}

// Outside the accepted x/y range; a position that cannot be projected
// (NaN) is outside too.
bool outside_xy(float x, float y) {
  const VORANCOM2_t& d = VORANCOM2;
  return !(x >= d.DOM_XMIN && x <= d.DOM_XMAX && y >= d.DOM_YMIN && y <= d.DOM_YMAX);
}
}  // namespace

float M_XGRID(float lat, float lon, float xpole, float truelat, float orient) {
  return xpole + ps_radius(lat, truelat) * cosf(ps_angle(lon, orient));
}

float M_YGRID(float lat, float lon, float ypole, float truelat, float orient) {
  return ypole + ps_radius(lat, truelat) * sinf(ps_angle(lon, orient));
}

void M_XYGRID(float lat, float lon, float xpole, float ypole, float truelat, float orient,
              float& x, float& y) {
  const float r = ps_radius(lat, truelat);
  const float a = ps_angle(lon, orient);
  x = xpole + r * cosf(a);
  y = ypole + r * sinf(a);
}

void M_LCLLIJ(float lat, float lon, float lat1, float lon1, float dx, float orient, float tanlat,
              float cone, float& xi, float& yj) {
  float h = tanlat > 0.0f ? 1.0f : -1.0f;
  float k = (LC_RADIUS / dx) * powf(cosf(tanlat * LC_DEG2RAD), 1.0f - cone) *
            powf(1.0f + cone, cone);
  float d1 = lc_radius(lat1, k, h, cone);
  float b1 = (near_orient(lon1, orient) - orient) * cone * LC_DEG2RAD;
  float d = lc_radius(lat, k, h, cone);
  float b = (near_orient(lon, orient) - orient) * cone * LC_DEG2RAD;
  xi = (d * sinf(b) - d1 * sinf(b1)) * h + 1.0f;
  yj = d1 * cosf(b1) + 1.0f - d * cosf(b);
  if (xi < 1.0f) xi = xi - 1.0f;
  if (yj < 1.0f) yj = yj - 1.0f;
}

bool MDOMFLTR(float lat, float lon) {
  const VORANCOM2_t& d = VORANCOM2;
  switch (d.DOM_TYPE) {
    case 0: {
      if ((lat == -90.0f && d.DOM_TANLAT > 0.0f) || (lat == 90.0f && d.DOM_TANLAT < 0.0f))
        return true;
      float xi = 0.0f, yj = 0.0f;
      M_LCLLIJ(lat, lon + 360.0f, d.DOM_LAT1, d.DOM_LON1 + 360.0f, d.DOM_DX,
               d.DOM_ORIENT + 360.0f, d.DOM_TANLAT, d.DOM_CONE, xi, yj);
      return outside_xy((xi - 1.0f) * d.DOM_DX, (yj - 1.0f) * d.DOM_DX);
    }
    case 1: {
      if (lat == -90.0f) return true;
      float x = 0.0f, y = 0.0f;
      M_XYGRID(lat, lon, d.DOM_XPOLE, d.DOM_YPOLE, d.DOM_TRUELAT, d.DOM_ORIENT, x, y);
      return outside_xy(x, y);
    }
    case 2:
      return !(d.DOM_LAT1 <= lat && lat <= d.DOM_LAT2 && d.DOM_LON1 <= lon && lon <= d.DOM_LON2);
    default:
      return false;
  }
}
