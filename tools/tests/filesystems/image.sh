#!/usr/bin/env bash
# A real file system for the suite, on a loop device:
#   image.sh mount   KIND DIR    makes DIR/KIND.img, mounts it at DIR/KIND
#   image.sh unmount KIND DIR    unmounts it, detaches the loop device, removes the image
# KIND is exfat (through exfat-fuse, never the kernel's driver, whose RENAME_NOREPLACE would
# hide what a card mounted through FUSE lacks) or ntfs (through ntfs-3g, also FUSE); ext4, the
# kernel's own; or tmpfs, 16 MB in memory without an image, small enough to fill to the last
# byte.
#
# Where the machine cannot do it (no /dev/fuse, no loop device that this user may attach), the
# reason goes to DIR/KIND.skip and to standard output, and the tests that need the mount skip
# with it. Anything else that goes wrong fails, so a missing package is not mistaken for a skip.
set -euo pipefail

action=$1 kind=$2 dir=$3
mountpoint=$dir/$kind image=$dir/$kind.img skip=$dir/$kind.skip loopfile=$dir/$kind.loop

unmount() {
    if mountpoint -q "$mountpoint"; then
        # The FUSE daemon may still be flushing right after the last test: a few tries.
        for _ in 1 2 3 4 5; do umount "$mountpoint" 2>/dev/null && break; sleep 1; done
        mountpoint -q "$mountpoint" && umount -l "$mountpoint"
    fi
    if [ -f "$loopfile" ]; then
        losetup -d "$(cat "$loopfile")" 2>/dev/null || true
        rm -f "$loopfile"
    fi
    rm -f "$image" "$skip" "$dir/$kind.log"
    rmdir "$mountpoint" 2>/dev/null || true
}

skip() {
    echo "$*" >"$skip"
    echo "skipped: $*"
    exit 0
}

case $action in
unmount)
    unmount
    ;;
mount)
    mkdir -p "$dir"
    unmount  # what a run that was stopped may have left
    if [ "$kind" = tmpfs ]; then
        [ "$(id -u)" -eq 0 ] || skip "mounting needs root"
        mkdir -p "$mountpoint"
        mount -t tmpfs -o size=16m qbt-full "$mountpoint"
        echo "tmpfs mounted at $mountpoint"
        exit 0
    fi
    case $kind in exfat | ntfs | ext4) ;; *) echo "unknown file system $kind" >&2; exit 2 ;; esac
    [ "$kind" = ext4 ] || [ -c /dev/fuse ] || skip "no /dev/fuse: $kind is mounted through FUSE"
    [ "$(id -u)" -eq 0 ] || skip "attaching a loop device needs root"
    truncate -s 64M "$image"
    loop=$(losetup --find --show "$image" 2>/dev/null) || skip "no free loop device"
    echo "$loop" >"$loopfile"
    # mkfs.ntfs warns that a loop device has no disk geometry: its messages only on failure.
    case $kind in
    exfat) mkfs.exfat -L QBT "$loop" >"$dir/$kind.log" 2>&1 ;;
    ntfs) mkfs.ntfs --quick --label QBT "$loop" >"$dir/$kind.log" 2>&1 ;;
    ext4) mkfs.ext4 -q -L QBT "$loop" >"$dir/$kind.log" 2>&1 ;;
    esac || { cat "$dir/$kind.log" >&2; exit 1; }
    mkdir -p "$mountpoint"
    case $kind in
    exfat) mount.exfat-fuse "$loop" "$mountpoint" ;;
    ntfs) ntfs-3g "$loop" "$mountpoint" ;;
    ext4) mount -t ext4 "$loop" "$mountpoint" ;;
    esac
    expected=fuseblk
    [ "$kind" = ext4 ] && expected=ext4
    [ "$(findmnt -no FSTYPE "$mountpoint")" = "$expected" ] || { echo "$kind is not mounted" >&2; exit 1; }
    echo "$kind mounted at $mountpoint from $loop"
    ;;
*)
    echo "usage: image.sh mount|unmount KIND DIR" >&2
    exit 2
    ;;
esac
