#!/usr/bin/env bash
# Builds corvixmass and runs it. With a corvixmass.ini beside the built
# program (a real host configured), it runs on that host; otherwise it sets
# up the bundled demo host in ./demo and runs there, then shows what the
# demo host's utility received. Arguments are passed to corvixmass.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

. scripts/packages.sh
InstallMissing cmake g++ make
build="$root/build-run"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCORVIX_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target corvixmass corvixutil mkcatalog >/dev/null

if [ -f "$build/corvixmass.ini" ]; then
  exec "$build/corvixmass" "$@"
fi

demo="$root/demo"
host="$demo/host"
mkdir -p "$host"
cp "$build/corvixutil" "$host/corvixutil"
cp "$build/corvixmass" "$demo/corvixmass"
"$build/mkcatalog" "$host/mbases.dat" "$root/tools/demo_bases.tsv" 2>/dev/null
editor="${VISUAL:-${EDITOR:-}}"
if [ -z "$editor" ]; then
  for e in nano vi; do command -v "$e" >/dev/null && editor=$e && break; done
fi
cat > "$demo/corvixmass.ini" <<INI
; corvixmass demo configuration: a stand-in host in ./host
[main]
editor = ${editor}
delay = 100
charset = utf8

[corvix]
mbases = $host/mbases.dat
dir = $host

[message]
from = Demo Sysop
to = All
subject = Welcome to the demo host
INI
if [ ! -f "$demo/message.txt" ]; then
  cat > "$demo/message.txt" <<'MSG'
Hello all,

this message was posted by corvixmass into every base you marked.

-- the sysop
MSG
fi

status=0
if [ $# -gt 0 ]; then "$demo/corvixmass" "$@" || status=$?; else "$demo/corvixmass" "$demo/message.txt" || status=$?; fi

echo
echo "corvixmass exited with status $status."
if [ -f "$host/corvixutil.log" ]; then
  echo "The demo host's utility log ($host/corvixutil.log), last lines:"
  tail -n 10 "$host/corvixutil.log"
  echo "Messages it stored, one file per base, in $host/bases/"
else
  echo "Nothing was posted to the demo host."
fi
exit "$status"
