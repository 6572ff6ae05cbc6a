#!/usr/bin/env bash
# The recalculation benchmark: the patch against SQLite on a demo database.
# See README.md in this folder.
#
# usage: bench/recalc/run.sh [--records N] [--build-dir DIR] [--work DIR]
#                            [--fresh] [-- recalc_bench.py options]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

records=1000000
build="$root/build-bench"
work="${TMPDIR:-/tmp}/morb_recalc_bench"
fresh=0
while [ $# -gt 0 ]; do
  case "$1" in
    --records) records="$2"; shift 2 ;;
    --build-dir) build="$2"; shift 2 ;;
    --work) work="$2"; shift 2 ;;
    --fresh) fresh=1; shift ;;
    --) shift; break ;;
    *) echo "run.sh: unknown option '$1' (see the top of $0)" >&2; exit 2 ;;
  esac
done

# Relative folders are taken from where the script was started.
build=$(realpath -m "$build")
work=$(realpath -m "$work")

if ! /usr/bin/python3 -c 'import dbfread, sqlite3' 2>/dev/null; then
  echo "run.sh: /usr/bin/python3 needs dbfread (Debian: apt-get install python3-dbfread)" >&2
  exit 2
fi

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DMORB_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j2 --target morbhost dbftool vornex support

# The demo database is made once per size (the same seed gives the same
# files) and only copied from then on.
demo="$work/demo-$records"
if [ "$fresh" = 1 ] || [ ! -f "$demo/.complete" ]; then
  rm -rf "$demo"
  mkdir -p "$work"
  "$build/bin/dbftool" create-demo "$demo" --records "$records"
  touch "$demo/.complete"
fi

cd "$here"
exec /usr/bin/python3 recalc_bench.py --bin "$build/bin" --demo "$demo" --work "$work" "$@"
