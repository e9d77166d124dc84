#!/usr/bin/env python3
"""Writes the installation's static tables into static/.

The surface variable table, the surface code table and the code listing of
static/README.md come from the one variable list below, so the three always
agree. The small tables of the other datasets, the provider list and the
terrain grid are written here too. Run from the repository root:

    python3 tools/tables_static.py
"""
import math
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
STATIC = os.path.join(ROOT, "static")

NETS = ["METAR", "MARITIME", "SAO", "MESONET", "COOP", "UrbaNet", "HFMETAR",
        "NEPP", "HCN", "CRN"]
ALL = NETS
NOMESO = [n for n in NETS if n != "MESONET"]

# (code, public name, code-table type, meaning and unit, QC stage,
#  {network: netcdf name}, {network: type letter}, {network: char length},
#  networks whose entry is a derivation only)
VARS = []


def var(code, name, meaning, nets, stage=0, qc=True, ctype="N", letters=None,
        chrlen=None, derived=(), names=None):
    """nets: {network: netcdf name} or (name, [networks])."""
    if isinstance(nets, tuple):
        ncname, where = nets
        nets = {n: ncname for n in where}
    if names:
        nets.update(names)
    VARS.append(dict(code=code, name=name, meaning=meaning, nets=nets,
                     stage=stage, qc=qc, ctype=ctype, letters=letters or {},
                     chrlen=chrlen or {}, derived=set(derived)))


ROADNETS = ["MESONET"]
MOIST_TD = ["METAR", "MARITIME", "SAO", "HFMETAR", "NEPP", "HCN"]
MOIST_RH = ["COOP", "UrbaNet", "CRN"]
WINDNETS = ["METAR", "MARITIME", "SAO", "MESONET", "COOP", "UrbaNet", "HFMETAR", "NEPP"]
ALTNETS = ["METAR", "SAO", "UrbaNet", "HFMETAR", "NEPP"]

# ---- thermodynamics ----
var(1, "TD", "dew point, K",
    dict({n: "dewpoint" for n in MOIST_TD + ["MESONET"]},
         **{n: "relHumidity" for n in MOIST_RH}), stage=3, derived=MOIST_RH)
var(2, "RH", "relative humidity, %",
    dict({n: "dewpoint" for n in MOIST_TD},
         **{n: "relHumidity" for n in MOIST_RH + ["MESONET"]}), stage=3, derived=MOIST_TD)
var(8, "T", "temperature, K", ("temperature", ALL), stage=3)
var(112, "SPECHUM", "specific humidity, kg/kg",
    dict({n: "dewpoint" for n in ["METAR", "MARITIME", "SAO", "HFMETAR", "NEPP"]},
         MESONET="dewpoint", COOP="relHumidity", UrbaNet="relHumidity",
         CRN="relHumidity"), stage=3, derived=NETS)
var(113, "TDD", "dew-point depression, K",
    dict({n: "dewpoint" for n in MOIST_TD + ["MESONET"]},
         **{n: "relHumidity" for n in MOIST_RH}), stage=3, derived=NETS)
var(114, "TV", "virtual temperature, K",
    {n: "temperature" for n in ["METAR", "MARITIME", "SAO", "MESONET", "COOP",
                                "UrbaNet", "HFMETAR", "NEPP", "CRN"]},
    stage=3, derived=NETS)
var(131, "ABSHUM", "absolute humidity, kg/m3",
    dict({n: "dewpoint" for n in MOIST_TD + ["MESONET"]},
         **{n: "relHumidity" for n in MOIST_RH}), stage=3, derived=NETS)
var(186, "MIXR", "mixing ratio, kg/kg",
    dict({n: "dewpoint" for n in ["METAR", "MARITIME", "SAO", "HFMETAR", "NEPP"]},
         MESONET="dewpoint", COOP="relHumidity", UrbaNet="relHumidity",
         CRN="relHumidity"), stage=3, derived=NETS)
var(22, "T24MAX", "maximum temperature of the last 24 hours, K",
    ("maxTemp24Hour", ["METAR", "MESONET", "COOP", "HCN", "CRN"]), stage=3)
var(23, "T24MIN", "minimum temperature of the last 24 hours, K",
    ("minTemp24Hour", ["METAR", "MESONET", "COOP", "HCN", "CRN"]), stage=3)

# ---- pressure ----
var(3, "ALTSE", "altimeter setting, Pa (SAO files: hPa)",
    dict({n: "altimeter" for n in ALTNETS + ["MESONET"]}, MARITIME="stationPressure"),
    stage=3, derived=["MARITIME"])
var(4, "PCHNGE", "pressure change of the last 3 hours, signed, Pa (SAO files: hPa, unsigned)",
    ("pressChange3Hour", ["METAR", "MARITIME", "SAO", "MESONET"]), stage=3)
var(5, "PCHAR", "pressure-tendency characteristic, WMO code 0-8",
    ("pressChangeChar", ["METAR", "MARITIME", "SAO", "MESONET"]))
var(6, "PMSL", "sea-level pressure, Pa (SAO files: hPa)",
    ("seaLevelPressure", ["METAR", "MARITIME", "SAO", "MESONET"]), stage=3)
