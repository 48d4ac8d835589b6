#!/usr/bin/env bash
# Installs what is missing, makes a release build of the programs and the
# Debian package from it: build/package/vexel_<version>_<arch>.deb, with its
# dependencies worked out from the binaries.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --package
scripts/build.sh package
cd build/package
# A package left from an older version would be taken for this one below.
rm -f vexel_*.deb
cpack -G DEB >/dev/null
deb=$(ls vexel_*.deb)
echo "made build/package/$deb; install it with:"
echo "  sudo apt-get install ./build/package/$deb"
