#!/usr/bin/env bash
# Builds the program, creates the demo database in ./data when it is missing,
# and starts the MMWR patch in this terminal.  Extra arguments go to morbhost.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/ensure_packages.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target morbhost dbftool vornex support
if [ ! -f data/MORBREPT.DBF ]; then
  ./build/bin/dbftool create-demo data --records 20000
fi
exec ./build/bin/morbhost --data data "$@"