var(7, "P", "station pressure, Pa",
    dict({n: "altimeter" for n in ALTNETS}, MARITIME="stationPressure",
         MESONET="stationPressure", COOP="elevation", CRN="elevation"),
    stage=3, derived=ALTNETS + ["COOP", "CRN"])
var(229, "PSFC", "station-level pressure (ships: reduced to altimeter setting), Pa",
    dict({n: "altimeter" for n in ALTNETS}, MARITIME="stationPressure",
         MESONET="stationPressure"), stage=3, derived=ALTNETS + ["MARITIME"])

# ---- wind ----
var(9, "DD", "wind direction, degrees from north", ("windDir", WINDNETS), stage=3)
var(10, "FF", "wind speed, m/s", ("windSpeed", WINDNETS + ["CRN"]), stage=3)
var(11, "U", "east wind component, m/s", ("windSpeed", WINDNETS), stage=3, derived=WINDNETS)
var(12, "V", "north wind component, m/s", ("windSpeed", WINDNETS), stage=3, derived=WINDNETS)
var(20, "DDGUST", "direction of the wind gust, degrees from north",
    ("windDirMax", ["METAR", "MESONET", "HFMETAR"]), stage=3)
var(21, "FFGUST", "wind gust speed, m/s",
    ("windGust", ["METAR", "MARITIME", "MESONET", "UrbaNet", "HFMETAR", "NEPP"]), stage=3)
var(57, "DD2", "COOP second wind direction (kept for report kinds other than 100, 200, 1-2), degrees",
    ("windDir2", ["COOP"]))
var(58, "FF2", "COOP second wind speed (as DD2), m/s", ("windSpeed2", ["COOP"]))
var(145, "DD3", "COOP third wind direction, degrees", ("windDir3", ["COOP"]))
var(146, "FF3", "COOP third wind speed, m/s", ("windSpeed3", ["COOP"]))
var(149, "DD4", "COOP fourth wind direction, degrees", ("windDir4", ["COOP"]))
var(150, "FF4", "COOP fourth wind speed, m/s", ("windSpeed4", ["COOP"]))
var(171, "U3", "east component of the DD3/FF3 wind, m/s", ("windSpeed3", ["COOP"]), derived=["COOP"])
var(172, "V3", "north component of the DD3/FF3 wind, m/s", ("windSpeed3", ["COOP"]), derived=["COOP"])
var(173, "U4", "east component of the DD4/FF4 wind, m/s", ("windSpeed4", ["COOP"]), derived=["COOP"])
var(174, "V4", "north component of the DD4/FF4 wind, m/s", ("windSpeed4", ["COOP"]), derived=["COOP"])
var(175, "DD5", "COOP wind direction of report kinds 100, 200 and 1-2, degrees", ("windDir5", ["COOP"]))
var(176, "FF5", "COOP wind speed of report kinds 100, 200 and 1-2, m/s", ("windSpeed5", ["COOP"]))

# ---- visibility, clouds, marine ----
var(13, "VIS", "visibility, m (SAO files: km)",
    ("visibility", ["METAR", "MARITIME", "SAO", "MESONET", "HFMETAR", "NEPP"]), stage=3)
var(44, "CLDBAS", "cloud-layer base heights, 6 levels (SAO files 5, HFMETAR files 3), m",
    ("skyLayerBase", ["METAR", "SAO", "HFMETAR"]))
var(24, "SST", "sea-surface temperature, K", ("seaSurfaceTemp", ["MARITIME", "MESONET"]), stage=3)
var(25, "WVHT", "significant wave height, m", ("waveHeight", ["MARITIME"]))

# ---- identity ----
var(14, "WMOID", "WMO station number", ("wmoId", ["METAR", "SAO", "MESONET"]),
    letters={n: "i" for n in ["METAR", "SAO", "MESONET"]})
var(15, "STAID", "station identifier (characters)", ("stationId", ALL), ctype="C",
    letters={n: "c" for n in ALL},
    chrlen=dict({n: 6 for n in ALL}, METAR=5, SAO=5, MARITIME=8))
var(16, "ELEV", "station elevation, m", ("elevation", ALL))
var(17, "LAT", "report latitude, degrees north", ("latitude", ALL))
var(18, "LON", "report longitude, degrees east", ("longitude", ALL))
var(19, "RPTKIND", "COOP report kind (splits the COOP wind pairs)", ("reportKind", ["COOP"]))

# ---- precipitation ----
PCP1H_NAMES = dict({n: "precip1Hour" for n in ["METAR", "SAO", "UrbaNet", "HFMETAR", "NEPP",
                                                "HCN", "CRN"]},
                   MESONET="precipAccum", COOP="precipRate")
var(31, "PCP1H", "precipitation of the last hour, m",
    dict(PCP1H_NAMES), stage=3)
var(39, "PCPRATE", "precipitation rate, kg m-2 s-1 (= mm/s)",
    dict(PCP1H_NAMES, MESONET="precipRate"), stage=3)
var(32, "PCP3H", "precipitation of the last 3 hours, m (mesonet period code 3)",
    ("precip3Hour", ["METAR", "SAO"]), names={"MESONET": "precipAccum"}, stage=3)
