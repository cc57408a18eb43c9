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
# The command-line tool (tools/): command line, JSON, CRC-32, zip directories.
NATIVE_PACKAGES+=(libcli11-dev nlohmann-json3-dev zlib1g-dev libzip-dev pkgconf)
