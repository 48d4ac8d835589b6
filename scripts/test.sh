#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole suite with CTest; GL and
# end-to-end tests need an X server, so everything runs under Xvfb.
#   scripts/test.sh [preset]   (release by default; asan for the sanitizers)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
preset="${1:-release}"

scripts/install-deps.sh --test
scripts/build.sh "$preset" -DVEXEL_WERROR=ON -DVEXEL_BUILD_TESTS=ON -DVEXEL_BUILD_TOOLS=ON

export SDL_AUDIODRIVER=dummy
# -noreset: Xvfb otherwise resets whenever its last client leaves, and a test
# connecting in that moment fails to open its display.
run_ctest() {
  xvfb-run -a -s "-screen 0 1280x720x24 -noreset" ctest --output-on-failure -j "$(nproc)" "$@"
}
cd "build/$preset"
if [[ "$preset" != asan ]]; then
  run_ctest
  exit 0
fi

export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
# Leak checking covers the tests without a display. The GL driver leaks from
# libraries it has already unloaded at exit, which no suppression can name,
# so GL and end-to-end tests run with memory errors checked but not leaks.
status=0
ASAN_OPTIONS="detect_leaks=1" run_ctest -L unit || status=1
ASAN_OPTIONS="detect_leaks=0" run_ctest -LE unit || status=1
exit $status