var(33, "PCP6H", "precipitation of the last 6 hours, m (mesonet period code 6)",
    ("precip6Hour", ["METAR", "MARITIME", "SAO"]), names={"MESONET": "precipAccum"}, stage=3)
var(34, "PCP12H", "precipitation of the last 12 hours, m (mesonet period code 12)",
    ("precipAccum", ["MESONET"]), stage=3)
var(35, "PCP18H", "precipitation of the last 18 hours, m (mesonet period code 18)",
    ("precipAccum", ["MESONET"]), stage=3)
var(36, "PCP24H", "precipitation of the last 24 hours, m (mesonet period code -3)",
    ("precip24Hour", ["METAR", "SAO", "COOP", "HCN", "CRN"]),
    names={"MESONET": "precipAccum"}, stage=3)
var(37, "PCPUTCM", "precipitation since 00 UTC, m (mesonet period code -1)",
    ("precipAccum", ["MESONET"]), stage=3)
var(38, "PCPLCM", "precipitation since local midnight, m (mesonet period code -2)",
    ("precipAccum", ["MESONET"]), stage=3)
var(193, "PCPSLR", "precipitation since the previous report, m (mesonet period code -4)",
    ("precipAccum", ["MESONET", "COOP"]), stage=3)
var(231, "PCPSTRM", "storm-total precipitation since the last gauge reset, m (mesonet period code -5)",
    ("precipAccum", ["MESONET"]), stage=3)
var(147, "PCPMAN", "COOP manual-gauge precipitation of the observation day, m (files: mm)",
    ("precipManual", ["COOP"]))
var(148, "PCPMON", "COOP precipitation of the month to date, m (files: mm)", ("precipMonth", ["COOP"]))
var(181, "PCP5M", "precipitation of the last 5 minutes, m (mesonet providers with code 4 = 1)",
    ("precip5Min", ["COOP", "HFMETAR"]), names={"MESONET": "precipAccum"}, stage=3)

# ---- snow ----
var(73, "SNOWD", "snow depth, m (COOP files: snowDepth6H and snowDepth24H, mm)",
    {"MESONET": "snowDepth", "COOP": "snowDepth24H"}, stage=3, derived=["COOP"])
var(161, "SNOWFL", "COOP snowfall of the observation day, m (files: mm)", ("snowfall24Hour", ["COOP"]))
var(178, "SNOWWE", "COOP snow water equivalent, m (files: mm)", ("snowWaterEquiv", ["COOP"]))

# ---- soil, fuel, water (mesonet) ----
var(78, "SOILM", "soil moisture, fraction (files: %)", ("soilMoisture", ["MESONET"]), stage=3)
var(79, "SOILT", "soil temperature, K", ("soilTemperature", ["MESONET"]), stage=3)
var(80, "FUELT", "fuel temperature, K", ("fuelTemperature", ["MESONET"]), stage=3)
var(81, "LEAFW", "leaf wetness index", ("leafWetness", ["MESONET"]), stage=3)
var(82, "WATERT", "water temperature, K", ("waterTemperature", ["MESONET"]), stage=3)
var(83, "FUELM", "fuel moisture, fraction (files: %)", ("fuelMoisture", ["MESONET"]), stage=3)
var(84, "WTRLVL", "water level, m", ("waterLevel", ["MESONET"]), stage=3)

# ---- road sensors 1-4 (mesonet road-weather networks) ----
for k in range(4):
    var(85 + k, "RDT%d" % (k + 1), "road surface temperature, sensor %d, K" % (k + 1),
        ("roadTemperature%d" % (k + 1), ROADNETS), stage=3)
    var(89 + k, "RDLFT%d" % (k + 1), "road liquid freezing temperature, sensor %d, K "
        "(files: roadLiquidFreezeTemp%d or roadAntiIceFreezeTemp%d)" % (k + 1, k + 1, k + 1),
        ("roadLiquidFreezeTemp%d" % (k + 1), ROADNETS), stage=3)
    var(93 + k, "RDLIP%d" % (k + 1), "ice percentage of the road surface liquid, sensor %d, %%" % (k + 1),
        ("roadLiquidIcePercent%d" % (k + 1), ROADNETS), stage=3)
    var(97 + k, "RDLDP%d" % (k + 1), "depth of the road surface liquid, sensor %d, m" % (k + 1),
        ("roadLiquidDepth%d" % (k + 1), ROADNETS), stage=3)
    var(106 + k, "RDSTA%d" % (k + 1), "road surface state code, sensor %d" % (k + 1),
        ("roadState%d" % (k + 1), ROADNETS), stage=3)

