#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite. CTest starts and stops its own
# throw-away MariaDB server for the run.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
"$top/scripts/deps.sh"
"$top/scripts/build.sh"
cd "$top/build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 600 "$@"
