"""Exceptions of the voran package: one base class carrying the library's
status number and message, and a subclass per kind of failure."""


class Error(Exception):
    """A failed query.

    status  the library's status number (0 for a bad argument found before
            any library call)
    call    the library call that failed ("" when none was made)
    message the library's own message, or a description
    """

    def __init__(self, status, message, call=""):
        super().__init__(f"{call} failed with status {status}: {message}" if call else message)
        self.status = int(status)
        self.call = call
        self.message = message

    def __reduce__(self):
        # Failures cross processes (Dask workers) with their kind and status.
        return (_rebuild, (type(self), self.status, self.message, self.call, dict(self.__dict__)))


def _rebuild(cls, status, message, call, state):
    e = cls.__new__(cls)
    Error.__init__(e, status, message, call)
    e.__dict__.update(state)
    return e


class ArgumentError(Error, ValueError):
    """A time, name or setting that was refused. ``argument`` names it
    ("time", "vars", "providers", "box", ...) when known."""

    def __init__(self, status, message, call="", argument=None):
        super().__init__(status, message, call)
        self.argument = argument


class NoDataError(Error):
    """No station reported for the time (status 1006)."""


class DirectoryError(Error):
    """The static or data directory is unset, too long, missing or unusable
    (statuses 1001-1008)."""


class TableError(Error):
    """A static table or template is unreadable or invalid (2002, 4002)."""


class FileError(Error):
    """A data file could not be read (2001, 3004, 4001)."""


class InternalError(Error):
    """Calls out of order, or any other failure."""


KINDS = {
    "argument": ArgumentError,
    "nodata": NoDataError,
    "environment": DirectoryError,
    "table": TableError,
    "file": FileError,
    "internal": InternalError,
}
