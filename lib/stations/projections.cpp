// Domain filter and map projections.
#include "stations/stations.h"

bool MDOMFLTR(float, float) { return false; }
float M_XGRID(float, float, float xpole, float, float) { return xpole; }
float M_YGRID(float, float, float ypole, float, float) { return ypole; }
void M_LCLLIJ(float, float, float, float, float, float, float, float, float& xi, float& yj) {
  xi = 1.0f;
  yj = 1.0f;
}
