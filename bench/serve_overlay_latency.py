#!/usr/bin/python3
"""How long the browser host takes from an edit to the refreshed overlay of a 1024 x 1024 image.

Runs a whole `smartseg serve` process with default options on a generated 1024 x 1024 texture
image, draws two labels' first shapes, waits for the first model, then makes a series of edits
(small scribbles, as a user adds them) and measures, for each, the time from sending the edit to
having downloaded the overlay made after it (prediction current, labels view fetched), polling as
fast as a client could. The target is 1 s on the 2-core reference machine.

    bench/serve_overlay_latency.py [--smartseg build/stage/bin/smartseg] [--edits 10]
"""
import argparse
import json
import math
import os
import random
import re
import statistics
import struct
import subprocess
import sys
import tempfile
import time
import urllib.request
import zlib

SIZE = 1024


def write_grey_png(path, width, height, pixels):
    """Writes 8-bit grey pixels (a bytes object, rows top to bottom) as a PNG file."""
    raw = b"".join(b"\x00" + pixels[y * width:(y + 1) * width] for y in range(height))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    with open(path, "wb") as file:
        file.write(b"\x89PNG\r\n\x1a\n")
        file.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 0, 0, 0, 0)))
        file.write(chunk(b"IDAT", zlib.compress(raw, 6)))
        file.write(chunk(b"IEND", b""))


def make_texture():
    """A smooth, noisy background with a disc of bright stripes in the middle."""
    rng = random.Random(7)
    pixels = bytearray(SIZE * SIZE)
    for y in range(SIZE):
        for x in range(SIZE):
            inside = (x - 512) ** 2 + (y - 512) ** 2 < 300 ** 2
            if inside:
                value = 140 + 45 * math.sin(2 * math.pi * (x * 0.7 + y * 0.7) / 8)
            else:
                value = 70 + 10 * math.sin(x / 40) * math.cos(y / 50)
            pixels[y * SIZE + x] = max(0, min(255, int(value + rng.randint(-6, 6))))
    return bytes(pixels)


class Host:
    def __init__(self, smartseg, folder):
        self.process = subprocess.Popen([smartseg, "serve", "--port", "0", folder],
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        line = self.process.stdout.readline()
        match = re.search(r"at (http://127\.0\.0\.1:\d+)/", line)
        if not match:
            self.process.kill()
            raise SystemExit(f"the server did not start: {line}{self.process.stderr.read()}")
        self.url = match.group(1)

    def call(self, method, path, body=None):
        data = None if body is None else json.dumps(body).encode()
        request = urllib.request.Request(self.url + path, data=data, method=method,
                                         headers={"Content-Type": "application/json"})
        with urllib.request.urlopen(request, timeout=120) as answer:
            payload = answer.read()
            return json.loads(payload) if answer.headers.get_content_type() == "application/json" \
                else payload

    def wait_for_overlay(self, deadline_seconds=120.0):
        """Polls until the prediction is current, then downloads its labels view."""
        end = time.monotonic() + deadline_seconds
        while time.monotonic() < end:
            prediction = self.call("GET", "/api/prediction?image=bench.png")
            if prediction.get("current"):
                self.call("GET", "/api/prediction/view?image=bench.png&view=labels")
                return prediction
            time.sleep(0.01)
        raise SystemExit("no current prediction within the deadline")

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=60)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--smartseg", default=os.path.join(root, "build/stage/bin/smartseg"))
    parser.add_argument("--edits", type=int, default=10)
    options = parser.parse_args()

    with tempfile.TemporaryDirectory(prefix="smartseg-serve-bench-") as folder:
        write_grey_png(os.path.join(folder, "bench.png"), SIZE, SIZE, make_texture())
        host = Host(options.smartseg, folder)
        try:
            for name in ("stripes", "background"):
                host.call("POST", "/api/labels", {"name": name})
            host.call("POST", "/api/shapes?image=bench.png",
                      {"label": "stripes", "type": "polygon",
                       "points": [[450, 450], [580, 460], [560, 580], [440, 560]]})
            host.call("POST", "/api/shapes?image=bench.png",
                      {"label": "background", "type": "rectangle",
                       "points": [[20, 20], [180, 160]]})
            start = time.monotonic()
            host.wait_for_overlay()
            print(f"first model and overlay: {time.monotonic() - start:.2f} s")

            latencies = []
            for edit in range(options.edits):
                label = "stripes" if edit % 2 == 0 else "background"
                if label == "stripes":
                    x, y = 420 + 20 * edit, 500
                else:
                    x, y = 40 + 80 * edit, 900
                scribble = [[x, y], [x + 30, y + 12], [x + 60, y - 6], [x + 90, y + 8]]
                start = time.monotonic()
                host.call("POST", "/api/shapes?image=bench.png",
                          {"label": label, "type": "linestrip", "points": scribble})
                prediction = host.wait_for_overlay()
                latency = time.monotonic() - start
                latencies.append(latency)
                status = host.call("GET", "/api/state")["trainer"]
                print(f"edit {edit + 1:2d} ({label:10s}): overlay after {latency:.3f} s "
                      f"(round {status['lastRound']['seconds']:.3f} s: copy {status['lastRound']['copySeconds']:.3f}, train {status['lastRound']['trainSeconds']:.3f}, "
                      f"segmentation {prediction['seconds']:.3f} s)")
            print(f"edit -> overlay, {len(latencies)} edits: median {statistics.median(latencies):.3f} s,"
                  f" max {max(latencies):.3f} s, target 1.000 s")
        finally:
            host.stop()


if __name__ == "__main__":
    sys.exit(main())
