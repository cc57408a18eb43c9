#!/usr/bin/env bash
# Debian 12's source packages, for code Debian ships only as source (the archive libraries of
# qbt.exe, the 7z header reader of both builds). They come through apt with a sources list of our
# own under OUT/apt: the machine's apt configuration and state are read, never written. Debian
# drops superseded versions from its mirror, so the current Debian 12 version is fetched, whatever
# it is, and recorded: each PACKAGE is unpacked with Debian's patches, security fixes among them,
# into OUT/sources/PACKAGE, and "PACKAGE VERSION (Debian 12 source package)" added to VERSIONS.
#
#   bash debian_sources.sh OUT DEBIAN_MIRROR SECURITY_MIRROR VERSIONS PACKAGE...
# or, from another script, `source debian_sources.sh` and fetch_debian_sources with the same
# arguments.

fetch_debian_sources() {
    local out=$1 mirror=$2 security_mirror=$3 versions=$4
    local packages=("${@:5}") keyring=/usr/share/keyrings/debian-archive-keyring.gpg
    mkdir -p "$out/apt/lists/partial" "$out/apt/cache/archives/partial" "$out/sources"
    cat > "$out/apt/sources.list" <<SOURCES
deb-src [signed-by=$keyring] $mirror bookworm main
deb-src [signed-by=$keyring] $security_mirror bookworm-security main
SOURCES
    local apt_options=(-o "Dir::Etc::SourceList=$out/apt/sources.list"
                       -o Dir::Etc::SourceParts=/dev/null -o "Dir::State::Lists=$out/apt/lists"
                       -o "Dir::Cache=$out/apt/cache")
    # Run as root, apt hands downloads to the user _apt, who cannot write into a build tree.
    [ "$(id -u)" -eq 0 ] && apt_options+=(-o APT::Sandbox::User=root)
    echo "== fetching ${packages[*]} from $mirror and $security_mirror"
    apt-get "${apt_options[@]}" -qq update
    (cd "$out/sources" && apt-get "${apt_options[@]}" -qq source --download-only "${packages[@]}")
    local package dsc
    for package in "${packages[@]}"; do
        # apt checked each file's hash against the signed index.
        dsc=$(ls "$out/sources/${package}"_*.dsc)
        dpkg-source --no-check -x "$dsc" "$out/sources/$package" > /dev/null
        echo "$package $(sed -n 's/^Version: //p' "$dsc") (Debian 12 source package)" >> "$versions"
    done
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -euo pipefail
    fetch_debian_sources "$@"
fi
