"""The installation's own terrain grid (static/topomini.txt), for map
backgrounds: 81 x 62 heights (m) on a 60 km polar stereographic grid true at
40 N, oriented along 105 W, with the pole at x = 1854642 m, y = 6691869 m
from grid point (1,1). The library uses the same grid for the elevation of
reports on the large lakes."""
import os

import numpy as np

NX, NY = 81, 62
SPACING = 60000.0
XPOLE, YPOLE = 1854642.0, 6691869.0
TRUELAT, ORIENT = 40.0, -105.0
EARTH_RADIUS = 6366707.0


def read_heights(path):
    """Heights (NY, NX), row j south to north, column i west to east, from
    records "i j height" in free format (blanks or commas; a record may
    continue on the next line, and values after the third on its line are
    ignored), the first index varying fastest."""
    values = []
    record = []
    with open(path, encoding="latin-1") as f:
        for line in f:
            for token in line.replace(",", " ").split():
                record.append(token)
                if len(record) == 3:
                    values.append(float(record[2]))
                    record = []
                    break
            if len(values) == NX * NY:
                break
    if len(values) != NX * NY:
        raise ValueError(f"{path}: {len(values)} terrain records, expected {NX * NY}")
    return np.array(values, dtype=np.float32).reshape(NY, NX)


def grid_lat_lon(i, j):
    """Latitude and longitude (degrees) of grid coordinates (1-based; the
    inverse of the library's polar stereographic projection)."""
    dx = (np.asarray(i, dtype=np.float64) - 1.0) * SPACING - XPOLE
    dy = (np.asarray(j, dtype=np.float64) - 1.0) * SPACING - YPOLE
    r = np.hypot(dx, dy)
    k = EARTH_RADIUS * (1.0 + np.sin(np.radians(TRUELAT)))
    lat = 90.0 - 2.0 * np.degrees(np.arctan(r / k))
    lon = np.degrees(np.arctan2(dy, dx)) + 90.0 + ORIENT
    lon = (lon + 180.0) % 360.0 - 180.0
    return lat, lon


def grid_xy(lat, lon):
    """Grid coordinates (1-based) of positions: the library's projection."""
    lat = np.radians(np.asarray(lat, dtype=np.float64))
    a = np.radians(np.asarray(lon, dtype=np.float64) - 90.0 - ORIENT)
    r = EARTH_RADIUS * np.cos(lat) * (1.0 + np.sin(np.radians(TRUELAT))) / (1.0 + np.sin(lat))
    return (XPOLE + r * np.cos(a)) / SPACING + 1.0, (YPOLE + r * np.sin(a)) / SPACING + 1.0


def load(static=None):
    """(lat, lon, height) arrays of shape (NY, NX) of the grid points, from
    the static directory (default $VORAN_STATIC)."""
    static = static or os.environ.get("VORAN_STATIC", "")
    heights = read_heights(os.path.join(static, "topomini.txt"))
    j, i = np.mgrid[1:NY + 1, 1:NX + 1]
    lat, lon = grid_lat_lon(i, j)
    return lat, lon, heights
