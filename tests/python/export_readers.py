#!/usr/bin/python3
"""The analysis exports as an analyst opens them: a simulated recording through vesk-process,
the NetCDF read with netCDF4 and xarray, the CSVs with pandas, and ncdump. Exit 77 (skipped)
when Debian's python3-netcdf4, python3-xarray or python3-pandas are not installed."""

import json
import math
import os
import shutil
import subprocess
import sys
import tempfile

try:
    import netCDF4
    import numpy as np
    import pandas as pd
    import xarray as xr
except ImportError as e:
    print(f"skipped: {e}")
    sys.exit(77)

VESK_SIM, VESK_PROCESS = sys.argv[1], sys.argv[2]
failures = []
checks = 0


def check(condition, what):
    global checks
    checks += 1
    if not condition:
        failures.append(what)
        print(f"FAILED: {what}")


with tempfile.TemporaryDirectory() as d:
    env = dict(os.environ, HOME=d)
    subprocess.run([VESK_SIM, "--write", f"{d}/cast.bin", "--duration", "120"], check=True,
                   env=env, stdout=subprocess.DEVNULL)
    run = subprocess.run(
        [VESK_PROCESS, "--format", "dat,csv,netcdf", "--summary", "--output", f"{d}/cast.dat",
         "--attribute", "institution=Institute of the test", "--attribute",
         "project=Cruise AB01", f"{d}/cast.bin"],
        check=True, env=env, capture_output=True, text=True)
    summary = json.loads(run.stdout)
    frames = summary["frames"]["L"]

    # netCDF4: the file's model, types, compression and metadata.
    with netCDF4.Dataset(f"{d}/cast.nc") as nc:
        check(nc.data_model == "NETCDF4", "a netCDF-4 file")
        check(nc.Conventions == "CF-1.11, ACDD-1.3", "CF and ACDD conventions")
        check(nc.featureType == "trajectory", "a trajectory")
        check(nc.institution == "Institute of the test", "institution from --attribute")
        check(nc.project == "Cruise AB01", "project from --attribute")
        check(nc.license == "unknown", "license default")
        for name in ("title", "summary", "keywords", "history", "date_created", "platform",
                     "creator_name"):
            check(bool(getattr(nc, name, "")), f"global attribute {name}")
        check(nc.variables["bin_counts"].dtype == np.uint16, "bin counts as 16-bit words")
        filters = nc.variables["bin_counts"].filters()
        check(filters["zlib"] and filters["shuffle"] and filters["complevel"] == 4,
              f"bin_counts deflate 4 with shuffle: {filters}")
        check(nc.groups["mep"].dimensions["event"].size > 0, "element events in group mep")

    # xarray: CF decoding, the coordinates, the coverage attributes.
    ds = xr.open_dataset(f"{d}/cast.nc")
    check(ds.sizes["obs"] == frames, "one row per L frame")
    check(np.issubdtype(ds.time.dtype, np.datetime64), "time decodes to dates")
    check(ds.time.notnull().all().item(), "every row dated (the simulator sends RMC)")
    check((ds.time.diff("obs") >= np.timedelta64(0)).all().item(), "time never goes back")
    check(str(ds.time.min().values)[:19] == ds.attrs["time_coverage_start"][:19],
          "time_coverage_start is the first time")
    check(str(ds.time.max().values)[:19] == ds.attrs["time_coverage_end"][:19],
          "time_coverage_end is the last time")
    check(math.isclose(ds.latitude.min().item(), ds.attrs["geospatial_lat_min"]),
          "geospatial_lat_min")
    check(math.isclose(ds.longitude.max().item(), ds.attrs["geospatial_lon_max"]),
          "geospatial_lon_max")
    check(ds.attrs["l_frame_interval"] == 0.5, "the simulator's two L frames a second")
    check(ds.bin_counts.attrs["cell_methods"] == "time: sum (interval: 0.5 s)",
          "counts labelled with their interval")
    check(ds.bin.attrs["bounds"] == "bin_bounds" and
          (ds.bin_bounds[:, 1] - ds.bin_bounds[:, 0] == 15).all().item(), "bin bounds 15 um")
    check(ds.depth.attrs["positive"] == "down", "depth positive down")
    check((ds.depth < ds.pressure).all().item(), "depth below pressure in dbar")
    check(all(ds[v].attrs.get("coverage_content_type") for v in ds.data_vars
              if v != "bin_bounds"), "coverage_content_type on every variable")
    check(int(ds.bin_counts.sum()) == summary["cumulative_total_count"],
          "the bins add up to the summary's total")
    mep = xr.open_dataset(f"{d}/cast.nc", group="mep")

    # pandas: dates parse whole, the CSVs say what the NetCDF says.
    csv = pd.read_csv(f"{d}/cast.csv", parse_dates=["utc_time_iso8601"])
    check(len(csv) == frames, "CSV: one row per L frame")
    check(pd.api.types.is_datetime64_any_dtype(csv.utc_time_iso8601), "CSV dates parse")
    nc_times = pd.to_datetime(ds.time.values, utc=True)
    check((csv.utc_time_iso8601.dt.tz_convert("UTC").values == nc_times.values).all(),
          "CSV and NetCDF times agree")
    check((pd.to_timedelta(csv.utc_time_of_day).dt.total_seconds().values ==
           ds.time_of_day.values).all(), "time of day parses as a duration")
    for column, variable in (("pressure_dbar", "pressure"), ("temperature_degC", "temperature"),
                             ("depth_m", "depth"), ("flow_speed_m_per_s", "flow_speed")):
        a = csv[column].to_numpy()
        b = ds[variable].to_numpy()
        # Readings the instrument sent as 32-bit floats are written as such.
        check(np.allclose(a, b, rtol=1e-7, atol=0), f"CSV {column} is the NetCDF {variable}")
    check(not csv.pressure_dbar.astype(str).str.len().gt(12).any(),
          "float readings in their shortest text")
    events = pd.read_csv(f"{d}/cast_mep.csv")
    check(len(events) == mep.sizes["event"], "MEP CSV and group have the same events")
    check((events.digital_size.to_numpy() == mep.digital_size.to_numpy()).all(),
          "MEP sizes agree")

    # ncdump reads it too.
    if shutil.which("ncdump"):
        header = subprocess.run(["ncdump", "-h", f"{d}/cast.nc"], check=True,
                                capture_output=True, text=True).stdout
        check(':Conventions = "CF-1.11, ACDD-1.3"' in header, "ncdump shows the conventions")
        check("group: mep" in header, "ncdump shows the mep group")

print(f"export readers: {checks - len(failures)} passed, {len(failures)} failed")
sys.exit(1 if failures else 0)
