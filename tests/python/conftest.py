"""Fixtures of the Python package's tests: the build's static directory, the
sample tree made by gen_sample, small MESONET files made from CDL with
ncgen, and the voran tool when the build has it.

CTest sets PYTHONPATH (the package as built), VORAN_STATIC (the build's
static directory), VORAN_TEST_BUILD (the build directory) and NCGEN."""
import os
import pathlib
import shutil
import subprocess

import pytest

TIME = "2021-08-25T20:00"
STALIST = ("TD ALTSE P T DD FF SOILM SOILT PCP1H PCP24H PCPUTCM PCPRATE DDGUST FFGUST RDT1 RDT2 "
           "RDT3 RDT4 RDLFT1 RDLFT2 RDLFT3 RDLFT4 RDLIP1 RDLIP2 RDLIP3 RDLIP4 RDLDP1 RDLDP2 "
           "RDLDP3 RDLDP4 RDSTA1 RDSTA2 RDSTA3 RDSTA4 FSRD15M FSRD1H FSRD24H DSRD15M DSRD1H "
           "DSRD24H VIS").split()
MESONET_DIR = ("KORB", "mesonet", "netCDF")


def build_dir():
    b = os.environ.get("VORAN_TEST_BUILD")
    if not b:
        pytest.exit("VORAN_TEST_BUILD is not set (run the tests through ctest)", 2)
    return pathlib.Path(b)


@pytest.fixture(scope="session")
def build():
    return build_dir()


@pytest.fixture(scope="session")
def static(build):
    s = os.environ.get("VORAN_STATIC") or str(build / "static")
    assert os.path.isfile(os.path.join(s, "sfctbl.txt")), s
    return s


@pytest.fixture(scope="session")
def sample(build, static, tmp_path_factory):
    """The sample tree of gen_sample (three hours, 19 to 21 UTC)."""
    out = tmp_path_factory.mktemp("sample") / "tree"
    subprocess.run([str(build / "gen_sample"), str(out), static], check=True,
                   stdout=subprocess.DEVNULL)
    return str(out)


@pytest.fixture(scope="session", autouse=True)
def environment(static, sample):
    """Every test sees the build's static directory and the sample tree as
    the defaults, and nothing else from the caller's environment."""
    with pytest.MonkeyPatch.context() as mp:
        mp.setenv("VORAN_STATIC", static)
        mp.setenv("VORAN_DATA", sample)
        mp.delenv("VORAN_SERVER", raising=False)
        yield


@pytest.fixture(scope="session")
def tool(build):
    """The voran command-line tool, when the build made it."""
    path = build / "cli" / "voran"
    if not path.is_file():
        pytest.skip("the voran tool is not built")
    return str(path)


def ncgen(cdl, path):
    path = pathlib.Path(path)
    path.parent.mkdir(parents=True, exist_ok=True)
    src = path.with_name(path.name + ".cdl")
    src.write_text(cdl)
    exe = os.environ.get("NCGEN") or shutil.which("ncgen")
    subprocess.run([exe, "-o", str(path), str(src)], check=True)
    src.unlink()


def mesonet_cdl(records, extra_vars="", extra_data=""):
    """A MESONET file of `records`: dicts with id, lat, lon, elev, minutes
    (from 20:00 UTC), provider, wmo (None: fill) and T, T_qca, T_qcr, T_qcd
    (T None: fill)."""
    base = 1629921600  # 2021-08-25T20:00Z

    def num(v):
        return "_" if v is None else repr(v)

    def col(key, fmt=num):
        return ", ".join(fmt(r.get(key)) for r in records)

    def text(key):
        return ", ".join('"%s"' % r.get(key, "") for r in records)

    times = ", ".join(str(base + 60 * r.get("minutes", 0)) for r in records)
    received = ", ".join(str(base + 60 * r.get("minutes", 0) + 60) for r in records)
    return f"""netcdf m {{
dimensions:
  recNum = UNLIMITED ; // ({len(records)} currently)
  stationId_len = 6 ;
  dataProvider_len = 11 ;
  temperatureDD_len = 1 ;
variables:
  char stationId(recNum, stationId_len) ;
  float latitude(recNum) ;
    latitude:_FillValue = 3.0e36f ;
  float longitude(recNum) ;
    longitude:_FillValue = 3.0e36f ;
  float elevation(recNum) ;
    elevation:_FillValue = 3.0e36f ;
  double observationTime(recNum) ;
    observationTime:_FillValue = 3.40282346e+38 ;
  double reportTime(recNum) ;
    reportTime:_FillValue = 3.40282346e+38 ;
  double receivedTime(recNum) ;
    receivedTime:_FillValue = 3.40282346e+38 ;
  char dataProvider(recNum, dataProvider_len) ;
  int wmoId(recNum) ;
    wmoId:_FillValue = -2147483647 ;
  float temperature(recNum) ;
    temperature:_FillValue = 3.0e36f ;
  int temperatureQCA(recNum) ;
  int temperatureQCR(recNum) ;
  char temperatureDD(recNum, temperatureDD_len) ;
{extra_vars}
data:
  stationId = {text("id")} ;
  latitude = {col("lat")} ;
  longitude = {col("lon")} ;
  elevation = {col("elev")} ;
  observationTime = {times} ;
  reportTime = {times} ;
  receivedTime = {received} ;
  dataProvider = {text("provider")} ;
  wmoId = {col("wmo")} ;
  temperature = {col("T")} ;
  temperatureQCA = {col("T_qca")} ;
  temperatureQCR = {col("T_qcr")} ;
  temperatureDD = {text("T_qcd")} ;
{extra_data}
}}
"""


# MESONET reports chosen for the edges of the conversion: blanks inside and
# before an identifier, a fill value, a rejected value, a letter no table
# names, a blank descriptor.
RECORDS = [
    dict(id="AB CD", lat=40.0, lon=-105.0, elev=1600.0, minutes=0, provider="MesoWest",
         wmo=None, T=273.15, T_qca=6, T_qcr=0, T_qcd="S"),
    dict(id="KXYZ", lat=41.0, lon=-104.0, elev=1500.0, minutes=-5, provider="MesoWest",
         wmo=72469, T=None, T_qca=6, T_qcr=0, T_qcd="S"),
    dict(id="Q1", lat=42.0, lon=-103.0, elev=1400.0, minutes=5, provider="RAWS",
         wmo=None, T=300.5, T_qca=6, T_qcr=4, T_qcd="Q"),
    dict(id="Q2", lat=43.0, lon=-102.0, elev=1300.0, minutes=0, provider="MesoWest",
         wmo=None, T=301.25, T_qca=2, T_qcr=0, T_qcd="K"),
    dict(id=" LEAD", lat=44.0, lon=-101.0, elev=1200.0, minutes=0, provider="MesoWest",
         wmo=None, T=280.0, T_qca=0, T_qcr=0, T_qcd=" "),
]


@pytest.fixture
def small_tree(tmp_path):
    """A data tree holding one MESONET file of RECORDS at 20 UTC."""
    ncgen(mesonet_cdl(RECORDS), tmp_path.joinpath(*MESONET_DIR, "20210825_2000"))
    return str(tmp_path)
