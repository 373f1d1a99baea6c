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

# The root is shared: scripts/test-debian13 and scripts/windows may run in it side by side.
# Each run names itself in the root's users file (under a lock); the mounts are made by whoever
# finds them missing and taken down only by the last run to leave, so that no run unmounts the
# root (its /tmp among them) under another. A run that was killed is no user any more.
users_file() { echo "$root.users"; }
mounts=(/proc /sys /dev /dev/pts /dev/shm /tmp)
live_users() { # the PIDs in the users file that still run, but for the one given
    local pid
    [ -e "$(users_file)" ] || return 0
    while read -r pid; do
        [ -n "$pid" ] && [ "$pid" != "${1:-}" ] && kill -0 "$pid" 2>/dev/null && echo "$pid"
    done <"$(users_file)"
    return 0
}
leave_root() {
    local i others
    exec {lock}>"$root.lock"
    flock "$lock"
    others=$(live_users $$)
    printf '%s\n' $others >"$(users_file)"
    if [ -z "$others" ]; then
        for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
            umount -l "$root${mounts[$i]}" 2>/dev/null || true
        done
    fi
    flock -u "$lock"
}
mount_in() { # type-or-bind source target
    mkdir -p "$root$3"
    mountpoint -q "$root$3" && return 0
    if [ "$1" = bind ]; then mount --bind "$2" "$root$3"; else mount -t "$1" "$2" "$root$3"; fi
}
# Mounts what tests and builds need: proc, sys, dev, dev/pts, dev/shm, a /tmp of the root's.
enter_root() {
    exec {lock}>"$root.lock"
    flock "$lock"
    { live_users; echo $$; } >"$(users_file).new"
    mv "$(users_file).new" "$(users_file)"
    trap leave_root EXIT
    mount_in proc proc /proc
    mount_in sysfs sys /sys
    mount_in bind /dev /dev
    mount_in bind /dev/pts /dev/pts
    mount_in tmpfs tmpfs /dev/shm
    mount_in tmpfs tmpfs /tmp
    flock -u "$lock"
    cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
}

# Runs a command in the root with a clean environment.
in_root() {
    chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin CI="${CI:-}" "$@"
}
