#!/usr/bin/env bash
# scripts/unit end to end: a unit with a broken configuration shows "FATAL ERROR" on its panel,
# its NetworkManager mock answers on the unit's bus, and --stop ends everything it started.
set -euo pipefail
repo=$1 build=$2
root=$(mktemp -d /tmp/orva-unit-script-XXXXXX)
cleanup() { "$repo/scripts/unit" --root "$root" --build "$build" --stop >/dev/null 2>&1 || true; rm -rf "$root"; }
trap cleanup EXIT
printf '[audio\nnot ini\n' >"$root/bad.cfg"
"$repo/scripts/unit" --root "$root" --build "$build" --config "$root/bad.cfg" --detach >/dev/null
export ORVA_ROOT=$root
"$build/sim/orva-panel" wait "FATAL ERROR" 30 || { echo "no FATAL ERROR on the panel"; "$build/sim/orva-panel" state; exit 1; }
pid=$(cat "$root/sim/orva700.pid")
kill -0 "$pid" || { echo "orva700 is not running"; exit 1; }
grep -q '^unix:path=' "$root/sim/system_bus_address" || { echo "no unit bus"; exit 1; }
grep -q ' E exception: ' "$root/var/log/orva700.log" || { echo "no exception logged"; cat "$root/var/log/orva700.log"; exit 1; }
"$repo/scripts/unit" --root "$root" --build "$build" --stop
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$pid" 2>/dev/null; then echo "orva700 still runs after --stop"; exit 1; fi
[ ! -f "$root/sim/panel.pid" ] && [ ! -f "$root/sim/nm_mock.pid" ] || { echo "helpers left behind"; exit 1; }
echo "1 passed, 0 failed"
