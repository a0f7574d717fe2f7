#!/usr/bin/env bash
# Draws the README's pictures of the valley with klx-render from a built
# tree: one still per camera set at 640x360 (docs/gallery/CameraNN.jpg), and
# a ten-second animated preview (docs/preview.webp) of two-second glimpses of
# several sets, cut through black as the saver cuts. Needs img2webp (Debian
# package webp) for the preview.
set -euo pipefail
cd "$(dirname "$0")/.."
media=build/src/saver/content/Media.rar2
render=build/bin/klx-render
export SDL_VIDEODRIVER=offscreen ALSOFT_DRIVERS=null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# draw CAMERA SECONDS SIZE OUT: the camera's view that many seconds into its
# move.
draw() {
  local frames
  frames=$(awk -v s="$2" 'BEGIN { printf "%d", s * 10 + 0.5 }')
  "$render" "$media" --camera "$1" --size "$3" --frames "$frames" --dt 0.1 --out "$work/frame.ppm" >/dev/null
  convert "$work/frame.ppm" "$4"
}

# Each set at a moment that shows what it is for: the car in view, the
# flock over the sky.
mkdir -p docs/gallery
for entry in Camera01:7 Camera02:9 Camera03:8 Camera04:7 Camera05:5.5 Camera06:8 Camera07:8 Camera08:7 \
    Camera09:6 Camera10:9 Camera11:9 Camera12:2 Camera17:10 Camera18:8; do
  name=${entry%%:*}
  draw "$name" "${entry#*:}" 640x360 "docs/gallery/$name.jpg"
  echo "gallery: docs/gallery/$name.jpg"
done

# The preview: two seconds of each of five sets at 12.5 frames a second,
# the last and first three frames of each darkened into black between them.
command -v img2webp >/dev/null || { echo "gallery: img2webp is not installed (package webp): no preview"; exit 0; }
frames=()
for entry in Camera03:4 Camera01:5 Camera09:4 Camera07:6 Camera05:4.5; do
  name=${entry%%:*}
  start=$(awk -v s="${entry#*:}" 'BEGIN { printf "%d", s * 12.5 + 0.5 }')
  rm -rf "$work/seq" && mkdir "$work/seq"
  "$render" "$media" --camera "$name" --size 480x270 --frames $((start + 25)) --dt 0.08 --sequence "$work/seq" \
    --out "$work/last.ppm" >/dev/null
  for i in $(seq 1 25); do
    index=$((start + i))
    file=$(printf "%s/seq/frame_%05d.ppm" "$work" "$index")
    out=$(printf "%s/%s_%02d.png" "$work" "$name" "$i")
    factor=1
    [ "$i" -le 3 ] && factor=$(awk -v i="$i" 'BEGIN { print (i - 1) / 3 }')
    [ "$i" -ge 23 ] && factor=$(awk -v i="$i" 'BEGIN { print (25 - i) / 3 }')
    convert "$file" -evaluate multiply "$factor" "$out"
    frames+=("$out")
  done
done
img2webp -loop 0 -lossy -q 70 -m 6 -d 80 "${frames[@]}" -o docs/preview.webp >/dev/null
echo "gallery: docs/preview.webp, $(stat -c %s docs/preview.webp) bytes"
