// Terrain: four-point Lagrange interpolation in a grid (M_BICUBIC) and the
// lake-surface elevation of marine reports from the topography grid (M_MARELV).
#include <algorithm>
#include <cmath>

#include "stations/stations.h"

namespace {
// Lagrange weights of the nodes at offsets 0..3 for position s.
void weights(float s, float w[4]) {
  w[0] = -((s - 1.0f) * (s - 2.0f) * (s - 3.0f)) / 6.0f;
  w[1] = (s * (s - 2.0f) * (s - 3.0f)) / 2.0f;
  w[2] = -(s * (s - 1.0f) * (s - 3.0f)) / 2.0f;
  w[3] = (s * (s - 1.0f) * (s - 2.0f)) / 6.0f;
}

// First node of a direction: the integer part of max(1, pos), kept within
// 1..n (NaN and far-off positions are clamped, never used as an index).
int32_t first_node(float pos, int32_t n) {
  if (!(pos >= 1.0f)) return 1;
  if (pos >= static_cast<float>(n)) return n;
  return static_cast<int32_t>(pos);
}

// Lake boxes of the Great Lakes and of the large Canadian lakes.
constexpr float LAT_LL[2] = {41.0f, 56.0f};
constexpr float LAT_UR[2] = {54.0f, 67.0f};
constexpr float LON_LL[2] = {-120.0f, -126.0f};
constexpr float LON_UR[2] = {-75.5f, -101.0f};

// Topography grid frame: polar stereographic, true at 40N, 60 km spacing.
constexpr float TOPO_XPOLE = 1854642.0f;
constexpr float TOPO_YPOLE = 6691869.0f;
constexpr float TOPO_TRUELAT = 40.0f;
constexpr float TOPO_ORIENT = -105.0f;
constexpr float TOPO_DX = 60000.0f;
}  // namespace

float M_BICUBIC(float x, float y, int32_t k, int32_t nx, int32_t ny, int32_t nz,
                const float* grid) {
  // A plane the grid does not have is never read.
  if (nx < 1 || ny < 1 || k < 1 || (nz >= 1 && k > nz)) return 0.0f;
  int32_t i0 = first_node(x, nx);
  int32_t j0 = first_node(y, ny);
  float wu[4], wv[4];
  weights(x - static_cast<float>(i0), wu);
  weights(y - static_cast<float>(j0), wv);
  const float* plane = grid + static_cast<std::ptrdiff_t>(nx) * ny * (k - 1);
  float sum = 0.0f;
  for (int a = 0; a < 4; ++a) {
    int32_t c = std::min(nx, i0 + a);
    for (int b = 0; b < 4; ++b) {
      int32_t r = std::min(ny, j0 + b);
      sum += wu[a] * wv[b] * plane[(c - 1) + static_cast<std::ptrdiff_t>(nx) * (r - 1)];
    }
  }
  return sum;
}

void M_MARELV(int32_t n, float missing, const float* lat, const float* lon, float* elev) {
  for (int32_t i = 0; i < n; ++i) {
    bool in_lake = false;
    for (int b = 0; b < 2 && !in_lake; ++b) {
      in_lake = LAT_LL[b] <= lat[i] && lat[i] <= LAT_UR[b] && LON_LL[b] <= lon[i] &&
                lon[i] <= LON_UR[b];
    }
    if (!in_lake) continue;
    if (elev[i] != 0.0f && elev[i] != missing) continue;
    float x = M_XGRID(lat[i], lon[i], TOPO_XPOLE, TOPO_TRUELAT, TOPO_ORIENT);
    float y = M_YGRID(lat[i], lon[i], TOPO_YPOLE, TOPO_TRUELAT, TOPO_ORIENT);
    if (!(x >= -30000.0f && x <= 4830000.0f && y >= -30000.0f && y <= 3690000.0f)) {
      elev[i] = missing;
      continue;
    }
    elev[i] = M_BICUBIC(x / TOPO_DX + 1.0f, y / TOPO_DX + 1.0f, 1, voran::TOPO_NX,
                        voran::TOPO_NY, 1, &SFCTBL.TOPO[0][0]);
  }
}
