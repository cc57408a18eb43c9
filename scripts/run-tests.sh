#!/usr/bin/env bash
# Installs what the tests need, then builds and runs every suite.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

ensure_packages "${NATIVE_PACKAGES[@]}" "${PLOT_PACKAGES[@]}" "${FILESYSTEM_PACKAGES[@]}"
cmake --preset native
cmake --build --preset native
ctest --preset native

# The .deb and the tarball, and the .deb installed, used and removed as a user would.
ensure_packages "${PACKAGING_PACKAGES[@]}"
cpack --preset native
# The newest .deb: the one just made, not one of an earlier version left in the build tree.
# shellcheck disable=SC2012  # ls -t for the order; the names are cpack's own
bash scripts/check-deb.sh "$(ls -t build/native/quillbridge-to-tamberlow_*.deb | head -n 1)"

# Windows: the 32-bit DLL cross-built with mingw-w64, its tests run under Wine, then the ZIP.
# Wine takes the ANSI code page from the system locale: ja_JP.UTF-8 gives code page 932, and
# en_US.UTF-8, under which qbt.exe is also tested, 1252.
ensure_i386_architecture
ensure_packages "${WINDOWS_PACKAGES[@]}"
locale -a | grep -x 'ja_JP.utf8' >/dev/null || as_root localedef -c -i ja_JP -f UTF-8 ja_JP.UTF-8
locale -a | grep -x 'en_US.utf8' >/dev/null || as_root localedef -c -i en_US -f UTF-8 en_US.UTF-8
cmake --preset windows
cmake --build --preset windows
ctest --preset windows
cpack --preset windows

# Hardening: the native suite under AddressSanitizer and UndefinedBehaviorSanitizer, the
# concurrency tests under ThreadSanitizer, and each fuzz target for QBT_FUZZ_SECONDS (30 by
# default, the two at once) with clang and libFuzzer. Any finding fails the stage.
ensure_packages "${HARDENING_PACKAGES[@]}"
cmake --preset asan
cmake --build --preset asan
ctest --preset asan
cmake --preset tsan
cmake --build --preset tsan
ctest --preset tsan
cmake --preset fuzz
cmake --build --preset fuzz
ctest --preset fuzz
