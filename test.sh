#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite. CTest starts and stops its own
# throw-away MariaDB server for the run.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
# the spreadsheet program that reads the saved workbooks back in tst_savedworkbooks, and the
# replication library and state-transfer tools of the trial cluster (tests labelled "cluster")
"$top/scripts/deps.sh" libreoffice-calc-nogui galera-4 rsync iproute2 procps
"$top/scripts/build.sh"
cd "$top/build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 600 "$@"
