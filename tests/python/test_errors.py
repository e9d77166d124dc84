"""Failures raise voran.Error subclasses carrying the status, the call and
the message, with the subclass of their kind."""
import os
import shutil

import pytest

import voran
from conftest import MESONET_DIR, RECORDS, TIME, mesonet_cdl, ncgen


@pytest.mark.parametrize("kw, argument", [
    (dict(time="2021-02-30T20:00"), "time"),
    (dict(time="yesterday"), "time"),
    (dict(time=object()), "time"),
    (dict(variables=["NOPE"]), "vars"),
    (dict(variables=[]), "vars"),
    (dict(providers=["NOPE"]), "providers"),
    (dict(box=(42, 36, -110, -101)), "box"),
    (dict(box=(36, 42, -110)), "box"),
    (dict(radius=(39.7, -105.0, -5)), "radius"),
    (dict(box=(36, 42, -110, -101), radius=(39.7, -105.0, 50)), "radius"),
    (dict(grid={"projection": "mercator"}), "grid"),
    (dict(qc_level=7), "qc-level"),
    (dict(window=(10, -10, 1)), "window"),
    (dict(window=(0, 0, 9)), "window"),
    (dict(static="/nonexistent/static"), "static"),
])
def test_bad_arguments(kw, argument):
    time = kw.pop("time", TIME)
    variables = kw.pop("variables", ["T"])
    with pytest.raises(voran.ArgumentError) as e:
        voran.read(time, variables, **kw)
    assert isinstance(e.value, ValueError) and isinstance(e.value, voran.Error)
    assert e.value.status == 0 and e.value.argument == argument
    assert str(e.value)
    # The tool's options and subcommands are not the caller's to give.
    assert "--" not in str(e.value) and "voran " not in str(e.value)


def test_bad_ranges():
    with pytest.raises(voran.ArgumentError) as e:
        voran.read_range("2021-08-25T21:00", "2021-08-25T19:00", ["T"], progress=False)
    assert e.value.argument == "end"
    for freq in ("0h", "90s", "often"):
        with pytest.raises(voran.ArgumentError) as e:
            voran.read_range("2021-08-25T19:00", "2021-08-25T21:00", ["T"], freq=freq,
                             progress=False)
        assert e.value.argument == "freq"


def test_library_refusals():
    with pytest.raises(voran.ArgumentError) as e:
        voran.read(TIME, ["T"], database="BAD")
    assert e.value.status == 10 and e.value.call == "MINIT"


def test_no_data():
    with pytest.raises(voran.NoDataError) as e:
        voran.read("2021-08-26T05:00", ["T"])
    assert e.value.status == 1006
    with pytest.raises(voran.NoDataError):
        voran.stations("2021-08-26T05:00")
    with pytest.raises(voran.NoDataError):
        voran.read_range("2021-08-26T05:00", "2021-08-26T07:00", ["T"], progress=False)


def test_bad_table(tmp_path, static):
    broken = tmp_path / "static"
    shutil.copytree(static, broken)
    os.unlink(broken / "topomini.txt")
    with pytest.raises(voran.TableError) as e:
        voran.read(TIME, ["T"], static=broken)
    assert e.value.status == 2002 and "TOPMINI" in e.value.message
    with pytest.raises(voran.TableError):
        voran.variables(static=broken)


def test_directory_too_long(tmp_path):
    deep = tmp_path / ("d" * 120) / ("e" * 120)
    deep.mkdir(parents=True)
    with pytest.raises(voran.DirectoryError) as e:
        voran.read(TIME, ["T"], data=deep)
    assert 1001 <= e.value.status <= 1008


def test_bad_file(tmp_path):
    # A temperature of characters where the tables say numbers.
    cdl = mesonet_cdl(RECORDS).replace(
        "float temperature(recNum) ;\n    temperature:_FillValue = 3.0e36f ;",
        "char temperature(recNum, temperatureDD_len) ;").replace(
        "temperature = 273.15, _, 300.5, 301.25", 'temperature = "a", "b", "c", "d"')
    ncgen(cdl, tmp_path.joinpath(*MESONET_DIR, "20210825_2000"))
    with pytest.raises(voran.FileError) as e:
        voran.read(TIME, ["T"], providers=["ALL-MESO"], data=tmp_path)
    assert e.value.status in (2001, 3004) and e.value.call == "MGETSFC"
    # The station list of the same file is fine.
    assert len(voran.stations(TIME, providers=["ALL-MESO"], data=tmp_path)) == len(RECORDS)


def test_failures_leave_the_package_usable():
    with pytest.raises(voran.Error):
        voran.read(TIME, ["NOPE"])
    assert len(voran.read(TIME, ["T"], stations=["KDEN"])) == 1
