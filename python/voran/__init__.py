"""voran: surface observations of many networks as pandas and xarray.

    import voran
    df = voran.read("2021-08-25T20:00", ["T", "TD", "DD", "FF"], providers=["ALL-MESO"])
    ts = voran.read_range("2021-08-25T19:00", "2021-08-25T21:00", ["T"], stations=["KDEN"])
    ds = voran.read_dataset("2021-08-25T19:00", "2021-08-25T21:00", ["T", "TD"])

Every value carries its QC: for a variable V the frame has V (float32, NaN
where missing), V_qcd (the one-character descriptor, categorical), V_qca and
V_qcr (int32 masks of the checks applied and failed). ``static`` and
``data`` default to $VORAN_STATIC and $VORAN_DATA.

The library's state belongs to the whole process and it works one hour at a
time: the package holds a lock around every query (other Python threads run
meanwhile, the GIL is released while the library works). For parallel work
use processes, each with its own copy of the library.
"""
from . import _voran
from ._errors import (ArgumentError, DirectoryError, Error, FileError, InternalError,
                      NoDataError, TableError)
from ._frame import MISSING, REJECTED
from ._query import Lambert, Polar
from ._read import providers, read, read_dataset, read_range, stations, variables

__all__ = [
    "read", "read_range", "read_dataset", "stations", "variables", "providers",
    "Error", "ArgumentError", "NoDataError", "DirectoryError", "TableError", "FileError",
    "InternalError", "Lambert", "Polar", "MISSING", "REJECTED",
]
