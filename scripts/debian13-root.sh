# The Debian 13 (trixie) root that scripts/test-debian13 and scripts/windows work in: made
# once with debootstrap from the Debian archive and cached outside the tree, and the mounts the
# work inside needs. Sourced, as root.
root=${ZX_DEBIAN13_ROOT:-${XDG_CACHE_HOME:-$HOME/.cache}/zentrix/debian13-root}
# The mirror this machine's own apt uses, so that a local proxy or mirror serves both.
mirror=${ZX_DEBIAN_MIRROR:-$(sed -n 's/^URIs: *\([^ ]*debian\)$/\1/p' \
    /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -1)}
mirror=${mirror:-http://deb.debian.org/debian}

make_root() {
    [ -e "$root/.zentrix-root-complete" ] && return 0
    echo "== making a Debian 13 root in $root (once; a few minutes)"
    if ! command -v debootstrap >/dev/null; then
        apt-get update -qq
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
            debootstrap >/dev/null
    fi
    # debootstrap from Debian 12 knows trixie; the keyring of the host signs its release.
    rm -rf "$root.partial"
    mkdir -p "$(dirname "$root")"
    debootstrap --variant=minbase --include=ca-certificates,git,sudo,locales trixie \
        "$root.partial" "$mirror" >"$(dirname "$root")/debootstrap.log" 2>&1 ||
        { tail -20 "$(dirname "$root")/debootstrap.log"; return 1; }
    rm -rf "$root"
    mv "$root.partial" "$root"
    touch "$root/.zentrix-root-complete"
}

mounted=()
leave_root() {
    local i
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
        umount -l "${mounted[$i]}" 2>/dev/null || true
    done
    mounted=()
}
mount_in() { # type-or-bind source target
    mkdir -p "$root$3"
    # Another run in this root (scripts/windows beside scripts/test-debian13) mounted it
    # already: used as it is, and left to that run to unmount.
    mountpoint -q "$root$3" && return 0
    if [ "$1" = bind ]; then mount --bind "$2" "$root$3"; else mount -t "$1" "$2" "$root$3"; fi
    mounted+=("$root$3")
}
# Mounts what tests and builds need: proc, sys, dev, dev/pts, dev/shm, a private /tmp.
enter_root() {
    trap leave_root EXIT
    mount_in proc proc /proc
    mount_in sysfs sys /sys
    mount_in bind /dev /dev
    mount_in bind /dev/pts /dev/pts
    mount_in tmpfs tmpfs /dev/shm
    mount_in tmpfs tmpfs /tmp
    cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
}

# Runs a command in the root with a clean environment.
in_root() {
    chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin CI="${CI:-}" "$@"
}
