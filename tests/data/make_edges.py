#!/usr/bin/env python3
"""Writes edges.bin: a hand-built recording of the frames a counter's line can bring, good
and broken, for the golden outputs. Run it only to make the file anew (then review the new
outputs): python3 make_edges.py"""
import struct

def frame(kind, payload):
    return b"~" + kind + payload.replace(b"~", b"~~") + b"~*"

def l_frame(length, seed, n=7, t=1000, a=321):
    bins = [(seed * 31 + k * 7) % 300 for k in range(128)]
    bins[17] = 0x7E7E  # escaped bytes on the line
    hk = [1, 2, 3, 100 + seed, 1000 + 3 * seed, 5, 2000 + seed]
    body = b"".join(struct.pack(">H", v) for v in bins + hk)
    body += bytes([n]) + struct.pack(">H", t) + struct.pack(">H", a)
    return frame(b"L", body[: length - 1])

def m_frame(events, partial=b""):
    words = b""
    for e, s, d, z, mep in events:
        w1 = ((z & 0xFFF) << 3) | (e >> 3) | (0x8000 if mep else 0)
        w2 = ((e & 7) << 11) | (d & 0x7FF)
        words += struct.pack(">HHH", w1, w2, s & 0xFFFF)
    return frame(b"M", words + partial)

out = b"# hand-built edge cases\r\nSCAN ALL\r\n"
out += frame(b"C", b"2.02 41.957 15.962 0.268")
out += frame(b"$", b"$GPGGA,120000.00,4439.0000,N,06330.0000,W,1,09,0.9,12.4,M,-21.0,M,,*68")
for i, length in enumerate([271, 274, 276, 274, 275, 274, 271, 276]):
    out += l_frame(length, i, n=0 if i == 5 else 7, t=1 if i == 6 else 1000)
    out += m_frame([(i % 35, 100 * i + j, 3 + j, 40 * j, j == 0) for j in range(4)])
    if i == 2:
        out += m_frame([(34, 5, 1000, 4095, True)], partial=b"\x12\x34")  # partial event
        out += b"~L\x00\x01\x02~M~*"  # a frame broken by another's start
        out += b"noise ~x ~ ~~ \r\n"
    if i == 3:
        out += frame(b"C", b"")  # empty CTD line
        out += frame(b"C", b"2.05 x 15.9")  # broken CTD line
        out += frame(b"$", b"$GPGGA,120001.00,4439.0100,N,06330.0100,W,1,09,0.9,12.4,M,-21.0,M,,*00")
        out += frame(b"$", b"$GPRMC,1")  # too short to be a sentence
    if i == 4:
        out += frame(b"M", b"")  # an M frame without events
        out += frame(b"C", b"2.10 42.001 15.870 0.301")
out += b"~L" + b"\x01" * 40  # cut off at the end of the file
open("edges.bin", "wb").write(out)
