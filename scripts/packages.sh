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
    # Waits for another apt or dpkg run (an unattended upgrade, say) rather than failing at once.
    as_root apt-get update -qq -o DPkg::Lock::Timeout=600
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        -o DPkg::Lock::Timeout=600 \
        "${missing[@]}"
}

NATIVE_PACKAGES=(cmake make g++ libgtest-dev locales binutils)
# The command-line tool (tools/): command line, JSON, CRC-32 (libdeflate; zlib for the tests and
# the benchmarks), name patterns.
NATIVE_PACKAGES+=(libcli11-dev nlohmann-json3-dev zlib1g-dev libdeflate-dev libzip-dev pkgconf
                  libfmt-dev)
# The tool's archives (tools/collection/), read by scan, rename and audit: libzip for zip,
# libarchive for 7z, RAR and RAR5, zlib for gzip. The tests write theirs with the same libraries.
NATIVE_PACKAGES+=(libarchive-dev)
# The 7z header reader's library, fetched from Debian's source package 7zip at configure time
# (cmake/sevenzip_sdk.cmake): apt's keyring to check the source, dpkg-source to unpack it with
# Debian's patches, and xz for its tarballs.
NATIVE_PACKAGES+=(debian-archive-keyring dpkg-dev xz-utils)
# 7-Zip (7zz) makes the 7z archives of the header reader's tests and of
# bench/archive_benchmark.sh, and is the benchmark's yardstick.
NATIVE_PACKAGES+=(7zip)
# qbt's man page, made from its --help at build time, and the benchmarks (bench/): configuring
# stops without them unless QBT_BUILD_MAN_PAGE or QBT_BUILD_BENCHMARKS is OFF.
NATIVE_PACKAGES+=(help2man libbenchmark-dev)
# The comparison in bench/list_detection_figures.cpp: uchardet on the lists qbt's own rule reads.
NATIVE_PACKAGES+=(libuchardet-dev)
# The plot of docs/performance.md, drawn by bench/plot_performance.py.
PLOT_PACKAGES=(python3 gnuplot-nox)

# The Linux packages (cpack --preset native): dpkg-shlibdeps and file for the .deb's run-time
# dependencies, lintian to check it, man to read the installed page, bash-completion to try the
# installed completion.
PACKAGING_PACKAGES=(dpkg-dev file lintian man-db bash-completion)

# Hardening: clang 14 with libFuzzer and the sanitizer runtimes for the fuzz preset, and llvm
# for the unversioned llvm-symbolizer the runtimes look for, so reports name source lines (GCC's
# runtimes for the asan and tsan presets come with g++).
HARDENING_PACKAGES=(clang libclang-rt-14-dev llvm)

# The Windows build: mingw-w64 for i686, GoogleTest's source, and 32-bit Wine to run the tests.
WINDOWS_PACKAGES=(g++-mingw-w64-i686 binutils-mingw-w64-i686 googletest wine wine32:i386 locales)
# qbt.exe: the header-only libraries of the native tool, shown to the cross compiler alone.
WINDOWS_PACKAGES+=(libcli11-dev nlohmann-json3-dev libfmt-dev)
# qbt.exe: zlib cross-built for mingw-w64, linked statically, for the CRC-32 of ROM files.
WINDOWS_PACKAGES+=(libz-mingw-w64-dev)
# qbt.exe's archive libraries, cross-built from Debian's source packages at configure time
# (cmake/windows_archive_libraries.sh): apt's keyring to check the sources, dpkg-source to
# unpack them with Debian's patches, and the decompressors of their tarballs.
WINDOWS_PACKAGES+=(debian-archive-keyring dpkg-dev xz-utils bzip2)

# 32-bit Wine comes from the i386 architecture. Adding it needs no apt-get update of its own:
# wine32:i386 is then missing, so ensure_packages updates before it installs.
ensure_i386_architecture() {
    dpkg --print-foreign-architectures | grep -qx i386 || as_root dpkg --add-architecture i386
}

# qbt's tests on real card file systems: exFAT and NTFS images mounted through FUSE on a loop
# device (tools/tests/filesystems/image.sh), as many systems mount such cards; and an ext4 image
# (e2fsprogs' mkfs.ext4), the kernel's own, for sorting into folders.
FILESYSTEM_PACKAGES=(exfatprogs exfat-fuse ntfs-3g util-linux mount e2fsprogs)
