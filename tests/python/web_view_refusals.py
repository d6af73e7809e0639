#!/usr/bin/python3
"""The web view's refusals through the real program, while `vesk --headless --log` records the
simulated counter at the full line rate (vesk-sim --time-scale 10): methods other than GET
and HEAD, a host not allowed, a request too large, the 17th browser, a page of another site
and a browser that never reads, each refused and counted in /metrics; the recording intact byte for byte and the
program's memory bounded meanwhile; and /metrics, read with Prometheus's own parser, equal to
the .dat at the end of the scan. Exit 77 (skipped) without Debian's python3-prometheus-client.

  web_view_refusals.py VESK VESK_SIM"""

import glob
import os
import sys
import tempfile
import time

try:
    import prometheus_client  # noqa: F401 (web_support parses /metrics with it)
except ImportError as e:
    print(f"skipped: {e}")
    sys.exit(77)

from web_support import (Failures, free_port, metrics, open_websocket, read_frame, remote,
                         request, start_counter, start_vesk, vm_kib, wait_until, write_ini)

VESK, VESK_SIM = sys.argv[1], sys.argv[2]
MAX_CLIENTS = 16
t = Failures()


def refused(port, reason):
    return metrics(port).get(("vesk_web_refused_total", reason), -1)


with tempfile.TemporaryDirectory() as work:
    data = os.path.join(work, "data")
    os.mkdir(data)
    sent = os.path.join(work, "sent.bin")
    sim, link = start_counter(VESK_SIM, work, time_scale=10, tee=sent)
    port, udp = free_port(), free_port()
    ini = os.path.join(work, "vesk.ini")
    # Only 127.0.0.1 may look; a client that connects from 127.0.0.2 is another host.
    write_ini(ini, data, link, port, udp, {"AllowedHosts": "127.0.0.1",
                                           "MaxClients": MAX_CLIENTS})
    vesk = start_vesk(VESK, ini, work, args=["--log"], simulate=False)
    try:
        t.check(vesk.says(rf"Web view: http://127\.0\.0\.1:{port}/ \(open to 127\.0\.0\.1\)"),
                "the address is told at start: " + vesk.err())
        t.check(wait_until(lambda: "logging" in vesk.last_status(), 20), "logging started")

        # Nothing but GET and HEAD; HEAD answers the headers of GET.
        for method in ("POST", "PUT", "DELETE", "PATCH"):
            status, headers, _ = request(port, method, "/api/status", body=b"{}")
            t.check(status == 405 and headers.get("Allow") == "GET, HEAD", f"{method}: {status}")
        status, headers, body = request(port, "HEAD", "/")
        t.check(status == 200 and body == b"" and int(headers["Content-Length"]) > 1000,
                f"HEAD /: {status} {headers}")
        t.check(request(port, "GET", "/no-such-page")[0] == 404, "an unknown path is 404")
        t.check(request(port, "GET", "/api/timeseries?seconds=ten")[0] == 400, "bad seconds")

        # Another host, and a request past the bound, refused before a byte is parsed.
        status, _, body = request(port, "GET", "/api/status", source="127.0.0.2")
        t.check(status == 403 and b"not allowed" in body, f"a host not allowed: {status}")
        status, _, _ = request(port, "GET", "/", headers={"X-Padding": "x" * 20000})
        t.check(status == 413, f"a 20 kB request: {status}")

        # MaxClients browsers follow the scan; the next one is refused with a reason.
        browsers = [open_websocket(port) for _ in range(MAX_CLIENTS)]
        for b in browsers:
            opcode, payload = read_frame(b)
            t.check(opcode == 1 and b'"type":"full"' in payload, "a browser's first message")
        extra = open_websocket(port)
        opcode, payload = read_frame(extra)
        t.check(opcode == 8 and int.from_bytes(payload[:2], "big") == 1008 and
                f"{MAX_CLIENTS} browsers are connected already".encode() in payload,
                f"the browser past MaxClients is closed with a reason: {opcode} {payload!r}")
        for b in browsers + [extra]:
            b.close()
        # A page of another site may not follow the scan (the page of this one may).
        for origin, is_refused in ((f"http://127.0.0.1:{port}", False), ("http://example.org", True)):
            opcode, payload = read_frame(open_websocket(port, origin=origin))
            t.check((opcode == 8 and b"this server only" in payload) == is_refused,
                    f"a page of {origin}: {opcode}")

        # A browser that never reads while the counter streams at the full line rate: dropped,
        # the program's memory bounded, the recording whole.
        rss_before = vm_kib(vesk.proc.pid, "VmRSS")
        stuck = open_websocket(port, receive_buffer=4096)
        t.check(wait_until(lambda: refused(port, "slow") == 1, 45, step=1),
                "the browser that never reads is dropped")
        grown = vm_kib(vesk.proc.pid, "VmHWM") - rss_before
        t.check(grown < 16 * 1024, f"memory grew by {grown} kB while it did not read")
        stuck.close()
        for reason, count in (("host", 2), ("method", 4), ("size", 1), ("clients", 1)):
            t.check(refused(port, reason) == count, f"refusals for {reason} counted")

        # At the end of the scan, the metrics are what the .dat holds.
        remote(udp, 2)
        t.check(wait_until(lambda: " idle " in vesk.last_status(), 20), "the scan stopped")
        m = metrics(port)
        dat_path = glob.glob(os.path.join(data, "VESK_2*.dat"))[0]
        with open(dat_path, "rb") as f:
            lines = f.read().split(b"\r\n")
        l_frames = sum(1 for line in lines if line.startswith(b"L1 "))
        counts = sum(sum(int(v) for v in line.split()[1:]) for line in lines
                     if line[:3] in (b"L1 ", b"L2 ", b"L3 ", b"L4 "))
        t.check(l_frames > 100 and m[("vesk_l_frames_total",)] == l_frames,
                f"L frames: metrics {m[('vesk_l_frames_total',)]}, .dat {l_frames}")
        t.check(m[("vesk_counts_total",)] == counts,
                f"counts: metrics {m[('vesk_counts_total',)]}, .dat {counts}")
        bin_path = dat_path[:-4] + ".bin"
        t.check(m[("vesk_logged_bytes_total", "dat")] == os.path.getsize(dat_path) and
                m[("vesk_logged_bytes_total", "bin")] == os.path.getsize(bin_path),
                "logged bytes are the files' sizes")
        t.check(m[("vesk_scan_state", "idle")] == 1 and m[("vesk_frame_errors_total",)] == 0,
                "idle, no frame error")
        remote(udp, 3)
        t.check(vesk.proc.wait(20) == 0, "the program ends cleanly: " + vesk.err())
        with open(bin_path, "rb") as f, open(sent, "rb") as g:
            raw, stream = f.read(), g.read()
        t.check(len(stream) > 200000 and raw.find(stream) >= 0,
                f"the .bin holds every byte the counter sent ({len(stream)} bytes)")
    finally:
        vesk.stop()
        sim.stop()
t.exit()
