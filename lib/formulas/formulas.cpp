// Meteorological formulas. Everything is computed in single precision with
// float constants and single-precision math functions, one operation at a
// time in the order written, so that results are reproducible to the bit.

#include "formulas/formulas.h"

#include <cmath>

namespace {

// Temperatures above this are taken to be kelvin, at or below it Celsius.
constexpr float KELVIN_THRESHOLD = 150.0f;
constexpr float T0 = 273.15f;

float to_celsius(float t) { return t > KELVIN_THRESHOLD ? t - T0 : t; }

// x**3 and x**14 as the multiplication chains an optimising Fortran
// compiler emits for integer powers: x3 = x2*x, x14 = x7*x7, x7 = x4*x3.
float cube(float x) { return (x * x) * x; }
float pow14(float x) {
  const float x2 = x * x;
  const float x3 = x2 * x;
  const float x4 = x2 * x2;
  const float x7 = x4 * x3;
  return x7 * x7;
}

}  // namespace

float M_ALTPRS(float alt, float elev) {
  const float a = powf(1013.25f / alt, 0.190284f);
  return alt * powf(1.0f - 0.0065f * elev * a / 288.15f, 5.2553024f) + 0.3f;
}

float M_PRSALT(float prs, float elev) {
  return powf(powf(prs - 0.3f, 0.190284f) + 8.418497e-05f * elev, 5.2553024f);
}

float M_ZTOPSA(float z, float rmiss) {
  if (z > rmiss - 1.0f) return rmiss;
  if (z < 11000.0f) return 1013.2f * powf((288.0f - 0.0065f * z) / 288.0f, 5.256f);
  return 226.0971f * powf(10.0f, (11000.0f - z) / 14600.0f);
}

float M_STVPPR(float t, float rmiss) {
  if (t >= rmiss) return rmiss;
  if (t < KELVIN_THRESHOLD) return 611.2f * expf(17.67f * t / (t + 243.5f));
  return 611.2f * expf(17.67f * (t - T0) / (t - 29.65f));
}

// Saturation vapour pressure over water, hPa (Wobus polynomial).
float M_ESW(float t) {
  const float c = to_celsius(t);
  float p = c * -3.099457e-20f + 1.1112018e-17f;
  p = c * p - 1.7892322e-15f;
  p = c * p + 2.1874425e-13f;
  p = c * p - 2.9883884e-11f;
  p = c * p + 4.3884185e-09f;
  p = c * p - 6.111796e-07f;
  p = c * p + 7.873617e-05f;
  p = c * p - 0.0090826955f;
  p = c * p + 0.99999684f;
  const float p2 = p * p;
  const float p4 = p2 * p2;
  const float p8 = p4 * p4;
  return 6.1078f / p8;
}

float M_DEWPNT(float t, float rh, float rmiss) {
  if (t == rmiss || rh == rmiss) return rmiss;
  const float c = to_celsius(t);
  const float x = 1.0f - 0.01f * rh;
  float td = T0 - cube((0.007f * c + 2.5f) * x);
  td = td + c;
  td = td - (0.117f * c + 15.9f) * pow14(x);
  td = td - (0.114f * c + 14.55f) * x;
  return td;
}

// Relative humidity as a fraction: e_s(td) / e_s(t).
float M_RH(float t, float td, float rmiss) {
  if (t < rmiss && td < rmiss) return M_STVPPR(td, rmiss) / M_STVPPR(t, rmiss);
  return rmiss;
}

float M_WMR(float p, float t) {
  const float x = 0.02f * (t - 12.5f + 7500.0f / p);
  const float e = M_ESW(t) * (1.0f + 4.5e-06f * p + 0.0014f * (x * x));
  return 1000.0f * 0.62197f * e / (p - e);
}

float M_SSH(float p, float t) {
  const float w = 0.001f * M_WMR(p, t);
  return 1000.0f * w / (1.0f + w);
}

float M_RH2AH(float rh, float t, float rmiss) {
  if (t == rmiss || rh == rmiss) return rmiss;
  return 1000.0f * rh * M_ESW(t) / (461.855f * t);
}

float M_TD2AH(float td, float t, float rmiss) {
  if (t == rmiss || td == rmiss) return rmiss;
  return 1000.0f * 100.0f * M_ESW(td) / (461.855f * t);
}

// Virtual temperature, K; without dew point or pressure the plain
// temperature in kelvin.
float M_TV(float t, float td, float p, float rmiss) {
  if (t >= rmiss) return rmiss;
  const float tk = t < KELVIN_THRESHOLD ? t + T0 : t;
  if (td < rmiss && p != rmiss) return (1.0f + 0.37803f * M_ESW(td) / p) * tk;
  return tk;
}

void M_GETUV(float dd, float ff, float rmiss, float& u, float& v) {
  if (dd < rmiss && ff < rmiss) {
    const float a = 0.017453292f * dd;
    u = -ff * sinf(a);
    v = -ff * cosf(a);
  } else {
    u = rmiss;
    v = rmiss;
  }
}

void M_DDFF(float u, float v, float rmiss, float& dd, float& ff) {
  if (u == rmiss || v == rmiss) {
    dd = rmiss;
    ff = rmiss;
    return;
  }
  ff = sqrtf(u * u + v * v);
  if (ff == 0.0f) {
    dd = 0.0f;
    return;
  }
  dd = 57.29578f * atan2f(u, v) + 180.0f;
  if (dd > 360.0f) dd = dd - 360.0f;
}

void M_ROTFAC(float lon, float lon0, float cone, float& sina, float& cosa) {
  const float a = (lon0 - lon) * cone * 0.017453292f;
  sina = sinf(a);
  cosa = cosf(a);
}
