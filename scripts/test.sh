#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole suite with CTest; GL and
# end-to-end tests need an X server, so everything runs under Xvfb.
#   scripts/test.sh [preset]   (release by default; asan for the sanitizers)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
preset="${1:-release}"

scripts/install-deps.sh --test
scripts/build.sh "$preset" -DVEXEL_WERROR=ON

if [[ "$preset" == asan ]]; then
  # Leaks inside the GL driver, Qt and SDL are theirs, not ours.
  export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
  # Full stacks for allocations: the GL driver is unloaded before the leak
  # check, and a frame-pointer stack that ends inside it cannot be matched.
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:fast_unwind_on_malloc=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
fi
export SDL_AUDIODRIVER=dummy
cd "build/$preset"
xvfb-run -a -s "-screen 0 1280x720x24" ctest --output-on-failure -j "$(nproc)"