# ---- solar radiation: one code per radiation kind ----
RAD = [
    (187, "SRAD", 0, "solar radiation of providers without a declared kind, W/m2"),
    (74, "FSRD", 1, "solar radiation flux, instantaneous, W/m2"),
    (101, "FSRD15M", 2, "solar radiation flux, 15-minute mean, W/m2"),
    (102, "FSRD1H", 3, "solar radiation flux, 1-hour mean, W/m2"),
    (103, "FSRD24H", 4, "solar radiation flux, 24-hour mean, W/m2"),
    (104, "DSRD15M", 5, "solar radiation dose, 15-minute total, J/m2"),
    (105, "DSRD1H", 6, "solar radiation dose, 1-hour total, J/m2"),
    (132, "DSRD24H", 7, "solar radiation dose, 24-hour total, J/m2"),
    (133, "FSRD5M", 8, "solar radiation flux, 5-minute mean, W/m2"),
    (134, "FSRD10M", 9, "solar radiation flux, 10-minute mean, W/m2"),
    (135, "FSRD30M", 10, "solar radiation flux, 30-minute mean, W/m2"),
    (136, "DSRD5M", 11, "solar radiation dose, 5-minute total, J/m2"),
    (137, "DSRDLCM", 12, "solar radiation dose since local midnight, J/m2 (all COOP reports)"),
    (138, "DSRD10M", 13, "solar radiation dose, 10-minute total, J/m2"),
    (139, "DSRD30M", 14, "solar radiation dose, 30-minute total, J/m2"),
    (140, "DSRD3H", 15, "solar radiation dose, 3-hour total, J/m2"),
    (207, "FSRD3H", 16, "solar radiation flux, 3-hour mean, W/m2"),
]
for code, name, kind, meaning in RAD:
    var(code, name, meaning + " (radiation kind %d)" % kind,
        ("solarRadiation", ["MESONET", "COOP", "CRN"]), stage=3)

# ---- second sensor pairs of COOP and UrbaNet ----
var(143, "T2", "COOP second temperature, K", ("temperature2", ["COOP"]))
var(144, "RH2", "COOP second relative humidity, %", ("relHumidity2", ["COOP"]))
var(166, "TD2", "dew point of the T2/RH2 pair, K", ("relHumidity2", ["COOP"]), derived=["COOP"])
var(167, "TDD2", "dew-point depression of the T2/RH2 pair, K", ("relHumidity2", ["COOP"]), derived=["COOP"])
var(168, "SPHUM2", "specific humidity of the T2/RH2 pair, kg/kg", ("relHumidity2", ["COOP"]), derived=["COOP"])
var(169, "ABSHUM2", "absolute humidity of the T2/RH2 pair, kg/m3", ("relHumidity2", ["COOP"]), derived=["COOP"])
var(170, "TV2", "virtual temperature of the T2/TD2 pair, K", ("temperature2", ["COOP"]), derived=["COOP"])
var(203, "T3", "UrbaNet upper-sensor temperature, K", ("temperatureUpper", ["UrbaNet"]))
var(215, "RH3", "UrbaNet upper-sensor relative humidity, %", ("relHumidityUpper", ["UrbaNet"]))
var(197, "TD3", "dew point of the T3/RH3 pair, K", ("relHumidityUpper", ["UrbaNet"]), derived=["UrbaNet"])
var(198, "ABSHUM3", "absolute humidity of the T3/RH3 pair, kg/m3", ("relHumidityUpper", ["UrbaNet"]), derived=["UrbaNet"])
var(200, "TDD3", "dew-point depression of the T3/RH3 pair, K", ("relHumidityUpper", ["UrbaNet"]), derived=["UrbaNet"])
var(202, "SPHUM3", "specific humidity of the T3/RH3 pair, kg/kg", ("relHumidityUpper", ["UrbaNet"]), derived=["UrbaNet"])
var(204, "TV3", "virtual temperature of the T3/TD3 pair, K", ("temperatureUpper", ["UrbaNet"]), derived=["UrbaNet"])
var(209, "MIXR3", "mixing ratio of the T3/RH3 pair, kg/kg", ("relHumidityUpper", ["UrbaNet"]), derived=["UrbaNet"])
var(216, "T4", "UrbaNet lower-sensor temperature, K", ("temperatureLower", ["UrbaNet"]))
var(217, "RH4", "UrbaNet lower-sensor relative humidity, %", ("relHumidityLower", ["UrbaNet"]))

# The networks whose files carry QC companions (QCA, QCR, DD) for their variables.
QCNETS = {"MESONET"}
NOQC_CODES = {14, 15, 16, 17, 18, 5}


def fmt_tbl_line(code, slot, letter, chrlen, ncname, qc, stage):
    line = "%3d   %-20s %s    %3s      %-24s %s  %d" % (
        code, slot, letter, ("%3d" % chrlen) if letter == "c" else "", ncname, qc, stage)
    assert len(line) == 70, line
    return line


def write(path, lines):
    with open(os.path.join(STATIC, path), "w") as f:
        for ln in lines:
            f.write(ln.rstrip() + "\n")


