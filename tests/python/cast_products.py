#!/usr/bin/python3
"""The cast products checked against a second, plain reading of their rules: recordings (one
built here with heave, a soak, a yo-yo, flow drop-outs and frames before the first CTD line,
and the simulator's cast) go through vesk-process --format csv,profiles --summary under two
sets of settings; this script cuts the main CSV's rows into profiles its own way (keeping every
frame, scanning each segment from its start) and compares the profile and spectrum CSVs, the
summary and the NetCDF (read with xarray and ncdump). Exit 77 (skipped) without Debian's
python3-numpy, -scipy, -xarray or -netcdf4."""

import csv
import json
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile

try:
    import numpy as np
    import xarray as xr
    from scipy.stats import chi2
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


def close(a, b, rel=0.0):
    if a is None or b is None or (isinstance(a, float) and math.isnan(a)):
        return (a is None or math.isnan(a)) and (b is None or math.isnan(b))
    return math.isclose(a, b, rel_tol=rel, abs_tol=1e-300)


# --- a recording with the awkward parts of a real cast -------------------------------------

def frame(kind, payload):
    return b"~" + kind + payload.replace(b"~", b"~~") + b"~*"


def nmea(body):
    sum_ = 0
    for c in body.encode():
        sum_ ^= c
    return f"${body}*{sum_:02X}".encode()


def built_recording(path, flow=True):
    rng = np.random.default_rng(29)
    track = [None] * 6                                     # before the first CTD line
    track += list(2 + 0.3 * rng.standard_normal(30))       # soak
    t = np.arange(120)
    track += list(2 + 0.5 * t + 1.2 * np.sin(2 * np.pi * t / 12))  # descent with heave
    track += [track[-1]] * 10                              # held at the bottom
    track += list(np.linspace(track[-1], 30, 60))          # ascent
    track += list(np.linspace(30, 34, 8)) + list(np.linspace(34, 5, 50))  # a short yo-yo
    track += list(np.linspace(5, 20, 30)) + list(np.linspace(20, 18, 5))  # ends in a turn
    out = b"# built cast\r\nSCAN ALL\r\n"
    for i, z in enumerate(track):
        if i % 2 == 0:
            s = 12 * 3600 + i // 2
            out += frame(b"$", nmea(f"GPRMC,{s // 3600:02d}{s // 60 % 60:02d}{s % 60:02d}.00,A,"
                                    f"4439.{i:04d},N,06330.0000,W,0.4,75.0,150626,,,A"))
        if z is not None:
            out += frame(b"C", f"{z / 0.993:.3f} 42.000 10.000 0.100".encode())
        layer = 1 + 4 * math.exp(-((z or 0) - 25) ** 2 / 20)
        slope = 6 + 10 * math.exp(-((z or 0) - 40) ** 2 / 200)
        bins = [min(65535, int(rng.poisson(20 * layer * math.exp(-k / slope)))) for k in range(128)]
        no_flow = 100 <= i <= 104 or i == 200 or not flow
        h3 = 0 if no_flow else 1000
        h4 = 20000 + int(rng.integers(-300, 300))
        hk = [2500, 1200, 3300, h3, h4, 5, 2000]
        body = b"".join(struct.pack(">H", v) for v in bins + hk)
        body += bytes([7]) + struct.pack(">H", 1000)
        out += frame(b"L", body)
    open(path, "wb").write(out)


# --- the rules, read plainly ---------------------------------------------------------------

SPHERE = math.pi / 6
VOL = [SPHERE * (15 * (k + 0.5) / 1000) ** 3 for k in range(128)]
WIDTH = [SPHERE * ((15 * (k + 1) / 1000) ** 3 - (15 * k / 1000) ** 3) for k in range(128)]


def nbss(counts, volume):
    return [counts[k] * VOL[k] / volume / WIDTH[k] if volume > 0 else math.nan
            for k in range(128)]


