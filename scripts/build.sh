#!/usr/bin/env bash
# Configures and builds into ./build.
#   build.sh [TARGET...]   builds only the named targets (for example "pos"); all without names
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
targets=()
if [ $# -gt 0 ]; then targets=(--target "$@"); fi
cmake --build "$top/build" --parallel "$(nproc)" "${targets[@]}"
