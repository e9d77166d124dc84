// Meteorological formulas: the exact edge values, and sweeps over the
// physical range against an independent double-precision evaluation.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>

#include "formulas/formulas.h"

namespace {

constexpr float RM = 999999.0f;

// ---- double-precision references, written from the textbook forms ----
double c_of(double t) { return t > 150.0 ? t - 273.15 : t; }

double esw_d(double t) {
  const double c = c_of(t);
  const double coef[] = {-3.099457e-20, 1.1112018e-17, -1.7892322e-15, 2.1874425e-13,
                         -2.9883884e-11, 4.3884185e-09, -6.111796e-07,  7.873617e-05,
                         -0.0090826955};
  double p = 0.0;
  for (double k : coef) p = (p + k) * c;
  p += 0.99999684;
  return 6.1078 / std::pow(p, 8);
}

double stvppr_d(double t) {
  const double c = c_of(t);
  return 611.2 * std::exp(17.67 * c / (c + 243.5));
}

double wmr_d(double p, double t) {
  const double x = 0.02 * (t - 12.5 + 7500.0 / p);
  const double e = esw_d(t) * (1.0 + 4.5e-06 * p + 0.0014 * x * x);
  return 621.97 * e / (p - e);
}

double dewpnt_d(double t, double rh) {
  const double c = c_of(t);
  const double x = 1.0 - rh / 100.0;
  return 273.15 + c - std::pow((0.007 * c + 2.5) * x, 3) - (0.117 * c + 15.9) * std::pow(x, 14) -
         (0.114 * c + 14.55) * x;
}

double altprs_d(double alt, double elev) {
  const double a = std::pow(1013.25 / alt, 0.190284);
  return alt * std::pow(1.0 - 0.0065 * elev * a / 288.15, 5.2553024) + 0.3;
}

double prsalt_d(double prs, double elev) {
  return std::pow(std::pow(prs - 0.3, 0.190284) + 8.418497e-05 * elev, 5.2553024);
}

double ztopsa_d(double z) {
  if (z < 11000.0) return 1013.2 * std::pow(1.0 - 0.0065 * z / 288.0, 5.256);
  return 226.0971 * std::pow(10.0, (11000.0 - z) / 14600.0);
}

// A two-argument formula, its reference, the ranges swept and the
// relative tolerance allowed.
struct SweepRow {
  const char* name;
  std::function<float(float, float)> f;
  std::function<double(double, double)> ref;
  double x0, x1, y0, y1;
  double reltol;
};

TEST(FormulasTest, SweepsAgreeWithDoublePrecision) {
  const SweepRow rows[] = {
      {"M_ALTPRS", M_ALTPRS, altprs_d, 850.0, 1085.0, -400.0, 4500.0, 2e-6},
      {"M_PRSALT", M_PRSALT, prsalt_d, 550.0, 1085.0, -400.0, 4500.0, 2e-6},
      {"M_ZTOPSA", [](float z, float) { return M_ZTOPSA(z, RM); },
       [](double z, double) { return ztopsa_d(z); }, -400.0, 30000.0, 0, 0, 5e-6},
      {"M_STVPPR K", [](float t, float) { return M_STVPPR(t, RM); },
       [](double t, double) { return stvppr_d(t); }, 150.5, 330.0, 0, 0, 5e-6},
      {"M_STVPPR C", [](float t, float) { return M_STVPPR(t, RM); },
       [](double t, double) { return stvppr_d(t); }, -80.0, 60.0, 0, 0, 5e-6},
      {"M_ESW K", [](float t, float) { return M_ESW(t); },
       [](double t, double) { return esw_d(t); }, 193.0, 330.0, 0, 0, 5e-6},
      {"M_ESW C", [](float t, float) { return M_ESW(t); },
       [](double t, double) { return esw_d(t); }, -80.0, 60.0, 0, 0, 5e-6},
      {"M_DEWPNT C", [](float t, float rh) { return M_DEWPNT(t, rh, RM); }, dewpnt_d, -40.0,
       45.0, 1.0, 100.0, 2e-6},
      {"M_DEWPNT K", [](float t, float rh) { return M_DEWPNT(t, rh, RM); }, dewpnt_d, 233.15,
       318.15, 1.0, 100.0, 2e-6},
      {"M_RH", [](float t, float td) { return M_RH(t, td, RM); },
       [](double t, double td) { return stvppr_d(td) / stvppr_d(t); }, 233.15, 318.15, 233.15,
       318.15, 1e-5},
      {"M_WMR", M_WMR, wmr_d, 500.0, 1085.0, -40.0, 40.0, 1e-5},
      {"M_SSH", M_SSH,
       [](double p, double t) {
         const double w = 0.001 * wmr_d(p, t);
         return 1000.0 * w / (1.0 + w);
       },
       500.0, 1085.0, -40.0, 40.0, 1e-5},
      {"M_RH2AH", [](float rh, float t) { return M_RH2AH(rh, t, RM); },
       [](double rh, double t) { return 1000.0 * rh * esw_d(t) / (461.855 * t); }, 1.0, 100.0,
       233.15, 318.15, 5e-6},
      {"M_TD2AH", [](float td, float t) { return M_TD2AH(td, t, RM); },
       [](double td, double t) { return 100000.0 * esw_d(td) / (461.855 * t); }, -40.0, 40.0,
       233.15, 318.15, 5e-6},
      {"M_TV", [](float t, float p) { return M_TV(t, t - 5.0f, p, RM); },
       [](double t, double p) {
         const double tk = t < 150.0 ? t + 273.15 : t;
         return (1.0 + 0.37803 * esw_d(t - 5.0) / p) * tk;
       },
       -40.0, 45.0, 500.0, 1085.0, 2e-6},
  };
  const int n = 37;
  for (const SweepRow& r : rows) {
    for (int i = 0; i <= n; ++i) {
      for (int j = 0; j <= n; ++j) {
        const float x = static_cast<float>(r.x0 + (r.x1 - r.x0) * i / n);
        const float y = static_cast<float>(r.y0 + (r.y1 - r.y0) * j / n);
        const double want = r.ref(x, y);
        const double got = r.f(x, y);
        ASSERT_NEAR(got, want, r.reltol * std::fabs(want) + 1e-30)
            << r.name << " x=" << x << " y=" << y;
      }
    }
  }
}

// One edge value: got, expected and the allowed absolute difference
// (0 means bit-identical).
struct EdgeRow {
  const char* what;
  float got;
  float want;
  float tol;
};

TEST(FormulasTest, EdgeValues) {
  const float esw0 = static_cast<float>(6.1078 / std::pow(0.99999684, 8));
  const EdgeRow rows[] = {
      {"M_ESW(273.15) same as M_ESW(0)", M_ESW(273.15f), M_ESW(0.0f), 0.0f},
      {"M_ESW(0)", M_ESW(0.0f), esw0, 1e-5f},
      {"M_STVPPR(0)", M_STVPPR(0.0f, RM), 611.2f, 0.0f},
      {"M_STVPPR(273.15)", M_STVPPR(273.15f, RM), 611.2f, 0.0f},
      {"M_STVPPR(missing)", M_STVPPR(RM, RM), RM, 0.0f},
      {"M_STVPPR(above missing)", M_STVPPR(2.0e6f, RM), RM, 0.0f},
      {"M_ZTOPSA(0)", M_ZTOPSA(0.0f, RM), 1013.2f, 0.0f},
      {"M_ZTOPSA(11000) upper formula", M_ZTOPSA(11000.0f, RM), 226.0971f, 0.0f},
      {"M_ZTOPSA(999998.5)", M_ZTOPSA(999998.5f, RM), RM, 0.0f},
      {"M_ZTOPSA(999998) still computed", M_ZTOPSA(999998.0f, RM) < 1.0f ? 1.0f : 0.0f, 1.0f,
       0.0f},
      {"M_DEWPNT rh 100, K", M_DEWPNT(290.0f, 100.0f, RM), 290.0f, 1e-4f},
      {"M_DEWPNT rh 100, C", M_DEWPNT(17.0f, 100.0f, RM), 290.15f, 1e-4f},
      {"M_DEWPNT missing t", M_DEWPNT(RM, 50.0f, RM), RM, 0.0f},
      {"M_DEWPNT missing rh", M_DEWPNT(290.0f, RM, RM), RM, 0.0f},
      {"M_RH t = td, K", M_RH(285.3f, 285.3f, RM), 1.0f, 0.0f},
      {"M_RH t = td, C", M_RH(-12.5f, -12.5f, RM), 1.0f, 0.0f},
      {"M_RH missing td", M_RH(285.0f, RM, RM), RM, 0.0f},
      {"M_RH missing t", M_RH(RM, 280.0f, RM), RM, 0.0f},
      {"M_RH2AH missing", M_RH2AH(RM, 290.0f, RM), RM, 0.0f},
      {"M_RH2AH missing t", M_RH2AH(50.0f, RM, RM), RM, 0.0f},
      {"M_TD2AH missing", M_TD2AH(RM, 290.0f, RM), RM, 0.0f},
      {"M_TD2AH missing t", M_TD2AH(280.0f, RM, RM), RM, 0.0f},
      {"M_TV missing td, C", M_TV(20.0f, RM, 1000.0f, RM), 20.0f + 273.15f, 0.0f},
      {"M_TV missing p, K", M_TV(293.0f, 280.0f, RM, RM), 293.0f, 0.0f},
      {"M_TV missing t", M_TV(RM, 280.0f, 1000.0f, RM), RM, 0.0f},
      {"M_ALTPRS at sea level", M_ALTPRS(1013.25f, 0.0f), 1013.25f + 0.3f, 0.0f},
      {"M_ALTPRS(990, 0)", M_ALTPRS(990.0f, 0.0f), 990.3f, 0.0f},
  };
  for (const EdgeRow& r : rows) {
    if (r.tol == 0.0f) {
      EXPECT_EQ(r.got, r.want) << r.what;
    } else {
      EXPECT_NEAR(r.got, r.want, r.tol) << r.what;
    }
  }
  // 150.0 itself is Celsius: 150 degC is far above boiling.
  EXPECT_GT(M_ESW(150.0f), 4000.0f);
  EXPECT_LT(M_ESW(150.01f), 0.01f);
  EXPECT_GT(M_STVPPR(149.99f, RM), 4.0e5f);
  EXPECT_LT(M_STVPPR(150.0f, RM), 1.0f);
}

TEST(FormulasTest, AltimeterRoundTrip) {
  for (float elev = -200.0f; elev <= 4000.0f; elev += 150.0f) {
    for (float alt = 900.0f; alt <= 1080.0f; alt += 7.5f) {
      const float prs = M_ALTPRS(alt, elev);
      EXPECT_NEAR(M_PRSALT(prs, elev), alt, 0.002f) << alt << " " << elev;
      if (elev > 0.0f) {
        EXPECT_LT(prs, alt);
      }
    }
  }
}

TEST(FormulasTest, WindComponentsAndDirection) {
  float u = 0.0f;
  float v = 0.0f;
  float dd = 0.0f;
  float ff = 0.0f;
  M_GETUV(90.0f, 10.0f, RM, u, v);  // from the east: blows westward
  EXPECT_EQ(u, -10.0f);
  EXPECT_NEAR(v, 0.0f, 1e-5f);

  M_DDFF(0.0f, -5.0f, RM, dd, ff);  // from the north stays 360, not 0
  EXPECT_EQ(dd, 360.0f);
  EXPECT_EQ(ff, 5.0f);
  M_DDFF(0.0f, 0.0f, RM, dd, ff);
  EXPECT_EQ(dd, 0.0f);
  EXPECT_EQ(ff, 0.0f);
  // Either input missing makes both outputs missing, both ways.
  const float pairs[][2] = {{RM, 3.0f}, {3.0f, RM}, {RM, RM}};
  for (const auto& p : pairs) {
    M_GETUV(p[0], p[1], RM, u, v);
    M_DDFF(p[0], p[1], RM, dd, ff);
    EXPECT_EQ(u, RM);
    EXPECT_EQ(v, RM);
    EXPECT_EQ(dd, RM);
    EXPECT_EQ(ff, RM);
  }
  M_DDFF(3.0f, 4.0f, RM, dd, ff);
  EXPECT_EQ(ff, 5.0f);
  EXPECT_NEAR(dd, 180.0 + std::atan2(3.0, 4.0) * 180.0 / std::numbers::pi, 2e-4);

  // Round trip over the compass, speeds kept. A north wind may come back as
  // 0 instead of 360: sin of the rounded 2 pi is slightly positive, so u is
  // a tiny negative number and atan2 gives -pi.
  for (float d = 2.5f; d <= 360.0f; d += 2.5f) {
    for (float s = 0.5f; s < 80.0f; s *= 1.7f) {
      M_GETUV(d, s, RM, u, v);
      EXPECT_NEAR(u, -s * std::sin(d * std::numbers::pi / 180.0), 2e-6 * s);
      EXPECT_NEAR(v, -s * std::cos(d * std::numbers::pi / 180.0), 2e-6 * s);
      M_DDFF(u, v, RM, dd, ff);
      EXPECT_NEAR(ff, s, 2e-6f * s);
      EXPECT_GE(dd, 0.0f);
      EXPECT_LE(dd, 360.0f);
      EXPECT_NEAR(std::remainder(dd - d, 360.0f), 0.0f, 3e-4f) << d << " " << s;
    }
  }
}

TEST(FormulasTest, DegreeFactorsAndRotation) {
  // The single-precision degree factors are the rounded exact ones, so a
  // half turn is exactly float pi and the rotation of 180 degrees is -1.
  const float deg = static_cast<float>(std::numbers::pi / 180.0);
  float sina = 0.0f;
  float cosa = 0.0f;
  M_ROTFAC(0.0f, 180.0f, 1.0f, sina, cosa);
  EXPECT_EQ(cosa, -1.0f);
  EXPECT_EQ(sina, sinf(180.0f * deg));
  float u = 0.0f;
  float v = 0.0f;
  M_GETUV(1.0f, -1.0f, RM, u, v);  // u = sin(factor): the factor itself, to the bit
  EXPECT_EQ(u, sinf(deg));
  EXPECT_EQ(v, cosf(deg));
  M_ROTFAC(-95.0f, -95.0f, 0.7f, sina, cosa);
  EXPECT_EQ(sina, 0.0f);
  EXPECT_EQ(cosa, 1.0f);
  // Grid rotation: cone 0.7, station 20 degrees east of the central meridian.
  M_ROTFAC(-75.0f, -95.0f, 0.7f, sina, cosa);
  EXPECT_NEAR(sina, std::sin(-14.0 * std::numbers::pi / 180.0), 1e-6);
  EXPECT_NEAR(cosa, std::cos(-14.0 * std::numbers::pi / 180.0), 1e-6);
  float dd = 0.0f;
  float ff = 0.0f;
  M_DDFF(1.0f, 0.0f, RM, dd, ff);  // from the west
  EXPECT_EQ(dd, 270.0f);
  EXPECT_EQ(ff, 1.0f);
}

}  // namespace
