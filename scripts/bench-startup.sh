#!/usr/bin/env bash
# Measures the start-up time of the program: from the start of the process to the login screen
# mapped on a real X server (Xvfb), on a provisioned server. The splash screen comes after the
# login screen is shown, so its fixed time is not counted.
#   scripts/bench-startup.sh [RUNS]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-5}
# xwininfo comes with x11-utils
"$top/scripts/deps.sh" x11-utils
"$top/scripts/build.sh" pos >/dev/null

work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; "$top/scripts/dbserver.sh" stop "$work/server" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/run"
umask 077
mkdir -p "$XDG_CONFIG_HOME/pos" "$XDG_RUNTIME_DIR"
port=$(POS_DB_THROWAWAY=1 "$top/scripts/dbserver.sh" start "$work/server")
cat >"$XDG_CONFIG_HOME/pos/registry.ini" <<INI
[Software]
pos\\db\\User_name=root
pos\\db\\password=$(cat "$work/server/password")
pos\\db\\server=127.0.0.1
pos\\db\\port=$port
INI

display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
export DISPLAY=$display
for _ in $(seq 1 50); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.1; done

cd "$work"
measure() {
  local start end pid
  start=$(date +%s%N)
  "$top/build/pos" >/dev/null 2>&1 &
  pid=$!
  until xwininfo -root -tree 2>/dev/null | grep -q '"Login"'; do sleep 0.005; done
  end=$(date +%s%N)
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true
  echo $(((end - start) / 1000000))
}

first=$(measure)
echo "first start (creates the catalogue databases): ${first} ms"
total=0
for i in $(seq 1 "$runs"); do
  t=$(measure)
  echo "start $i: ${t} ms"
  total=$((total + t))
done
echo "mean of $runs starts on a provisioned server: $((total / runs)) ms"
