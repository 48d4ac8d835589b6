#!/usr/bin/env bash
# Installs what is missing, builds, and plays the bundled demo. Without a
# display it runs under Xvfb; without a sound device, with SDL's dummy driver.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

scripts/install-deps.sh
# Only the program: the test suite needs packages a player does not.
scripts/build.sh release -DVEXEL_BUILD_TESTS=OFF -DVEXEL_BUILD_TOOLS=OFF

program="$root/build/release/src/morvelin"
demo="$root/demo"

if [[ -z "${SDL_AUDIODRIVER:-}" ]]; then
  have_sound=no
  compgen -G "/dev/snd/pcmC*" >/dev/null && have_sound=yes
  [[ -n "${XDG_RUNTIME_DIR:-}" && ( -S "$XDG_RUNTIME_DIR/pulse/native" || -S "$XDG_RUNTIME_DIR/pipewire-0" ) ]] && have_sound=yes
  if [[ $have_sound == no ]]; then
    echo "No sound device found: playing with SDL's dummy audio driver (silent)."
    export SDL_AUDIODRIVER=dummy
  fi
fi

cd "$demo"
if [[ -n "${DISPLAY:-}" ]] && xdpyinfo >/dev/null 2>&1; then
  exec "$program" "$@"
fi
echo "No display found: running under Xvfb (nothing is shown on a screen)."
exec xvfb-run -a -s "-screen 0 1280x720x24" "$program" "$@"
