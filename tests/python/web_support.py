"""Running `vesk --headless` with its web view for the web tests: a settings file, the
simulated counter, the program itself, and small HTTP and WebSocket clients."""

import base64
import http.client
import os
import re
import signal
import socket
import struct
import subprocess
import time

CHROMIUM_FLAGS = [
    # What Chromium needs to run as root on a machine with no network and no display.
    "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    "--disable-dev-shm-usage",
]


class Failures:
    """Checks that go on after a failure and are reported together."""

    def __init__(self):
        self.failed = []

    def check(self, condition, what):
        if not condition:
            self.failed.append(what)
            print(f"FAILED: {what}", flush=True)
        return condition

    def exit(self):
        if self.failed:
            print(f"{len(self.failed)} check(s) failed")
            raise SystemExit(1)
        print("all checks passed")
        raise SystemExit(0)


def free_port(kind=socket.SOCK_STREAM):
    with socket.socket(socket.AF_INET, kind) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_until(condition, seconds, step=0.1):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        value = condition()
        if value:
            return value
        time.sleep(step)
    return condition()


def write_ini(path, data_dir, device, web_port, udp_port, web=None, nmea=None):
    """`nmea`: the device of a GPS whose GGA sentences give the position."""
    web = dict({"Enabled": 1, "Port": web_port}, **(web or {}))
    with open(path, "w", encoding="utf-8") as f:
        f.write(f"[Settings]\nDataDir={data_dir}\nSurveyLat=44.5\n")
        f.write("[Options]\nAddHeaderToDatFile=0\n")
        if device:
            f.write(f"[PortSettings]\nDevice_DU={device}\n")
        if nmea:  # a GPS receiver's usual line
            f.write(f"Device_ZEV={nmea}\nBps_ZEV=4800\nDataBits_ZEV=8\nParity_ZEV=2\n"
                    "StopBits_ZEV=0\n[NavSettings]\nSentenceToParse=$GPGGA\nTimePos=2\n"
                    "LatPos=3\nLatNSPos=4\nLongPos=5\nLongEWPos=6\n")
        f.write(f"[RemoteControl]\nPort={udp_port}\n")
        f.write("[WebView]\n" + "".join(f"{k}={v}\n" for k, v in web.items()))


def remote(port, command):
    """A remote-control datagram (the command, little-endian, padded to ten bytes)."""
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.sendto(struct.pack("<H", command) + bytes(8), ("127.0.0.1", port))


class Program:
    """A program started in the background, its output kept in files of `work`."""

    def __init__(self, args, work, name, env=None):
        self.out_path = os.path.join(work, f"{name}.out")
        self.err_path = os.path.join(work, f"{name}.err")
        with open(self.out_path, "wb") as out, open(self.err_path, "wb") as err:
            self.proc = subprocess.Popen(args, stdout=out, stderr=err, stdin=subprocess.DEVNULL,
                                         env=env)

    def out(self):
        with open(self.out_path, encoding="utf-8", errors="replace") as f:
            return f.read()

    def err(self):
        with open(self.err_path, encoding="utf-8", errors="replace") as f:
            return f.read()

    def says(self, pattern, seconds=15):
        return wait_until(lambda: re.search(pattern, self.err()), seconds)

    def last_status(self):
        lines = self.out().strip().splitlines()
        return lines[-1] if lines else ""

    def stop(self, seconds=20):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
        try:
            return self.proc.wait(seconds)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            return self.proc.wait()


def start_vesk(vesk, ini, work, name="vesk", args=("--acquire",), simulate=True):
    env = dict(os.environ, HOME=work)
    for name_ in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
        env.pop(name_, None)
    command = [vesk, "--headless", "--settings", ini] + (["--simulate"] if simulate else [])
    return Program(command + list(args), work, name, env)


def start_counter(vesk_sim, work, time_scale=10, tee=None):
    """The simulated counter on a pseudo-terminal, behind a link of a fixed name; its GPS on
    another, behind the link "nmea"."""
    link = os.path.join(work, "counter")
    args = [vesk_sim, "--link", link, "--aux-link", os.path.join(work, "nmea"),
            "--time-scale", str(time_scale)]
    if tee:
        args += ["--tee", tee]
    sim = Program(args, work, "vesk-sim")
    if not wait_until(lambda: "Counter link" in sim.out(), 10):
        raise RuntimeError("vesk-sim did not start: " + sim.err())
    return sim, link


def request(port, method, path, headers=None, body=None, source=None):
    """(status, headers, body) of one HTTP request to the web view."""
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=10,
                                      source_address=(source, 0) if source else None)
    try:
        conn.request(method, path, body=body, headers=headers or {})
        response = conn.getresponse()
        return response.status, dict(response.getheaders()), response.read()
    finally:
        conn.close()


def open_websocket(port, receive_buffer=None, origin=None):
    """A WebSocket handshake on /live over a plain socket (from a page of `origin`); the
    socket, once upgraded."""
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    if receive_buffer:
        s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, receive_buffer)
    s.connect(("127.0.0.1", port))
    key = base64.b64encode(os.urandom(16)).decode()
    s.sendall((f"GET /live HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\nUpgrade: websocket\r\n"
               f"Connection: Upgrade\r\nSec-WebSocket-Key: {key}\r\n"
               + (f"Origin: {origin}\r\n" if origin else "") +
               "Sec-WebSocket-Version: 13\r\n\r\n").encode())
    head = b""
    while b"\r\n\r\n" not in head:
        chunk = s.recv(1)
        if not chunk:
            raise ConnectionError("closed during the handshake")
        head += chunk
    if not head.startswith(b"HTTP/1.1 101"):
        raise ConnectionError(head.decode(errors="replace"))
    return s


def read_frame(s):
    """(opcode, payload) of the next WebSocket frame from the server."""
    def exactly(n):
        data = b""
        while len(data) < n:
            chunk = s.recv(n - len(data))
            if not chunk:
                raise ConnectionError("closed")
            data += chunk
        return data
    first, second = exactly(2)
    length = second & 0x7F
    if length == 126:
        length = struct.unpack(">H", exactly(2))[0]
    elif length == 127:
        length = struct.unpack(">Q", exactly(8))[0]
    return first & 0x0F, exactly(length)


def metrics(port):
    """The samples of /metrics as {(name, labels...): value}, through Prometheus's own parser."""
    from prometheus_client.parser import text_string_to_metric_families
    status, _, body = request(port, "GET", "/metrics")
    assert status == 200, status
    values = {}
    for family in text_string_to_metric_families(body.decode()):
        for sample in family.samples:
            values[(sample.name,) + tuple(sorted(sample.labels.values()))] = sample.value
    return values


def vm_kib(pid, field):
    with open(f"/proc/{pid}/status", encoding="ascii") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    return 0
