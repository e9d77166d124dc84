// Map projections, the domain filter and terrain interpolation, checked
// against independent double-precision computations.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/state.h"
#include "stations/stations.h"

namespace {

constexpr double RAD = M_PI / 180.0;
const float NaN = std::numeric_limits<float>::quiet_NaN();

// Polar stereographic plane coordinates.
void ps(double lat, double lon, double xp, double yp, double tl, double orient, double& x,
        double& y) {
  double r = 6366707.0 * std::cos(lat * RAD) * (1 + std::sin(tl * RAD)) / (1 + std::sin(lat * RAD));
  double a = (lon - 90.0 - orient) * RAD;
  x = xp + r * std::cos(a);
  y = yp + r * std::sin(a);
}

// Lambert conformal grid coordinates before the below-1 adjustment.
struct Lambert {
  double lat1, lon1, dx, orient, tanlat, cone;
  double radius(double lat, double k, double h) const {
    return k * std::pow(std::cos(lat * RAD) / (1 + h * std::sin(lat * RAD)), cone) / cone;
  }
  void ij(double lat, double lon, double& xi, double& yj) const {
    double h = tanlat > 0 ? 1.0 : -1.0;
    double k = 6371200.0 / dx * std::pow(std::cos(tanlat * RAD), 1 - cone) * std::pow(1 + cone, cone);
    double d1 = radius(lat1, k, h), d = radius(lat, k, h);
    double b1 = (lon1 - orient) * cone * RAD, b = (lon - orient) * cone * RAD;
    xi = (d * std::sin(b) - d1 * std::sin(b1)) * h + 1;
    yj = d1 * std::cos(b1) + 1 - d * std::cos(b);
  }
};

// A North American Lambert grid of 12 km.
const Lambert NAM{12.19, -133.459, 12191.0, -95.0, 25.0, 0.42261826};

TEST(Projections, PolarStereographicAgreesWithDoublePrecision) {
  const float pts[][2] = {{40.0f, -100.0f}, {25.5f, -80.25f}, {60.0f, -150.0f},
                          {10.0f, 20.0f},   {-30.0f, 45.0f},  {89.5f, -105.0f}};
  for (const auto& p : pts) {
    double x = 0, y = 0;
    ps(p[0], p[1], 3897800.0, 9182641.0, 60.0, -105.0, x, y);
    double r = std::hypot(x - 3897800.0, y - 9182641.0);
    double tol = 2e-6 * (r + 1e7);
    EXPECT_NEAR(M_XGRID(p[0], p[1], 3897800.0f, 60.0f, -105.0f), x, tol) << p[0] << " " << p[1];
    EXPECT_NEAR(M_YGRID(p[0], p[1], 9182641.0f, 60.0f, -105.0f), y, tol) << p[0] << " " << p[1];
  }
  // On the orientation meridian x is the pole's x up to cos(-90 degrees).
  float x = M_XGRID(47.0f, -105.0f, 3897800.0f, 60.0f, -105.0f);
  float y = M_YGRID(47.0f, -105.0f, 9182641.0f, 60.0f, -105.0f);
  EXPECT_NEAR(x, 3897800.0f, 1e-6 * (9182641.0f - y));
  EXPECT_LT(y, 9182641.0f);
}

TEST(Projections, LambertAgreesWithDoublePrecision) {
  const float pts[][2] = {{20.0f, -125.0f}, {40.0f, -100.0f}, {50.0f, -60.0f},
                          {30.0f, -120.0f},    {55.0f, 170.0f}};
  for (const auto& p : pts) {
    double xi = 0, yj = 0;
    double lon = p[1] - NAM.orient > 180 ? p[1] - 360.0 : p[1];
    NAM.ij(p[0], lon, xi, yj);
    if (xi < 1) xi -= 1;
    if (yj < 1) yj -= 1;
    float fx = 0, fy = 0;
    M_LCLLIJ(p[0], p[1], float(NAM.lat1), float(NAM.lon1), float(NAM.dx), float(NAM.orient),
             float(NAM.tanlat), float(NAM.cone), fx, fy);
    EXPECT_NEAR(fx, xi, 2e-6 * 3000) << p[0] << " " << p[1];
    EXPECT_NEAR(fy, yj, 2e-6 * 3000) << p[0] << " " << p[1];
  }
  // The grid origin is (1, 1).
  float fx = 0, fy = 0;
  M_LCLLIJ(12.19f, -133.459f, 12.19f, -133.459f, 12191.0f, -95.0f, 25.0f, 0.42261826f, fx, fy);
  EXPECT_FLOAT_EQ(fx, 1.0f);
  EXPECT_FLOAT_EQ(fy, 1.0f);
}

TEST(Projections, LambertBelowTheFirstColumn) {
  // Find, in double precision, the longitude half a column west of the origin.
  double lo = NAM.lon1 - 1.0, hi = NAM.lon1;
  for (int it = 0; it < 60; ++it) {
    double mid = (lo + hi) / 2, xi = 0, yj = 0;
    NAM.ij(NAM.lat1, mid, xi, yj);
    (xi < 0.5 ? lo : hi) = mid;
  }
  float fx = 0, fy = 0;
  M_LCLLIJ(float(NAM.lat1), float(lo), float(NAM.lat1), float(NAM.lon1), float(NAM.dx),
           float(NAM.orient), float(NAM.tanlat), float(NAM.cone), fx, fy);
  EXPECT_NEAR(fx, -0.5, 1e-2);
  // West of the origin along its latitude circle the row rises above 1.
  EXPECT_GT(fy, 1.0f);
}

// Every domain type with positions inside, outside and without a position.
TEST(Projections, DomainFilter) {
  VORANCOM2_t& d = VORANCOM2;
  for (int type : {-1, 3}) {
    d.DOM_TYPE = type;
    EXPECT_FALSE(MDOMFLTR(-90.0f, 0.0f));
    EXPECT_FALSE(MDOMFLTR(NaN, NaN));
  }
  // Box: limits included, no wrap-around at 180 degrees.
  d.DOM_TYPE = 2;
  d.DOM_LAT1 = 20.0f, d.DOM_LAT2 = 60.0f, d.DOM_LON1 = -130.0f, d.DOM_LON2 = -60.0f;
  EXPECT_FALSE(MDOMFLTR(20.0f, -130.0f));
  EXPECT_FALSE(MDOMFLTR(60.0f, -60.0f));
  EXPECT_TRUE(MDOMFLTR(40.0f, 170.0f));
  EXPECT_TRUE(MDOMFLTR(40.0f, -170.0f));
  EXPECT_TRUE(MDOMFLTR(NaN, -100.0f));
  // Polar stereographic grid of the national frame.
  d.DOM_TYPE = 1;
  d.DOM_XPOLE = 3897800.0f, d.DOM_YPOLE = 9182641.0f, d.DOM_TRUELAT = 60.0f;
  d.DOM_ORIENT = -105.0f;
  d.DOM_XMIN = 0.0f, d.DOM_XMAX = 7.0e6f, d.DOM_YMIN = 0.0f, d.DOM_YMAX = 5.0e6f;
  EXPECT_FALSE(MDOMFLTR(40.0f, -100.0f));
  EXPECT_TRUE(MDOMFLTR(-90.0f, -100.0f));  // the south pole is never projected
  EXPECT_TRUE(MDOMFLTR(40.0f, 60.0f));     // the far side of the pole
  EXPECT_TRUE(MDOMFLTR(NaN, -100.0f));     // no position, no domain
  // Lambert grid of 613 x 427 points.
  d.DOM_TYPE = 0;
  d.DOM_LAT1 = float(NAM.lat1), d.DOM_LON1 = float(NAM.lon1), d.DOM_DX = float(NAM.dx);
  d.DOM_ORIENT = float(NAM.orient), d.DOM_TANLAT = float(NAM.tanlat), d.DOM_CONE = float(NAM.cone);
  d.DOM_XMAX = 612.0f * d.DOM_DX, d.DOM_YMAX = 426.0f * d.DOM_DX;
  EXPECT_FALSE(MDOMFLTR(40.0f, -100.0f));
  EXPECT_FALSE(MDOMFLTR(12.19f, -133.459f));  // the origin itself
  EXPECT_TRUE(MDOMFLTR(10.0f, -140.0f));
  EXPECT_TRUE(MDOMFLTR(-90.0f, -100.0f));
  EXPECT_TRUE(MDOMFLTR(NaN, -100.0f));
  d.DOM_TYPE = -1;
}

// Grid of 6 x 5 points, two planes; plane 2 holds a polynomial of degree 3
// in each direction, which the four-point interpolation reproduces.
double poly(double i, double j) { return 0.5 * i * i * i - i * i + 2 * j * j * j + i * j; }

struct Grid {
  float g[2][5][6];
  Grid() {
    for (int j = 1; j <= 5; ++j)
      for (int i = 1; i <= 6; ++i) {
        g[0][j - 1][i - 1] = -1000.0f;
        g[1][j - 1][i - 1] = float(poly(i, j));
      }
  }
  float at(float x, float y) const { return M_BICUBIC(x, y, 2, 6, 5, 2, &g[0][0][0]); }
};

TEST(Terrain, BicubicInterior) {
  Grid grid;
  EXPECT_EQ(grid.at(3.0f, 4.0f), float(poly(3, 4)));
  for (float x : {1.0f, 1.25f, 2.3f, 2.99f})
    for (float y : {1.0f, 1.5f, 2.6f})
      EXPECT_NEAR(grid.at(x, y), poly(x, y), 1e-5 * 300) << x << " " << y;
}

TEST(Terrain, BicubicEdgesRepeatTheLastNodes) {
  Grid grid;
  // Half-way into the last column the clamped nodes all hold column 6.
  double w0 = -(0.5 - 1) * (0.5 - 2) * (0.5 - 3) / 6;
  EXPECT_NEAR(grid.at(5.5f, 2.0f), w0 * poly(5, 2) + (1 - w0) * poly(6, 2), 1e-3);
  // Beyond the grid the nearest column is used: never a read outside.
  EXPECT_NEAR(grid.at(7.5f, 3.0f), poly(6, 3), 1e-3);
  EXPECT_NEAR(grid.at(6.0f, 5.0f), poly(6, 5), 1e-3);
  EXPECT_NEAR(grid.at(4.0f, 9.0f), poly(4, 5), 1e-3);
  EXPECT_TRUE(std::isnan(grid.at(NaN, 2.0f)));
  EXPECT_TRUE(std::isnan(grid.at(3.0f, NaN)));
}

// Lake reports over terrain rising linearly, which the interpolation
// reproduces inside the grid.
TEST(Terrain, LakeReportsTakeTheTerrain) {
  for (int j = 1; j <= voran::TOPO_NY; ++j)
    for (int i = 1; i <= voran::TOPO_NX; ++i)
      SFCTBL.TOPO[j - 1][i - 1] = 100.0f + 2.0f * i + 3.0f * j;
  double x = 0, y = 0;
  ps(47.0, -88.0, 1854642.0, 6691869.0, 40.0, -105.0, x, y);
  double superior = 100.0 + 2.0 * (x / 60000.0 + 1) + 3.0 * (y / 60000.0 + 1);
  ps(65.0, -110.0, 1854642.0, 6691869.0, 40.0, -105.0, x, y);
  ASSERT_GT(y, 3690000.0);  // box 2, north of the grid
  float lat[6] = {47.0f, 47.0f, 47.0f, 45.0f, NaN, 65.0f};
  float lon[6] = {-88.0f, -88.0f, -88.0f, -60.0f, -88.0f, -110.0f};
  float elev[6] = {0.0f, voran::RMISS, 183.0f, 0.0f, 0.0f, 0.0f};
  M_MARELV(6, voran::RMISS, lat, lon, elev);
  EXPECT_NEAR(elev[0], superior, 0.01);
  EXPECT_NEAR(elev[1], superior, 0.01);
  EXPECT_EQ(elev[2], 183.0f);  // a reported elevation stays
  EXPECT_EQ(elev[3], 0.0f);    // no lake box
  EXPECT_EQ(elev[4], 0.0f);
  EXPECT_EQ(elev[5], voran::RMISS);
}

}  // namespace
