#!/usr/bin/env bash
# The .deb as a user meets it: checked by lintian, installed with apt-get, its main job run from
# the installed files alone (qbt, plug-in, sample list, man page, header and pkg-config file),
# then removed, leaving nothing behind. Runs as root (as CI does) or through sudo.
# Usage: bash scripts/check-deb.sh build/native/quillbridge-to-tamberlow_<version>_<arch>.deb
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

if [ $# -ne 1 ] || [ ! -f "$1" ]; then
    echo "usage: $0 PACKAGE.deb" >&2
    exit 2
fi
deb=$(realpath "$1")
package=$(dpkg-deb --field "$deb" Package)
fail() { echo "check-deb: $*" >&2; exit 1; }

echo "== $(basename "$deb"): $(stat -c %s "$deb") bytes"
dpkg-deb --field "$deb" Package Version Architecture Depends
dpkg-deb --contents "$deb" | awk '{print $NF}'

echo "== lintian"
# Errors fail the check; warnings and notes are shown.
lintian --fail-on error --display-level '>=warning' "$deb"

echo "== apt-get install"
as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -o Dpkg::Use-Pty=0 -o DPkg::Lock::Timeout=600 "$deb"
dpkg-query -W -f='${Status}\n' "$package" | grep -qx 'install ok installed' \
    || fail "$package is not installed"

# From a folder outside the checkout, so that nothing of the build tree can be picked up.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export LC_ALL=C.UTF-8
qbt=$(command -v qbt) || fail "qbt is not on the PATH"
echo "== $qbt info"
qbt info
# The defaults --help shows are where the package put the plug-in and the list.
plugin=$(dpkg -L "$package" | grep '/libQuillbridge_to_Tamberlow\.so$')
list=$(dpkg -L "$package" | grep '/games\.xml$')
qbt --help | grep -qF "PATH=$plugin" || fail "qbt's default plug-in is not $plugin"
qbt lookup --help | grep -qF "FILE=$list" || fail "qbt's default list is not $list"
echo "== qbt lookup --list $list"
qbt lookup --list "$list" B737FB1A 6B286DAC
qbt lookup --json B737FB1A | grep -q '"title"' || fail "no title from the default list"

echo "== man qbt"
MANWIDTH=80 MANPAGER=cat man qbt >man.txt 2>man.err || { cat man.err; fail "man qbt failed"; }
head -n 12 man.txt
grep -q 'lookup' man.txt || fail "the man page does not describe lookup"

echo "== bash completion"
completion=$(dpkg -L "$package" | grep '/bash-completion/completions/qbt$') \
    || fail "the package has no bash completion for qbt"
# The words typed so far, the last one being completed: what bash would offer.
offered() {
    bash -c 'source /usr/share/bash-completion/bash_completion; source "$0"
             COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
             _qbt qbt "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
             printf "%s\n" "${COMPREPLY[@]}"' "$completion" "$@"
}
offered qbt ren | grep -qx rename || fail "completion does not offer the command rename"
offered qbt rename --no | grep -qx -- --no-companions || fail "completion lacks rename's options"
offered qbt rename --pattern '{release} {ti' | grep -qxF '{release} {title}' \
    || fail "completion lacks the pattern's fields"

echo "== a host built with pkg-config"
cat >host.c <<'HOST'
#include <Quillbridge_to_Tamberlow/exports.h>
#include <stdio.h>
int main(void) {
    char credit[64];
    char* out = credit;
    printf("version %d\n", (int)GetPluginVersion());
    return GetPluginAuthor(&out, sizeof credit) > 0 ? 0 : 1;
}
HOST
# shellcheck disable=SC2046  # the flags are meant to be split
cc host.c -o host $(pkg-config --cflags --libs Quillbridge_to_Tamberlow)
./host

echo "== apt-get remove"
cd /
as_root env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq -o Dpkg::Use-Pty=0 -o DPkg::Lock::Timeout=600 "$package"
if dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -q 'ok installed'; then
    fail "$package is still installed"
fi
for file in "$qbt" "$plugin" "$list"; do
    [ ! -e "$file" ] || fail "$file is left behind"
done
hash -r
! command -v qbt >/dev/null || fail "qbt is still on the PATH"
! man -w qbt >/dev/null 2>&1 || fail "man qbt still finds a page"
# CPack's postrm (an ldconfig call) keeps the package known to dpkg until it is purged.
as_root env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq -o Dpkg::Use-Pty=0 -o DPkg::Lock::Timeout=600 "$package"
! dpkg-query -W "$package" >/dev/null 2>&1 || fail "dpkg still knows $package after the purge"
echo "== $package installed, used and removed"