def surface_tables():
    codes = sorted(v["code"] for v in VARS)
    assert len(codes) == len(set(codes)), "duplicate code"
    names = [v["name"] for v in VARS]
    assert len(names) == len(set(names)), "duplicate name"
    assert all(len(n) <= 7 for n in names)
    tbl = ["   Surface variable table.",
           "   cols 1-3 code, 7-26 source, 28 type, 33-35 char length, 42-65 NetCDF name,",
           "   67 QC companions (Q), 70 QC stage. Lines with blank columns 1-3 are comments.",
           ""]
    for v in sorted(VARS, key=lambda v: v["code"]):
        for net in NETS:
            if net not in v["nets"]:
                continue
            letter = v["letters"].get(net, "f")
            qc = "Q" if (net in QCNETS and v["qc"] and v["code"] not in NOQC_CODES) else " "
            tbl.append(fmt_tbl_line(v["code"], net, letter, v["chrlen"].get(net, 0),
                                    v["nets"][net], qc, v["stage"]))
    write("sfctbl.txt", tbl)
    vcn = []
    for v in sorted(VARS, key=lambda v: v["name"].ljust(7).encode()):
        vcn.append("%-7s        %3d   %s" % (v["name"], v["code"], v["ctype"]))
    write("sfcvcn.txt", vcn)
    return readme_rows()


# CF standard names of the surface variables that have one.
STANDARD_NAMES = {
    "TD": "dew_point_temperature", "RH": "relative_humidity", "P": "surface_air_pressure",
    "PMSL": "air_pressure_at_mean_sea_level", "T": "air_temperature",
    "DD": "wind_from_direction", "FF": "wind_speed", "U": "eastward_wind",
    "V": "northward_wind", "VIS": "visibility_in_air", "ELEV": "surface_altitude",
    "LAT": "latitude", "LON": "longitude", "DDGUST": "wind_gust_from_direction",
    "FFGUST": "wind_speed_of_gust", "T24MAX": "air_temperature", "T24MIN": "air_temperature",
    "SST": "sea_surface_temperature", "WVHT": "sea_surface_wave_significant_height",
    "PCPRATE": "precipitation_flux", "SNOWD": "surface_snow_thickness",
    "SPECHUM": "specific_humidity", "TDD": "dew_point_depression",
    "TV": "virtual_temperature", "ABSHUM": "mass_concentration_of_water_vapor_in_air",
    "SOILT": "soil_temperature", "FSRD": "surface_downwelling_shortwave_flux_in_air",
    "WTRLVL": "water_surface_height_above_reference_datum",
}
for _n in ["PCP1H", "PCP3H", "PCP6H", "PCP12H", "PCP18H", "PCP24H", "PCPUTCM", "PCPLCM",
           "PCPSLR", "PCPSTRM", "PCP5M", "PCPMAN", "PCPMON"]:
    STANDARD_NAMES[_n] = "lwe_thickness_of_precipitation_amount"

# Unit words of the meanings, as UDUNITS writes them.
UNIT_WORDS = [("kg m-2 s-1", "kg m-2 s-1"), ("W/m2", "W m-2"), ("J/m2", "J m-2"),
              ("kg/kg", "kg kg-1"), ("kg/m3", "kg m-3"), ("m/s", "m s-1"),
              ("degrees north", "degrees_north"), ("degrees east", "degrees_east"),
              ("degrees", "degree"), ("fraction", "1"), ("%", "%"), ("Pa", "Pa"),
              ("K", "K"), ("m", "m")]


def units_of(v):
    """The unit of the values callers get, from the meaning's last unit word."""
    if v["ctype"] == "C":
        return ""
    parts = [p.strip() for p in re.sub(r"\([^)]*\)", "", v["meaning"]).split(",")]
    for part in reversed(parts[1:]):
        for word, unit in UNIT_WORDS:
            if part == word or part.startswith(word + " "):
                return unit
    return "1"


def levels_of(code):
    return 6 if code == 44 else 2 if code in (40, 41) else 1


def descriptions():
    """sfcdesc.txt: name, code, levels, unit, CF standard name, meaning (tabs)."""
    lines = ["# name\tcode\tlevels\tunits\tstandard_name\tdescription"]
    for v in sorted(VARS, key=lambda v: v["name"].ljust(7).encode()):
        lines.append("\t".join([v["name"], str(v["code"]), str(levels_of(v["code"])),
                                units_of(v), STANDARD_NAMES.get(v["name"], ""),
                                v["meaning"]]))
    write("sfcdesc.txt", lines)


def readme_rows():
    rows = ["| Name | Code | Meaning and unit | NetCDF name per network | QC |",
            "|---|---|---|---|---|"]
    for v in sorted(VARS, key=lambda v: v["code"]):
        per = []
        groups = {}
        for net in NETS:
            if net in v["nets"]:
                key = (v["nets"][net], net in v["derived"])
                groups.setdefault(key, []).append(net)
        for (ncname, derived), nets in groups.items():
            per.append("%s: `%s`%s" % (", ".join(nets), ncname, " (derived)" if derived else ""))
        qcnets = [n for n in NETS if n in v["nets"] and n in QCNETS and v["qc"]
                  and v["code"] not in NOQC_CODES]
        rows.append("| %s | %d | %s | %s | %s |" % (
            v["name"], v["code"], v["meaning"], "; ".join(per),
            ("Q (" + ", ".join(qcnets) + "), stage %d" % v["stage"]) if qcnets
            else "stage %d" % v["stage"]))
    return rows


# ---- other datasets: {family: ([slot names], [(code, name, meaning, ncname, letter)])} ----
def v(code, name, meaning, ncname, letter="f"):
    return (code, name, meaning, ncname, letter)


