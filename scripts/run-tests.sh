#!/usr/bin/env bash
# Installs what the tests need, then builds and runs every suite.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

ensure_packages "${NATIVE_PACKAGES[@]}"
cmake --preset native
cmake --build --preset native
ctest --preset native
