#!/usr/bin/env bash
# Makes the guide's pictures: each example settings file in docs/examples/ and
# docs/examples/first-demo/ is captured at 320x180 and one frame is kept as
# docs/pictures/NAME.png (first-demo/animated.xml gives first-demo-animated.png),
# and a demo made by vexel-player --new as docs/pictures/new-demo.png.
#
#   docs/make-pictures.sh [PLAYER]     (default: build/release/player/vexel-player)
#
# Needs a built vexel-player. Without a display it runs the captures under
# Xvfb; without a sound device, with SDL's dummy audio driver.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
player="${1:-$root/build/release/player/vexel-player}"
examples="$root/docs/examples"
pictures="$root/docs/pictures"

if [[ ! -x "$player" ]]; then
  echo "make-pictures: no vexel-player at $player: build it first (scripts/build.sh release)" >&2
  exit 1
fi

# The moment each picture shows; every example not named here is taken at 1 s.
# The test scene turns with time, so it is taken where its shapes are well apart.
# The walkthrough's demo is taken on a flash over the turning logo, its
# animated twin halfway through the picture's fade-in; the music example
# just after a kick.
declare -A at=([class-testpartvao]=2 [first-demo-morvelin]=10.05 [first-demo-animated]=3 [text-scroller]=2
            [text-credits]=2.2 [music-react]=1.1)
# The capture covers one frame's time from there.
span=0.02
# Shaders that build on their own previous frames start empty at a capture's
# first frame: these are captured for a while before, and the last frame kept.
declare -A settle=([class-shader-shadertoy]=0.5 [class-shader-compute]=0.1 [buffers-multipass]=1)

run=()
if [[ -z "${DISPLAY:-}" ]] || ! xdpyinfo >/dev/null 2>&1; then
  run=(xvfb-run -a -s "-screen 0 1280x720x24 -noreset")
fi
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$pictures"

count=0
for settings in "$examples"/*.xml "$examples"/first-demo/*.xml; do
  relative="${settings#"$examples"/}"
  name="${relative%.xml}"
  name="${name//\//-}"
  from="${at[$name]:-1}"
  shown="$from"
  to="$(awk -v a="$from" -v b="$span" 'BEGIN { print a + b }')"
  order=(sort -n)
  if [[ -n "${settle[$name]:-}" ]]; then
    from="$(awk -v a="$from" -v b="${settle[$name]}" 'BEGIN { print a - b }')"
    order=(sort -rn)
  fi
  frames="$scratch/$name"
  mkdir -p "$frames"
  if ! "${run[@]}" "$player" --capture "$frames/%d.png" --size 320x180 --from "$from" --to "$to" "$settings" \
      >"$scratch/$name.log" 2>&1; then
    echo "make-pictures: the capture of $settings failed:" >&2
    cat "$scratch/$name.log" >&2
    exit 1
  fi
  # The lowest frame number is the frame at the chosen time (the highest, after settling).
  first="$(find "$frames" -name '*.png' -printf '%f\n' | "${order[@]}" | head -n 1)"
  if [[ -z "$first" ]]; then
    echo "make-pictures: the capture of $settings wrote no frame" >&2
    exit 1
  fi
  cp "$frames/$first" "$pictures/$name.png"
  echo "docs/pictures/$name.png (at $shown s)"
  count=$((count + 1))
done
# What vexel-player --new makes, on the first beat of bar 5.
"$player" --new "$scratch/my-demo" >/dev/null
if ! "${run[@]}" "$player" --capture "$scratch/new-demo-%d.png" --size 320x180 --from 8 --to 8.02 "$scratch/my-demo" \
    >"$scratch/new-demo.log" 2>&1; then
  echo "make-pictures: the capture of a new demo failed:" >&2
  cat "$scratch/new-demo.log" >&2
  exit 1
fi
cp "$scratch/new-demo-0.png" "$pictures/new-demo.png"
echo "docs/pictures/new-demo.png (vexel-player --new, at 8 s)"
count=$((count + 1))
echo "make-pictures: $count pictures written to docs/pictures/"