PRES = v(1, "PRES", "pressure, Pa", "pressure")
HGT = v(2, "HGT", "level height, m", "levels")
ALT = v(2, "ALT", "altitude, m", "altitude")
TEMP = v(3, "TEMP", "temperature, K", "temperature")
DWPT = v(4, "DWPT", "dew point, K", "dewpoint")
WIND = [v(5, "WDIR", "wind direction, degrees", "windDir"),
        v(6, "WSPD", "wind speed, m/s", "windSpeed")]
POS = [v(17, "LAT", "latitude, degrees", "latitude"),
       v(18, "LON", "longitude, degrees", "longitude")]
STATION = [v(15, "STAID", "station identifier", "stationId", "c"),
           v(16, "ELEV", "station elevation, m", "elevation")] + POS
UA_STATION = [v(14, "WMOID", "WMO station number", "wmoStaNum", "i"),
              v(15, "STAID", "station identifier", "staName", "c"),
              v(16, "ELEV", "station elevation, m", "staElev"),
              v(17, "LAT", "latitude, degrees", "staLat"),
              v(18, "LON", "longitude, degrees", "staLon")]
OTHER = {
    "raob": (["RAOB"], [PRES, v(2, "HGT", "geopotential height, m", "height"), TEMP, DWPT]
             + WIND + UA_STATION),
    "npn": (["NPN"], [HGT] + WIND + [v(7, "WVERT", "vertical wind, m/s", "wWind")]
            + UA_STATION[1:]),
    "acars": (["ACARS"], [PRES, ALT, TEMP] + WIND
              + [v(15, "TAIL", "aircraft tail number", "tailNumber", "c")] + POS),
    "map": (["MAP"], [HGT] + WIND + STATION),
    "rdmtr": (["RDMTR"], [HGT, TEMP, v(8, "VAPDEN", "water vapour density, kg/m3", "vaporDensity"),
                          v(9, "LIQW", "integrated liquid water, kg/m2", "liquidWater")] + STATION),
    "acarsp": (["ACARSP"], [PRES, ALT, TEMP] + WIND
               + [v(15, "APT", "airport identifier", "profileAirport", "c")] + POS),
    "hydro": (["HYDRO"], [v(1, "STAGE", "river stage, m", "riverStage"),
                          v(2, "FLOW", "river discharge, m3/s", "riverFlow"),
                          v(3, "PCP1H", "precipitation of the last hour, m", "precip1Hour")]
              + STATION),
    "satwnd": (["GOES-OPER-WINDS", "GOES-EXPER-WINDS"],
               [PRES] + WIND + [v(10, "CHAN", "satellite channel", "satChannel", "s")] + POS),
    "satsnd": (["POES-SOUNDINGS"], [PRES, TEMP, DWPT] + POS),
    "satrad": (["SATELLITE-RADIANCE"], [v(1, "BTEMP", "brightness temperature, K", "brightTemp"),
                                        v(2, "CHAN", "channel number", "channel", "s")] + POS),
    "snow": (["SNOW"], [v(1, "SNOWD", "snow depth, m", "snowDepth"),
                        v(2, "SNOWFL", "new snowfall, m", "snowfall"),
                        v(3, "SNOWWE", "snow water equivalent, m", "snowWaterEquiv")] + STATION),
    "wisdom": (["WISDOM"], [PRES, v(2, "ALT", "balloon altitude, m", "altitude")] + WIND
               + [v(15, "STAID", "balloon identifier", "balloonId", "c")] + POS),
}


def other_tables():
    for fam, (slots, vars_) in OTHER.items():
        variants = [("%stbl.txt" % fam, "Q")]
        if fam in ("acars", "acarsp"):
            variants.append(("teska_%stbl.txt" % fam, " "))
        for fname, qcmark in variants:
            lines = ["   %s variable table (same layout as sfctbl.txt)." % fam.upper(), ""]
            for code, _name, _m, ncname, letter in sorted(vars_):
                for slot in slots:
                    qc = qcmark if code < 14 else " "
                    lines.append(fmt_tbl_line(code, slot, letter, 10 if letter == "c" else 0,
                                              ncname, qc, 1 if qc == "Q" else 0))
            write(fname, lines)
        vcn = []
        for code, name, _m, _nc, letter in sorted(vars_, key=lambda v: v[1].ljust(7).encode()):
            vcn.append("%-7s        %3d   %s" % (name, code, "C" if letter == "c" else "N"))
        write("%svcn.txt" % fam, vcn)


