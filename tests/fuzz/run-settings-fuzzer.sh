#!/usr/bin/env bash
# Runs the settings check fuzzer from the example demos, with both
# dictionaries; findings land in build/fuzz/findings/.
#   tests/fuzz/run-settings-fuzzer.sh [libFuzzer options]   (e.g. -runs=10000000)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$root/build/fuzz"
cmake --build --preset fuzz --target SettingsCheckFuzzer >/dev/null
seeds="$build/settings-seeds"
corpus="$build/settings-corpus"
mkdir -p "$seeds" "$corpus" "$build/findings"
# Every example is a seed, so new elements are fuzzed once they have one.
find "$root/docs/examples" -name '*.xml' | while read -r example; do
  cp "$example" "$seeds/$(echo "${example#"$root"/}" | tr / _)"
done
cat "$root/tests/fuzz/xml.dict" "$root/tests/fuzz/settings.dict" > "$build/settings-fuzz.dict"
export SDL_AUDIODRIVER=dummy
cd "$build/findings"
exec "$build/tests/fuzz/SettingsCheckFuzzer" -dict="$build/settings-fuzz.dict" -max_len=8192 "$@" "$corpus" "$seeds"
