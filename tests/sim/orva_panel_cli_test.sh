#!/usr/bin/env bash
# The orva-panel command as people and scripts use it: serve, press, state, wait.
set -euo pipefail
bin=$1
root=$(mktemp -d /tmp/orva-panel-cli-XXXXXX)
trap 'kill $server 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$root"' EXIT
export ORVA_ROOT=$root
"$bin" serve &
server=$!
for _ in $(seq 100); do [ -S "$root/dev/spidev4.0" ] && break; sleep 0.05; done
[ -S "$root/dev/spidev4.0" ] || { echo "no panel socket"; exit 1; }
[ "$(cat "$root/sys/class/gpio/gpio90/value")" = "0" ] || { echo "select line 90 not prepared"; exit 1; }

"$bin" press DIAL 3 | grep -qx ok
"$bin" down 5 | grep -qx ok
state=$("$bin" state)
echo "$state" | grep -qx 'keys 5 DIAL' || { echo "keys: $state"; exit 1; }
echo "$state" | grep -qx 'leds lan=0 gw=0 err=0 con=0 ipc=0 ngn=0 in=0 out=0'
if "$bin" press NOKEY >/dev/null 2>&1; then echo "unknown key accepted"; exit 1; fi
if "$bin" wait "FATAL" 0.3; then echo "wait found text that is not there"; exit 1; fi
echo "1 passed, 0 failed"
