"""Shared fixtures: trv to compare against and the drawings of the source tree."""

import glob
import json
import math
import os
import subprocess

import pytest

SOURCE = os.environ.get("KTTRV_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
TRV = os.environ.get("KTTRV_TRV", "trv")

EXAMPLES = sorted(glob.glob(os.path.join(SOURCE, "examples", "*.trv")))
# The test drawings: the fuzzers' seeds (whole files of every generation,
# files cut short, refused and legacy files).
SEEDS = sorted(glob.glob(os.path.join(SOURCE, "fuzz", "corpus", "fuzz_load_document", "*")) +
               glob.glob(os.path.join(SOURCE, "fuzz", "corpus", "fuzz_legacy", "*")))
DRAWINGS = EXAMPLES + SEEDS


def drawing_id(path):
    return os.path.relpath(path, SOURCE)


def trv(*args, check=True):
    """trv's standard output (and its exit status when check is False)."""
    run = subprocess.run([TRV, "-q", *args], capture_output=True, text=True, encoding="utf-8")
    if check:
        assert run.returncode == 0, run.stderr
        return run.stdout
    return run.returncode, run.stdout


def trv_json(*args):
    return json.loads(trv(*args))


def plain(value):
    """A value as the dump's JSON gives it: tuples as lists, NaN and the
    infinities as their strings."""
    if isinstance(value, float):
        if math.isnan(value):
            return "nan"
        if math.isinf(value):
            return "inf" if value > 0 else "-inf"
        return value
    if isinstance(value, (list, tuple)):
        return [plain(v) for v in value]
    if isinstance(value, dict):
        return {k: plain(v) for k, v in value.items()}
    if hasattr(value, "tolist"):
        return plain(value.tolist())
    return value


@pytest.fixture
def floor_plan():
    return os.path.join(SOURCE, "examples", "floor-plan.trv")
