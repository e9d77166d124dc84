"""python3 -m voran map|meteogram: the package's pictures from the command
line. Exit status 0 done, 1 the library failed, 2 the command line was
wrong."""
import argparse
import os
import sys
import tempfile

EXAMPLES = {
    "map": "example (the sample tree of gen_sample):\n"
           "  python3 -m voran map --time 2021-08-25T20:00 --var T --wind "
           "--static build/static --data sample -o map.png",
    "meteogram": "example:\n"
                 "  python3 -m voran meteogram --start 2021-08-25T19:00 --end 2021-08-25T21:00 "
                 "--station KDEN --vars T,TD,FF --static build/static --data sample "
                 "-o meteogram.png",
}


def floats(n, name):
    def parse(text):
        try:
            v = [float(x) for x in text.split(",")]
        except ValueError:
            raise argparse.ArgumentTypeError(f"expected {n} comma-separated numbers") from None
        if len(v) != n:
            raise argparse.ArgumentTypeError(f"expected {n} comma-separated numbers")
        return v
    parse.__name__ = name
    return parse


def size(text):
    try:
        w, h = (int(x) for x in text.lower().split("x"))
    except ValueError:
        raise argparse.ArgumentTypeError("expected WIDTHxHEIGHT in pixels, e.g. 1200x900") from None
    if w < 100 or h < 100:
        raise argparse.ArgumentTypeError("at least 100x100 pixels")
    return w, h


def names(text):
    return [x for x in text.split(",") if x]


def selection(p):
    p.add_argument("--providers", type=names,
                   help="deselect every source, then select each NAME (or deselect -NAME): "
                        "ALL-MESO,-RAWS (default: the tables' own selection)")
    p.add_argument("--qc-level", type=int, default=0, help="0 none, 1, 2, 3 or 99")
    p.add_argument("--box", type=floats(4, "box"), help="LATMIN,LATMAX,LONMIN,LONMAX")
    p.add_argument("--radius", type=floats(3, "radius"), help="LAT,LON,KM")
    p.add_argument("--static", help="static tables (default: $VORAN_STATIC)")
    p.add_argument("--data", help="observation tree (default: $VORAN_DATA)")
    p.add_argument("--database", default="ZEM")
    p.add_argument("-o", "--output", required=True, help="the PNG to write")
    p.add_argument("--dpi", type=int, default=100)


def parser():
    ap = argparse.ArgumentParser(prog="python3 -m voran", description=__doc__.split("\n")[0])
    sub = ap.add_subparsers(dest="command", required=True)
    m = sub.add_parser("map", help="stations of one time coloured by a variable",
                       epilog=EXAMPLES["map"], formatter_class=argparse.RawDescriptionHelpFormatter)
    m.add_argument("--time", required=True, help="UTC: 2021-08-25T20:00")
    m.add_argument("--var", required=True, help="the variable that colours the stations")
    m.add_argument("--wind", action="store_true", help="wind barbs (reads U and V as well)")
    m.add_argument("--stations", type=names, help="only these identifiers: ID,ID,...")
    m.add_argument("--vmin", type=float)
    m.add_argument("--vmax", type=float)
    m.add_argument("--cmap")
    m.add_argument("--no-terrain", action="store_true")
    m.add_argument("--size", type=size, default=(1200, 800), help="WIDTHxHEIGHT pixels")
    selection(m)
    g = sub.add_parser("meteogram", help="time series of one station, a panel per variable",
                       epilog=EXAMPLES["meteogram"],
                       formatter_class=argparse.RawDescriptionHelpFormatter)
    g.add_argument("--start", required=True)
    g.add_argument("--end", required=True)
    g.add_argument("--freq", default="1h")
    g.add_argument("--station", required=True)
    g.add_argument("--network", help="the station's network, where two share its identifier")
    g.add_argument("--vars", type=names, required=True, help="T,TD,FF,...")
    g.add_argument("--size", type=size, help="WIDTHxHEIGHT pixels (default 1200 x 280 a panel)")
    g.add_argument("-q", "--quiet", action="store_true", help="no progress bar")
    selection(g)
    return ap


def save(fig, path, dpi):
    """Writes beside the target and renames, so no half picture is left."""
    folder = os.path.dirname(os.path.abspath(path))
    fd, tmp = tempfile.mkstemp(prefix=".voran-", suffix=".png", dir=folder)
    try:
        with os.fdopen(fd, "wb") as f:
            fig.savefig(f, format="png", dpi=dpi)
        mask = os.umask(0)
        os.umask(mask)
        os.chmod(tmp, 0o666 & ~mask)  # mkstemp makes the file private
        os.replace(tmp, path)
    except BaseException:
        os.unlink(tmp)
        raise


def main(argv=None):
    a = parser().parse_args(argv)
    import voran
    from voran import plot

    common = dict(providers=a.providers, qc_level=a.qc_level, box=a.box, radius=a.radius,
                  static=a.static, data=a.data, database=a.database)
    try:
        if a.command == "map":
            wanted = [a.var] + (["U", "V"] if a.wind and a.var not in ("U", "V") else [])
            df = voran.read(a.time, wanted, stations=a.stations, **common)
            w, h = a.size
            axes = plot.new_axes((w / a.dpi, h / a.dpi), a.dpi)
            plot.station_map(df, a.var, ax=axes[0], wind=a.wind, terrain=not a.no_terrain,
                             vmin=a.vmin, vmax=a.vmax, cmap=a.cmap)
        else:
            df = voran.read_range(a.start, a.end, a.vars, freq=a.freq, stations=[a.station],
                                  progress=not a.quiet, **common)
            w, h = a.size or (1200, 120 + 280 * len(a.vars))
            axes = plot.new_axes((w / a.dpi, h / a.dpi), a.dpi, len(a.vars))
            plot.meteogram(df, a.station, a.vars, ax=axes, network=a.network)
        save(axes[0].figure, a.output, a.dpi)
    except voran.ArgumentError as e:
        print(f"python3 -m voran {a.command}: {e}", file=sys.stderr)
        return 2
    except voran.Error as e:
        print(f"python3 -m voran {a.command}: {e}", file=sys.stderr)
        return 1
    except (ValueError, KeyError, OSError) as e:
        print(f"python3 -m voran {a.command}: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