# ---- surface providers ----
# name, precipitation period code, radiation kind, by-station flag
PROVIDERS = [
    ("ASOS", 1, 0, 0), ("COOP", -3, 12, 0), ("OTHER-MTR", 1, 0, 0), ("SAO", 1, 0, 0),
    ("MARITIME", 6, 0, 0), ("ASOS-HFM", 1, 0, 0),
    # mesonet providers, places 7-30
    ("APRSWXNET", -3, 1, 0), ("MesoWest", 0, 0, 1), ("UTMESNET", -1, 3, 0),
    ("OKMESO", -1, 2, 0), ("WTXMESO", 1, 2, 0), ("NCECONET", 1, 3, 0), ("DEOS", -2, 8, 0),
    ("KSMESO", -1, 3, 0), ("RAWS", 1, 3, 0), ("AZMET", 1, 6, 0), ("CIMIS", 1, 6, 0),
    ("FAWN", -2, 2, 0), ("GAEMN", 1, 2, 0), ("MNDOT", -4, 0, 0), ("IADOT", -4, 0, 0),
    ("WIDOT", 0, 0, 0), ("CODOT", -5, 0, 0), ("NOS-NWLON", 6, 0, 0), ("SFWMD", 1, 2, 0),
    ("ISWS", 1, 7, 0), ("KYMN", -1, 8, 0), ("NEBRMESO", 1, 4, 0), ("AWS", -2, 1, 1),
    ("GPSMET", 0, 0, 0),
    # fixed places 31-35
    ("UrbaNet", 1, 0, 0), ("OTHER-HFM", 1, 0, 0), ("NEPP", 1, 0, 0), ("HCN", 1, 0, 0),
    ("CRN", 1, 8, 0),
]
# By-station records of the providers with the by-station flag: the first 11
# characters of a report's "stationName", trimmed, must equal the name.
SUBTYPES = [
    ("ALTA GUARD", 1, 3), ("SNOWBIRD", 1, 3), ("PARK CITY", -1, 6), ("LOGAN RIVER", 6, 0),
    ("BRYCE CANYN", -2, 2), ("KSLC TOWER", 1, 1), ("MOAB", 3, 7), ("VERNAL", -1, 3),
    ("WEATHERBUG1", -4, 1), ("WEATHERBUG2", -2, 1), ("SCHOOLNET 3", -2, 9),
]


def providers():
    assert len(PROVIDERS) == 35
    fixed = {1: "ASOS", 2: "COOP", 3: "OTHER-MTR", 4: "SAO", 5: "MARITIME", 6: "ASOS-HFM",
             31: "UrbaNet", 32: "OTHER-HFM", 33: "NEPP", 34: "HCN", 35: "CRN"}
    for k, name in fixed.items():
        assert PROVIDERS[k - 1][0] == name
    lines = []
    for name, c1, c2, c3 in PROVIDERS:
        lines.append(" P     %-10s  %2d   %2d   %2d" % (name, c1, c2, c3))
    for name, c1, c2 in SUBTYPES:
        lines.append(" S     %-11s %2d   %2d" % (name, c1, c2))
    write("sfcsrcin.txt", lines)
    snow = [("COCORAHS", 0, 0, 0), ("SNOTEL", 0, 0, 0), ("NWS-COOP", 0, 0, 0),
            ("CANADA-SN", 0, 0, 0), ("NOHRSC", 0, 0, 1)]
    lines = [" P     %-10s  %2d   %2d   %2d" % p for p in snow]
    lines.append(" S     %-11s %2d   %2d" % ("RIDGE SITE", 0, 0))
    write("snowsrcin.txt", lines)


ASOS = """KABQ KAMA KATL KAUS KBDL KBHM KBIL KBIS KBNA KBOI KBOS KBTV KBUF KBWI KCAE KCHS
KCLE KCLT KCMH KCOS KCRP KCVG KDAL KDCA KDEN KDFW KDLH KDSM KDTW KELP KEWR KFAR KFAT KFSD
KGEG KGRB KGSO KHOU KIAD KIAH KICT KIND KJAN KJAX KJFK KLAS KLAX KLBB KLGA KLIT KMAF KMCI
KMCO KMEM KMIA KMKE KMSN KMSP KMSY KOKC KOMA KORD KPDX KPHL KPHX KPIT KPWM KRAP KRDU KRIC
KRNO KSAN KSAT KSDF KSEA KSFO KSGF KSHV KSLC KSMF KSTL KTLH KTPA KTUL KTUS KABR KACY KALB
KAPN KAVL KBGR KBRO KCAK KCPR KCYS KDAY KDRT KELY KERI KEUG KFLG KGGW KGJT KGTF KHLN KHSV
KINL KLCH KLEX KLND KMFR KMOB KMOT KOTH KPIH KPUB KROA KSAV KSYR KTOP KYKM CYYZ CYUL CYVR""".split()


def stadic():
    assert len(ASOS) == len(set(ASOS))
    write("stadic.txt", ["%-5s A" % s for s in ASOS])


# ---- terrain grid: 81 x 62 points, 60 km polar stereographic, true at 40N, orient -105 ----
R = 6366707.0
XPOLE, YPOLE, TRUELAT, ORIENT = 1854642.0, 6691869.0, 40.0, -105.0
LAKES = [  # lat0, lat1, lon0, lon1, surface height (m)
    (46.4, 49.0, -92.2, -84.5, 183.0),   # Superior
    (41.6, 46.0, -88.0, -85.5, 176.0),   # Michigan
    (43.0, 46.3, -84.5, -80.0, 176.0),   # Huron
    (41.4, 42.9, -83.5, -78.9, 174.0),   # Erie
    (43.2, 44.2, -79.8, -76.0, 75.0),    # Ontario
    (50.3, 53.8, -99.3, -96.3, 217.0),   # Winnipeg
    (60.8, 62.5, -117.0, -109.0, 156.0), # Great Slave
    (64.8, 67.0, -126.0, -117.5, 156.0), # Great Bear
]