def fit(counts, volume, lo_um, hi_um):
    inside = [k for k in range(128) if 15 * k >= lo_um and 15 * (k + 1) <= hi_um]
    if volume <= 0 or not inside:
        return None, None, 0
    n = nbss(counts, volume)
    start = max(inside, key=lambda k: (n[k], -k))
    xs, ys, empty = [], [], 0
    for k in range(start, inside[-1] + 1):
        if counts[k] == 0:
            empty += 1
            if empty == 3:
                break
            continue
        empty = 0
        xs.append(math.log10(VOL[k]))
        ys.append(math.log10(n[k]))
    if len(xs) < 3:
        return None, None, len(xs)
    # Ordinary least squares the textbook two-pass way, summed plainly in order: the same
    # numbers to the last digit.
    mx = my = sxx = sxy = 0.0
    for x, y in zip(xs, ys):
        mx += x
        my += y
    mx, my = mx / len(xs), my / len(ys)
    for x, y in zip(xs, ys):
        sxx += (x - mx) * (x - mx)
        sxy += (x - mx) * (y - my)
    slope = sxy / sxx
    return slope, my - slope * mx, len(xs)


def segments(frames, h):
    """(direction, first, last) positions in `frames` (those with a depth)."""
    lo = hi = None
    for i, f in enumerate(frames):
        if lo is None or f["z"] < frames[lo]["z"]:
            lo = i
        if hi is None or f["z"] > frames[hi]["z"]:
            hi = i
        if f["z"] - frames[lo]["z"] >= h:
            direction, start = "down", lo
            break
        if frames[hi]["z"] - f["z"] >= h:
            direction, start = "up", hi
            break
    else:
        return []
    found = []
    while True:
        ext = start
        for j in range(start + 1, len(frames)):
            z, e = frames[j]["z"], frames[ext]["z"]
            if (z > e) if direction == "down" else (z < e):
                ext = j
            elif ((e - z) if direction == "down" else (z - e)) >= h:
                break
        else:
            found.append((direction, start, ext))
            return found
        found.append((direction, start, ext))
        start, direction = ext + 1, ("up" if direction == "down" else "down")


def products(rows, s, area):
    frames = [r for r in rows if not math.isnan(r["z"])]
    profiles = []
    for direction, a, b in segments(frames, s["TurnHysteresis"]):
        seg = frames[a:b + 1]
        zs = [f["z"] for f in seg]
        if max(zs) - min(zs) < s["MinExtent"]:
            continue
        p = dict(profile=len(profiles) + 1, direction=direction,
                 first_l_frame=seg[0]["i"], last_l_frame=seg[-1]["i"],
                 depth_min_m=min(zs), depth_max_m=max(zs), frames_used=0, loop_edited=0,
                 no_flow=0, volume_m3=0.0, counts=[0] * 128, bins={}, time=seg[0]["time"])
        for n, f in enumerate(seg):
            earlier = zs[:n]
            if s["LoopEdit"] and earlier and (
                    f["z"] < max(earlier) if direction == "down" else f["z"] > min(earlier)):
                p["loop_edited"] += 1
                continue
            if f["u"] == 0:
                p["no_flow"] += 1
                continue
            v = area * f["u"] * s["FrameInterval"]
            p["frames_used"] += 1
            p["volume_m3"] += v
            b = p["bins"].setdefault(math.floor(f["z"] / s["DepthBin"]),
                                     dict(frames=0, volume=0.0, counts=[0] * 128))
            b["frames"] += 1
            b["volume"] += v
            for k in range(128):
                b["counts"][k] += f["bins"][k]
                p["counts"][k] += f["bins"][k]
        p["count"] = sum(p["counts"])
        p["concentration_per_m3"] = (p["count"] / p["volume_m3"] if p["volume_m3"] > 0
                                     else math.nan)
        p["nbss_slope"], p["nbss_intercept"], p["nbss_bins_fitted"] = fit(
            p["counts"], p["volume_m3"], s["SpectrumMinUm"], s["SpectrumMaxUm"])
        profiles.append(p)
    return profiles


# --- the comparison ------------------------------------------------------------------------

