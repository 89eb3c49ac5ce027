#!/usr/bin/env bash
# The engine as a user runs it against the open-source reference pipeline, on texture mosaics it
# never saw: for each mosaic one `smartseg train` and one `smartseg segment` process with default
# options (model file, PNG and JSON outputs), against the reference fitted and predicted in one
# Python process (bench/peer/mosaic_bench.py). Prints per-mosaic wall times, the sums, the speed
# ratio and both mean IoUs; with --memory also the peak RSS of large segment runs (4096 and 8192
# square with 4 labels, 1024 square with 300 labels), and with
# --masks the training time of four dense 2048 x 2048 IMAGE=MASK pairs.
#
# Usage: bench/engine_vs_peer.sh [--memory] [--masks] [--no-peer] [SMARTSEG]
#   SMARTSEG defaults to $TAMRIX_BUILD_DIR/stage/bin/smartseg (TAMRIX_BUILD_DIR default build/).
# Installs the reference's Debian packages (python3-skimage, python3-sklearn) when missing.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
python=/usr/bin/python3
memory=0
masks=0
peer=1
smartseg=""
for arg in "$@"; do
  case "$arg" in
    --memory) memory=1 ;;
    --masks) masks=1 ;;
    --no-peer) peer=0 ;;
    -*) echo "engine_vs_peer.sh: unknown option $arg" >&2; exit 2 ;;
    *) smartseg="$arg" ;;
  esac
done
smartseg="${smartseg:-${TAMRIX_BUILD_DIR:-$root/build}/stage/bin/smartseg}"
[ -x "$smartseg" ] || { echo "engine_vs_peer.sh: no smartseg at $smartseg (build first)" >&2; exit 2; }

"$root/scripts/setup-deps" python3-skimage python3-sklearn

data="$(mktemp -d)"
trap 'rm -rf "$data"' EXIT
echo "== mosaics (768 x 768, 8-bit grey)"
"$python" "$root/bench/peer/mosaic_bench.py" generate "$data/in"