def latlon(i, j):
    dx = (i - 1) * 60000.0 - XPOLE
    dy = (j - 1) * 60000.0 - YPOLE
    r = math.hypot(dx, dy)
    lat = 90.0 - 2.0 * math.degrees(math.atan(r / (R * (1.0 + math.sin(math.radians(TRUELAT))))))
    lon = math.degrees(math.atan2(dy, dx)) + 90.0 + ORIENT
    lon = (lon + 180.0) % 360.0 - 180.0
    return lat, lon


def ocean(lat, lon):
    west_coast = -124.5 + 0.5 * max(0.0, 40.0 - lat) - 0.6 * max(0.0, lat - 48.0)
    if lon < west_coast:
        return True                                   # Pacific
    if lat < 29.6 and -97.3 < lon < -82.8:
        return True                                   # Gulf of Mexico
    if lat < 25.0 and lon > -97.5:
        return True
    if lon > -81.0 + 0.9 * max(0.0, lat - 31.0) and lat < 45.0:
        return True                                   # Atlantic
    if lat >= 45.0 and lon > -67.0:
        return True
    if 53.0 < lat < 63.0 and -94.0 < lon < -79.0:
        return True                                   # Hudson Bay
    return False


def gauss(d, w):
    return math.exp(-(d / w) ** 2)


def height(lat, lon):
    for la0, la1, lo0, lo1, h in LAKES:
        if la0 <= lat <= la1 and lo0 <= lon <= lo1:
            return h
    if ocean(lat, lon):
        return 0.0
    crest = -106.0 - max(0.0, lat - 40.0) * 0.8 + max(0.0, 35.0 - lat) * 0.3
    sierra = -119.5 - max(0.0, lat - 38.0) * 0.25
    h = 120.0
    if lon > crest:
        # Great Plains rising from the Mississippi to the foot of the Rockies
        f = min(1.0, max(0.0, (lon + 95.0) / (crest + 95.0)))
        h += 1500.0 * f ** 1.6
    elif lon > sierra + 1.5:
        # intermountain plateaus and basins
        h += 1300.0 - 300.0 * gauss(lat - 36.0, 3.0)
    else:
        # Pacific slope: valleys between the coast ranges and the Sierra/Cascades
        h += 80.0
    h += 2000.0 * gauss(lon - crest, 2.0) * (1.0 if 31.0 < lat < 62.0 else 0.4)
    h += 1700.0 * gauss(lon - sierra, 0.9) * (1.0 if 35.0 < lat < 50.0 else 0.3)
    h += 500.0 * gauss(lon + 123.6, 0.5) * (1.0 if lat > 38.0 else 0.5)  # coast ranges
    t = (lat - 34.0) / 11.0                                              # Appalachians
    if -0.1 < t < 1.1:
        h += 750.0 * gauss(lon - (-85.0 + 15.0 * t), 1.4)
    if lat < 29.0 and -106.0 < lon < -98.0:                              # Mexican plateau
        h += 1300.0 * min(1.0, (29.0 - lat) / 3.0)
    if lat < 33.0 and lon > -92.0:                                       # coastal plain
        h *= 0.6
    return round(h, 1)


def topo():
    lines = []
    for j in range(1, 63):
        for i in range(1, 82):
            lat, lon = latlon(i, j)
            lines.append("%d %d %.0f" % (i, j, height(lat, lon)))
    write("topomini.txt", lines)


def cdl():
    fams = ["metar", "maritime", "sao", "mesonet", "coop", "urbanet", "hfmetar", "nepp", "hcn",
            "crn", "raob", "profiler", "acars", "map", "radiometer", "acarsp", "hydro", "satwnd",
            "satsnd", "satrad", "snow", "wisdom"]
    os.makedirs(os.path.join(STATIC, "cdl"), exist_ok=True)
    for f in fams:
        text = ("netcdf %s {\n"
                "dimensions:\n"
                "\trecNum = UNLIMITED ; // (0 currently)\n"
                "\n"
                "// global attributes:\n"
                "\t\t:title = \"%s file template\" ;\n"
                "\t\t:filePeriod = 3600 ;\n"
                "\t\t:fileEndOffset = 3540 ;\n"
                "}\n") % (f, f)
        with open(os.path.join(STATIC, "cdl", f + ".cdl"), "w") as fh:
            fh.write(text)


def readme(rows):
    path = os.path.join(STATIC, "README.md")
    begin, end = "<!-- surface codes: begin -->", "<!-- surface codes: end -->"
    with open(path) as f:
        text = f.read()
    a, b = text.index(begin) + len(begin), text.index(end)
    text = text[:a] + "\n" + "\n".join(rows) + "\n" + text[b:]
    with open(path, "w") as f:
        f.write(text)


if __name__ == "__main__":
    rows = surface_tables()
    descriptions()
    other_tables()
    providers()
    stadic()
    topo()
    cdl()
    if os.path.exists(os.path.join(STATIC, "README.md")):
        readme(rows)
    sys.exit(0)