DEFAULTS = dict(DepthBin=1.0, TurnHysteresis=3.0, MinExtent=10.0, LoopEdit=1,
                FrameInterval=0.5, SpectrumMinUm=105.0, SpectrumMaxUm=1920.0)
OTHER = dict(DepthBin=0.5, TurnHysteresis=2.0, MinExtent=4.0, LoopEdit=0, FrameInterval=0.45,
             SpectrumMinUm=60.0, SpectrumMaxUm=900.0)


def number(text):
    return math.nan if text == "" else float(text)


def compare(d, name, settings, standard_tunnel):
    ini = f"{d}/{name}.ini"
    with open(ini, "w") as f:
        f.write(f"[Settings]\nSurveyLat=44.65\nStandardTunnel={int(standard_tunnel)}\n"
                "[Profiles]\n" + "".join(f"{k}={v}\n" for k, v in settings.items()))
    run = subprocess.run([VESK_PROCESS, "--settings", ini, "--format", "csv,profiles",
                          "--summary", "--output", f"{d}/{name}.dat", f"{d}/{name}.bin"],
                         check=True, capture_output=True, text=True)
    summary = json.loads(run.stdout)
    rows = []
    with open(f"{d}/{name}.csv") as f:
        for r in csv.DictReader(f):
            rows.append(dict(i=int(r["l_frame_index"]), z=number(r["depth_m"]),
                             u=float(r["flow_speed_m_per_s"]), time=r["utc_time_iso8601"],
                             bins=[int(r[c]) for c in r if c.startswith("bin")]))
    area = 0.0049 if standard_tunnel else 0.01225
    expected = products(rows, settings, area)
    label = f"{name} {settings['DepthBin']} m"
    check(len(expected) >= 2, f"{label}: the track makes profiles ({len(expected)})")
    got = summary["profiles"]
    check([(p["direction"], p["first_l_frame"], p["last_l_frame"]) for p in got] ==
          [(p["direction"], p["first_l_frame"], p["last_l_frame"]) for p in expected],
          f"{label}: the same profiles")
    for g, e in zip(got, expected):
        for key in g:
            check(close(g[key], e[key]) if isinstance(g[key], float) or g[key] is None
                  else g[key] == e[key], f"{label} profile {e['profile']}: {key} {g[key]} {e[key]}")

    with open(f"{d}/{name}_profiles.csv") as f:
        table = list(csv.DictReader(f))
    want = [(p, z, b) for p in expected for z, b in sorted(p["bins"].items())]
    check(len(table) == len(want), f"{label}: one row per profile and depth bin")
    for r, (p, z, b) in zip(table, want):
        n = sum(b["counts"])
        low = chi2.ppf(0.025, 2 * n) / 2 / b["volume"] if n > 0 else 0.0
        high = chi2.ppf(0.975, 2 * n + 2) / 2 / b["volume"]
        slope = fit(b["counts"], b["volume"], settings["SpectrumMinUm"],
                    settings["SpectrumMaxUm"])[0]
        where = f"{label} profile {p['profile']} bin {z}"
        check(int(r["profile"]) == p["profile"] and r["direction"] == p["direction"], where)
        check(close(float(r["depth_m"]), (z + 0.5) * settings["DepthBin"]), f"{where}: depth")
        check(int(r["frames_used"]) == b["frames"] and int(r["count"]) == n, f"{where}: counts")
        check(close(float(r["volume_m3"]), b["volume"], 1e-12), f"{where}: volume")
        check(close(float(r["concentration_per_m3"]), n / b["volume"]), f"{where}: concentration")
        check(close(float(r["ci95_low_per_m3"]), low, 1e-8) and
              close(float(r["ci95_high_per_m3"]), high, 1e-8), f"{where}: interval")
        check(close(number(r["nbss_slope"]), slope, 0), f"{where}: slope")
        check([int(r[c]) for c in r if c.startswith("bin")] == b["counts"], f"{where}: size bins")

    with open(f"{d}/{name}_spectra.csv") as f:
        spectra = list(csv.DictReader(f))
    check(len(spectra) == 128 * len(expected), f"{label}: 128 spectrum rows a profile")
    for r in spectra:
        p = expected[int(r["profile"]) - 1]
        k = int(float(r["size_um"])) // 15
        check(int(r["count"]) == p["counts"][k] and
              close(number(r["nbss_per_m3"]), nbss(p["counts"], p["volume_m3"])[k]),
              f"{label} spectrum {r['profile']} {r['size_um']}")

    # The NetCDF: CF profiles that xarray decodes, the same numbers as the CSV.
    ds = xr.open_dataset(f"{d}/{name}_profiles.nc")
    check(ds.attrs["featureType"] == "profile" and ds.attrs["cdm_data_type"] == "Profile",
          f"{label}: a CF profile file")
    check(ds.attrs["Conventions"] == "CF-1.11, ACDD-1.3", f"{label}: conventions")
    check(all(v in ds for v in ds.attrs["cdm_profile_variables"].split(",")),
          f"{label}: cdm_profile_variables name variables")
    check(ds.attrs["profiles_depth_bin_m"] == settings["DepthBin"] and
          ds.attrs["profiles_loop_edit"] == settings["LoopEdit"], f"{label}: settings recorded")
    check(ds.depth.attrs["positive"] == "down" and "depth_bounds" in ds, f"{label}: depth axis")
    check(np.issubdtype(ds.time.dtype, np.datetime64), f"{label}: profile time decodes")
    check([str(v) for v in ds.direction.values] == [p["direction"] for p in expected],
          f"{label}: directions")
    for i, p in enumerate(expected):
        check(str(ds.time.values[i])[:19] == p["time"][:19], f"{label}: time of profile {i + 1}")
        for z, b in p["bins"].items():
            j = int(np.argmin(np.abs(ds.depth.values - (z + 0.5) * settings["DepthBin"])))
            n = sum(b["counts"])
            check(close(float(ds.concentration.values[i, j]), n / b["volume"]) and
                  list(ds.counts.values[i, j].astype(int)) == b["counts"],
                  f"{label}: NetCDF profile {i + 1} depth bin {z}")
        present = np.isfinite(ds.concentration.values[i]).sum()
        check(present == len(p["bins"]), f"{label}: missing where profile {i + 1} has no bin")
        check(np.allclose(ds.profile_nbss.values[i], nbss(p["counts"], p["volume_m3"]),
                          rtol=1e-9, equal_nan=True), f"{label}: profile spectrum {i + 1}")
    if shutil.which("ncdump"):
        dump = subprocess.run(["ncdump", "-h", f"{d}/{name}_profiles.nc"], check=True,
                              capture_output=True, text=True).stdout
        check(':featureType = "profile"' in dump, f"{label}: ncdump reads it")


with tempfile.TemporaryDirectory() as d:
    env = dict(os.environ, HOME=d)
    built_recording(f"{d}/built.bin")
    built_recording(f"{d}/still.bin", flow=False)  # profiles without a frame used
    subprocess.run([VESK_SIM, "--write", f"{d}/sim.bin", "--duration", "400", "--depth", "40"],
                   check=True, env=env, stdout=subprocess.DEVNULL)
    for name in ("built", "sim"):
        compare(d, name, DEFAULTS, True)
        compare(d, name, OTHER, False)
    compare(d, "still", DEFAULTS, True)
    with open(f"{d}/bad.ini", "w") as f:
        f.write("[Profiles]\nDepthBin=0\n")
    bad = subprocess.run([VESK_PROCESS, "--settings", f"{d}/bad.ini", "--format", "profiles",
                          "--output", f"{d}/bad.dat", f"{d}/built.bin"], capture_output=True,
                         text=True)
    check(bad.returncode == 2 and "Profiles/DepthBin" in bad.stderr and
          not os.path.exists(f"{d}/bad_profiles.csv"), "a depth bin of 0 is refused")

print(f"cast products: {checks - len(failures)} passed, {len(failures)} failed")
sys.exit(1 if failures else 0)
