# shellcheck shell=bash
# A throw-away Debian chroot for package tests, sourced. The minimal system comes from the mirror apt
# already uses and is kept packed in ~/.cache/ordovant, the packages apt downloads into it too; each run
# unpacks a fresh copy, so nothing of an earlier run is left in it.
# Usage: debian_chroot_open SUITE DIR   (then debian_chroot DIR COMMAND..., debian_chroot_close DIR)
debian_chroot_cache="${ORDOVANT_CHROOT_CACHE:-$HOME/.cache/ordovant}"

debian_chroot_mirror() {
    sed -n 's/^URIs: *//p; s/^deb \(http[^ ]*\) .*/\1/p' /etc/apt/sources.list.d/*.sources \
        /etc/apt/sources.list 2>/dev/null | grep -m1 '/debian/\?$'
}

debian_chroot_open() {
    local suite="$1" dir="$2" packed="$debian_chroot_cache/$1-chroot.tar.zst"
    mkdir -p "$debian_chroot_cache/$suite-apt-archives/partial" "$dir"
    if [ ! -f "$packed" ]; then
        echo "== Making the $suite chroot (once; cached in $packed)"
        debootstrap --variant=minbase "$suite" "$dir" "$(debian_chroot_mirror)" >"$dir.debootstrap.log" 2>&1 \
            || { tail -20 "$dir.debootstrap.log"; return 1; }
        chroot "$dir" apt-get clean
        tar -C "$dir" -cf - . | zstd -q -T0 >"$packed.tmp" && mv "$packed.tmp" "$packed"
    else
        zstd -dc "$packed" | tar -C "$dir" -xf -
    fi
    mount -t proc proc "$dir/proc"
    mount --bind /dev "$dir/dev"
    mount --bind "$debian_chroot_cache/$suite-apt-archives" "$dir/var/cache/apt/archives"
    debian_chroot "$dir" apt-get update -qq
}

# Runs a command in the chroot with a clean environment.
debian_chroot() {
    local dir="$1"
    shift
    chroot "$dir" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
        DEBIAN_FRONTEND=noninteractive "$@"
}

debian_chroot_close() {
    local dir="$1" mounted
    for mounted in var/cache/apt/archives dev proc; do
        if mountpoint -q "$dir/$mounted"; then umount -l "$dir/$mounted"; fi
    done
    # Never delete through a mount that is left: it would reach the machine's /dev or the cache.
    for mounted in var/cache/apt/archives dev proc; do
        if mountpoint -q "$dir/$mounted"; then echo "still mounted: $dir/$mounted"; return 1; fi
    done
    rm -rf --one-file-system "$dir" "$dir.debootstrap.log"
}