echo
echo "== engine: smartseg train + smartseg segment, one process each, default options"
mkdir -p "$data/out"
engine_total=0
engine_cpu=0
# The shell times the processes itself, so that no timing process runs inside a measured
# interval: wall seconds from bash's clock, CPU seconds (user + system) of the finished children
# from its `times` (the second line), each written to a file before and after a process.
children_cpu() {
  awk 'NR == 2 { n = split($0, t, " "); s = 0
         for (i = 1; i <= n; i++) { split(t[i], p, "m"); s += p[1] * 60 + p[2] }
         printf "%.3f", s }' "$1"
}
for json in "$data"/in/*.json; do
  stem="$(basename "$json" .json)"
  [ "$stem" = mosaics ] && continue
  times >"$data/cpu0.txt"
  start=$EPOCHREALTIME
  "$smartseg" train --quiet --model "$data/$stem.model" "$json" >/dev/null
  trained=$EPOCHREALTIME
  times >"$data/cpu1.txt"
  segment_start=$EPOCHREALTIME
  "$smartseg" segment --quiet --model "$data/$stem.model" --out "$data/out" "$data/in/$stem.png" \
    >/dev/null
  done_at=$EPOCHREALTIME
  times >"$data/cpu2.txt"
  read -r t s <<<"$(echo "$start $trained $segment_start $done_at" |
    awk '{printf "%.3f %.3f", $2-$1, $4-$3}')"
  read -r c0 c1 c2 <<<"$(children_cpu "$data/cpu0.txt") $(children_cpu "$data/cpu1.txt") $(children_cpu "$data/cpu2.txt")"
  train_cpu=$(echo "$c0 $c1" | awk '{printf "%.3f", $2-$1}')
  segment_cpu=$(echo "$c1 $c2" | awk '{printf "%.3f", $2-$1}')
  engine_total=$(echo "$engine_total $t $s" | awk '{printf "%.3f", $1+$2+$3}')
  engine_cpu=$(echo "$engine_cpu $train_cpu $segment_cpu" | awk '{printf "%.3f", $1+$2+$3}')
  printf "engine %-10s train %s s  segment %s s  (CPU %s s + %s s)\n" "$stem" "$t" "$s" \
    "$train_cpu" "$segment_cpu"
done
echo "engine total $engine_total s  CPU $engine_cpu s"
"$python" "$root/bench/peer/mosaic_bench.py" score "$data/in" "$data/out"

if [ "$peer" = 1 ]; then
  echo
  echo "== reference: multiscale_basic_features(sigma 1..16) + RandomForest(50 trees, depth 10, all cores)"
  peer_out="$("$python" "$root/bench/peer/mosaic_bench.py" peer "$data/in")"
  echo "$peer_out"
  peer_total="$(echo "$peer_out" | awk '/^peer +total/ {print $3}')"
  peer_cpu="$(echo "$peer_out" | awk '/^peer +total/ {print $6}')"
  echo
  echo "speed (wall): reference $peer_total s / engine $engine_total s = $(echo "$peer_total $engine_total" |
    awk '{printf "%.2f", $1/$2}') x"
  echo "speed (CPU):  reference $peer_cpu s / engine $engine_cpu s = $(echo "$peer_cpu $engine_cpu" |
    awk '{printf "%.2f", $1/$2}') x"
fi

if [ "$memory" = 1 ]; then
  echo
  echo "== peak RSS of smartseg segment (4 labels; /usr/bin/time -v)"
  "$python" - "$data/mem" <<'EOF'
import json, os, sys
import numpy as np
from PIL import Image
out = sys.argv[1]
os.makedirs(out, exist_ok=True)
rng = np.random.default_rng(7)
# A small training image with four textures in quadrants, one scribble each.
n = 256
y, x = np.mgrid[0:n, 0:n]
quad = (x >= n // 2).astype(int) + 2 * (y >= n // 2)
img = np.where(quad == 0, 128 + 40 * np.sin(x * 0.7), 0)
img = np.where(quad == 1, 128 + 30 * rng.standard_normal((n, n)), img)
img = np.where(quad == 2, 128 + 40 * np.sin(y * 0.7), img)
img = np.where(quad == 3, 128 + 10 * rng.standard_normal((n, n)), img)
Image.fromarray(np.clip(img, 0, 255).astype(np.uint8)).save(os.path.join(out, "train.png"))
shapes = []
for q, name in enumerate(["a", "b", "c", "d"]):
    cx, cy = (q % 2) * n // 2 + n // 4, (q // 2) * n // 2 + n // 4
    shapes.append({"label": name, "shape_type": "line", "points": [[cx - 30, cy], [cx + 30, cy]]})
json.dump({"shapes": shapes, "imagePath": "train.png", "imageData": None, "imageHeight": n,
           "imageWidth": n}, open(os.path.join(out, "train.json"), "w"))
for size in (4096, 8192):
    tile = np.asarray(Image.open(os.path.join(out, "train.png")))
    big = np.tile(tile, (size // n, size // n))
    Image.fromarray(big).save(os.path.join(out, "big%d.png" % size))
EOF
  "$smartseg" train --quiet --model "$data/mem/m.model" "$data/mem/train.json" >/dev/null
  for size in 4096 8192; do
    for threads in 1 2; do
      /usr/bin/time -v "$smartseg" segment --quiet --threads "$threads" --model "$data/mem/m.model" \
        --out "$data/mem/out" "$data/mem/big$size.png" >/dev/null 2>"$data/time.txt"
      awk -v size="$size" -v threads="$threads" '
        /Maximum resident/ {rss = $6}
        /Elapsed \(wall clock\)/ {wall = $8}
        END {printf "segment %dx%d --threads %d: %s wall, peak RSS %.0f MB\n", size, size, threads, wall, rss / 1024}' \
        "$data/time.txt"
    done
    rm -rf "$data/mem/out"
  done

  # Many labels: 300 cells of a 640 x 480 image, each its own texture (stripes of its own period
  # and angle over noise) and one short scribble, then a 1024 x 1024 image of the same cells.
  "$python" - "$data/many" <<'EOF'
import json, os, sys
import numpy as np
from PIL import Image
out = sys.argv[1]
os.makedirs(out, exist_ok=True)
rng = np.random.default_rng(3)
cols, rows, cell = 20, 15, 32
def scene(width, height):
    y, x = np.mgrid[0:height, 0:width].astype(np.float64)
    k = (np.minimum(y // cell, rows - 1) * cols + np.minimum(x // cell, cols - 1)) % (cols * rows)
    angle = (k * 0.37) % np.pi
    period = 3.0 + (k % 7)
    img = 128 + 50 * np.sin((x * np.cos(angle) + y * np.sin(angle)) * 2 * np.pi / period)
    return np.clip(img + 12 * rng.standard_normal(img.shape), 0, 255).astype(np.uint8)
Image.fromarray(scene(cols * cell, rows * cell)).save(os.path.join(out, "train.png"))
shapes = []
for k in range(cols * rows):
    cx, cy = (k % cols) * cell + cell // 2, (k // cols) * cell + cell // 2
    shapes.append({"label": "l%03d" % k, "shape_type": "line",
                   "points": [[cx - 8, cy], [cx + 8, cy]]})
json.dump({"shapes": shapes, "imagePath": "train.png", "imageData": None,
           "imageHeight": rows * cell, "imageWidth": cols * cell},
          open(os.path.join(out, "train.json"), "w"))
Image.fromarray(scene(1024, 1024)).save(os.path.join(out, "big1024.png"))
EOF
  /usr/bin/time -v "$smartseg" train --quiet --model "$data/many/m.model" "$data/many/train.json" \
    >/dev/null 2>"$data/time.txt"
  awk '/Maximum resident/ {rss = $6} /Elapsed \(wall clock\)/ {wall = $8}
       END {printf "train 300 labels on 640x480: %s wall, peak RSS %.0f MB\n", wall, rss / 1024}' \
    "$data/time.txt"
  /usr/bin/time -v "$smartseg" segment --quiet --model "$data/many/m.model" --out "$data/many/out" \
    "$data/many/big1024.png" >/dev/null 2>"$data/time.txt"
  awk '/Maximum resident/ {rss = $6} /Elapsed \(wall clock\)/ {wall = $8}
       END {printf "segment 1024x1024, 300 labels: %s wall, peak RSS %.0f MB\n", wall, rss / 1024}' \
    "$data/time.txt"
fi

if [ "$masks" = 1 ]; then
  echo
  echo "== training from four dense 2048 x 2048 IMAGE=MASK pairs"
  "$python" - "$data/masks" <<'EOF'
import os, sys
import numpy as np
from PIL import Image
from scipy import ndimage
out = sys.argv[1]
os.makedirs(out, exist_ok=True)
rng = np.random.default_rng(11)
n = 2048
for i in range(4):
    seeds = rng.uniform(0, n, size=(12, 2))
    y, x = np.mgrid[0:n:4, 0:n:4]
    d = (x[None] - seeds[:, 0, None, None]) ** 2 + (y[None] - seeds[:, 1, None, None]) ** 2
    small = (np.argmin(d, axis=0) % 4).astype(np.uint8)
    region = np.kron(small, np.ones((4, 4), np.uint8))
    noise = rng.standard_normal((n, n))
    img = 128 + 20 * np.where(region % 2 == 0, noise, ndimage.gaussian_filter(noise, 2) * 4)
    img += np.where(region >= 2, 30 * np.sin(np.arange(n) * 0.8)[None, :], 0)
    Image.fromarray(np.clip(img, 0, 255).astype(np.uint8)).save(os.path.join(out, "img%d.png" % i))
    Image.fromarray((region + 1).astype(np.uint8)).save(os.path.join(out, "mask%d.png" % i))
EOF
  pairs=()
  for i in 0 1 2 3; do pairs+=("$data/masks/img$i.png=$data/masks/mask$i.png"); done
  /usr/bin/time -v "$smartseg" train --quiet --model "$data/masks/m.model" "${pairs[@]}" \
    >/dev/null 2>"$data/time.txt"
  awk '/Maximum resident/ {rss = $6} /Elapsed \(wall clock\)/ {wall = $8}
       END {printf "train 4 x 2048x2048 dense masks: %s wall, peak RSS %.0f MB\n", wall, rss / 1024}' \
    "$data/time.txt"
fi
