#!/usr/bin/env bash
# The archive libraries of qbt.exe, cross-built for 32-bit Windows from Debian 12's source
# packages, since Debian ships no mingw-w64 build of them: libarchive (7z, RAR, RAR5) with
# liblzma (xz-utils) and bzip2, and libzip (zip) with bzip2; zlib is Debian's own
# libz-mingw-w64-dev. Static libraries and headers go to OUT/install, with versions.txt (what was
# fetched and built) and licences.txt (their licence texts, for the Windows ZIP).
#
# The sources come through apt with a sources list of our own, as debian_sources.sh fetches them.
#
#   bash windows_archive_libraries.sh OUT TOOLCHAIN_FILE DEBIAN_MIRROR SECURITY_MIRROR JOBS
set -euo pipefail
out=$1 toolchain=$2 mirror=$3 security_mirror=$4 jobs=$5
triple=i686-w64-mingw32
mingw_root=/usr/$triple
install=$out/install
started=$SECONDS

rm -rf "${out:?}"
mkdir -p "$install/lib" "$install/include"
source "$(dirname "${BASH_SOURCE[0]}")/debian_sources.sh"
fetch_debian_sources "$out" "$mirror" "$security_mirror" "$install/versions.txt" \
                     bzip2 xz-utils libzip libarchive
zlib_version=$(dpkg-query -W -f='${Version}' libz-mingw-w64-dev)
echo "zlib $zlib_version (Debian 12 package libz-mingw-w64-dev)" >> "$install/versions.txt"
echo "== fetched in $((SECONDS - started)) s:"
cat "$install/versions.txt"

compiler=$triple-gcc-posix
cmake_common=(-DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
              -DBUILD_SHARED_LIBS=OFF -Wno-dev -DCMAKE_INSTALL_PREFIX="$install"
              -DCMAKE_FIND_ROOT_PATH="$mingw_root;$install"
              -DZLIB_INCLUDE_DIR="$mingw_root/include" -DZLIB_LIBRARY="$mingw_root/lib/libz.a")
timed() {  # label, command...
    local from=$SECONDS
    "${@:2}" > "$out/$1.log" 2>&1 || { tail -n 40 "$out/$1.log"; echo "== $1 failed"; exit 1; }
    echo "== $1: $((SECONDS - from)) s"
}

# bzip2 has only a plain Makefile: its seven library sources, compiled here.
build_bzip2() {
    local source=$out/sources/bzip2 objects=()
    mkdir -p "$out/build/bzip2"
    for file in blocksort huffman crctable randtable compress decompress bzlib; do
        "$compiler" -O2 -D_FILE_OFFSET_BITS=64 -c "$source/$file.c" -o "$out/build/bzip2/$file.o"
        objects+=("$out/build/bzip2/$file.o")
    done
    "$triple-ar" rcs "$install/lib/libbz2.a" "${objects[@]}"
    cp "$source/bzlib.h" "$install/include/"
}
timed bzip2 build_bzip2

# liblzma alone: the xz tools are not needed (and xzdec.exe fails to install).
build_liblzma() {
    cmake -S "$out/sources/xz-utils" -B "$out/build/xz" "${cmake_common[@]}"
    cmake --build "$out/build/xz" --target liblzma -j "$jobs"
    cp "$out/build/xz/liblzma.a" "$install/lib/"
    cp -r "$out/sources/xz-utils/src/liblzma/api/lzma.h" "$out/sources/xz-utils/src/liblzma/api/lzma" \
          "$install/include/"
}
timed liblzma build_liblzma

# The compression methods of Debian's native libzip: deflate and bzip2. No encryption.
build_libzip() {
    cmake -S "$out/sources/libzip" -B "$out/build/libzip" "${cmake_common[@]}" \
          -DENABLE_BZIP2=ON -DENABLE_LZMA=OFF -DENABLE_COMMONCRYPTO=OFF -DENABLE_GNUTLS=OFF \
          -DENABLE_MBEDTLS=OFF -DENABLE_OPENSSL=OFF -DENABLE_WINDOWS_CRYPTO=OFF \
          -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF \
          -DBZIP2_INCLUDE_DIR="$install/include" -DBZIP2_LIBRARY_RELEASE="$install/lib/libbz2.a"
    cmake --build "$out/build/libzip" -j "$jobs"
    cmake --install "$out/build/libzip"
}
timed libzip build_libzip

# The library alone, with zlib, liblzma and bzip2: no tools, tests, crypto or XML (xar).
build_libarchive() {
    cmake -S "$out/sources/libarchive" -B "$out/build/libarchive" "${cmake_common[@]}" \
          -DENABLE_TAR=OFF -DENABLE_CPIO=OFF -DENABLE_CAT=OFF -DENABLE_TEST=OFF \
          -DENABLE_INSTALL=OFF -DENABLE_OPENSSL=OFF -DENABLE_MBEDTLS=OFF -DENABLE_NETTLE=OFF \
          -DENABLE_CNG=OFF -DENABLE_LIBB2=OFF -DENABLE_LZ4=OFF -DENABLE_LZO=OFF \
          -DENABLE_ZSTD=OFF -DENABLE_LIBXML2=OFF -DENABLE_EXPAT=OFF -DENABLE_PCREPOSIX=OFF \
          -DENABLE_ICONV=OFF -DENABLE_ACL=OFF -DENABLE_XATTR=OFF \
          -DLIBLZMA_INCLUDE_DIR="$install/include" -DLIBLZMA_LIBRARY="$install/lib/liblzma.a" \
          -DBZIP2_INCLUDE_DIR="$install/include" -DBZIP2_LIBRARY_RELEASE="$install/lib/libbz2.a"
    cmake --build "$out/build/libarchive" --target archive_static -j "$jobs"
    cp "$out/build/libarchive/libarchive/libarchive_static.a" "$install/lib/libarchive.a"
    cp "$out/sources/libarchive/libarchive/archive.h" \
       "$out/sources/libarchive/libarchive/archive_entry.h" "$install/include/"
}
timed libarchive build_libarchive

# What qbt.exe contains besides its own code, and the licences it comes under.
{
    echo "qbt.exe is built with these libraries, from Debian 12's packages:"
    echo
    cat "$install/versions.txt"
    for licence in "libarchive:libarchive/COPYING" "libzip:libzip/LICENSE" \
                   "liblzma (xz-utils):xz-utils/COPYING" "bzip2:bzip2/LICENSE"; do
        printf '\n\n==== %s ====\n\n' "${licence%%:*}"
        cat "$out/sources/${licence#*:}"
    done
    printf '\n\n==== zlib ====\n\n'
    cat /usr/share/doc/libz-mingw-w64-dev/copyright
} > "$install/licences.txt"
echo "== done in $((SECONDS - started)) s"
