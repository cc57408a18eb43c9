# Sourced by the other scripts: installs Debian packages that are missing, and nothing else.
# Runs as root on a fresh Debian 12 machine (as CI does) or through sudo.

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# ensure_packages PACKAGE...: apt-get update and install only when one of them is missing.
ensure_packages() {
    local missing=()
    local package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' \
            || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "installing: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}

NATIVE_PACKAGES=(cmake make g++ libgtest-dev locales binutils)
# The command-line tool (tools/): command line, JSON, CRC-32, zip directories, name patterns.
NATIVE_PACKAGES+=(libcli11-dev nlohmann-json3-dev zlib1g-dev libzip-dev pkgconf libfmt-dev)

# Hardening: clang 14 with libFuzzer and the sanitizer runtimes for the fuzz preset, and llvm
# for the unversioned llvm-symbolizer the runtimes look for, so reports name source lines (GCC's
# runtimes for the asan and tsan presets come with g++).
HARDENING_PACKAGES=(clang libclang-rt-14-dev llvm)

# The Windows build: mingw-w64 for i686, GoogleTest's source, and 32-bit Wine to run the tests.
WINDOWS_PACKAGES=(g++-mingw-w64-i686 binutils-mingw-w64-i686 googletest wine wine32:i386 locales)
# qbt.exe: the header-only libraries of the native tool, shown to the cross compiler alone.
WINDOWS_PACKAGES+=(libcli11-dev nlohmann-json3-dev libfmt-dev)

# 32-bit Wine comes from the i386 architecture. Adding it needs no apt-get update of its own:
# wine32:i386 is then missing, so ensure_packages updates before it installs.
ensure_i386_architecture() {
    dpkg --print-foreign-architectures | grep -qx i386 || as_root dpkg --add-architecture i386
}
