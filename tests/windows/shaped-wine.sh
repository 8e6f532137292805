#!/usr/bin/env bash
# Runs the Windows hostsim's 4K export test over a slow uplink: a network namespace whose loopback is
# shaped to RATE with a queue of a second, a prefix of its own and a wineserver started inside it (Wine's
# sockets belong to its wineserver, so one outside the namespace would not see the shaped link).
#   shaped-wine.sh DRIVER PREFIX RATE      (RATE as tc takes it, e.g. 768kbit)
# Needs root, unshare, ip and tc; elsewhere it says what is missing and exits 77 (skipped).
set -euo pipefail
driver="$1"
prefix="$2"
rate="$3"
missing=""
[ "$(id -u)" = 0 ] || missing="$missing root"
for tool in unshare ip tc; do command -v "$tool" >/dev/null || missing="$missing $tool"; done
if [ -n "$missing" ]; then
  echo "shaped-wine.sh: skipped, needs$missing"
  exit 77
fi
here="$(cd "$(dirname "$0")/../.." && pwd)"
rm -rf "$prefix" "$prefix.lock"
export KAVELO_WINEPREFIX="$prefix" KAVELO_SHAPED_LINK="$rate"
exec unshare -n bash -c '
  set -e
  ip link set lo mtu 1500 up
  tc qdisc add dev lo root tbf rate "$KAVELO_SHAPED_LINK" burst 6000 latency 1000ms
  "$0/tools/wine-run.sh" "$KAVELO_WINEPREFIX" --start
  status=0
  "$1" --gtest_filter="WindowsHostsim.A4KExportOverASlowUplinkEndsInTheSuccessDialog" || status=$?
  "$0/tools/wine-run.sh" "$KAVELO_WINEPREFIX" --stop
  exit $status
' "$here" "$driver"
