"""The tool words the layer's refusals in terms of its own options and
subcommands, where a C++ or Python caller is told the setting's name."""
import os
import subprocess

import pytest

BUILD = os.environ["VORAN_BUILD"]
TOOL = os.path.join(BUILD, "cli", "voran")
STATIC = os.path.join(BUILD, "static")
ASK = ["--time", "2021-08-25T20:00"]


@pytest.mark.parametrize("args, line", [
    (["extract", *ASK, "--vars", "T,NOPE", "--static", STATIC, "--data", "/"],
     "voran: --vars: unknown variable 'NOPE' (voran vars lists them)"),
    (["extract", *ASK, "--vars", "T", "--providers", "NOPE", "--static", STATIC, "--data", "/"],
     "voran: --providers: unknown provider 'NOPE' (voran providers lists them; METAR stations "
     "are ALL-MTR, ASOS or OTHER-MTR)"),
    (["extract", *ASK, "--vars", "T", "--static", STATIC],
     "voran: --data: no --data directory given and VORAN_DATA is not set"),
    (["stations", *ASK, "--data", "/"],
     "voran: --static: no --static directory given and VORAN_STATIC is not set"),
    (["vars"], "voran: --static: no --static directory given and VORAN_STATIC is not set"),
])
def test_refusals_name_the_tools_options(args, line):
    env = {k: v for k, v in os.environ.items() if k not in ("VORAN_STATIC", "VORAN_DATA")}
    r = subprocess.run([TOOL, *args], capture_output=True, text=True, env=env)
    assert (r.returncode, r.stderr, r.stdout) == (2, line + "\n", "")
