#!/usr/bin/env bash
# Tries the project as a new user would on a fresh minimal Debian release:
# makes the root with debootstrap, installs only the toolchain there, clones
# this checkout's committed HEAD into it and runs the README's two commands,
# the run command first (no display there, so it captures the demo) and then
# the test command; between them it makes and checks the .deb packages from
# the run command's build (scripts/check-deb.sh). Needs root (debootstrap,
# chroot, mounts).
#
#   scripts/test-debian.sh RELEASE [DIR]
#
# RELEASE is a Debian code name or number: trixie or 13, bookworm or 12.
# DIR (default build-debian/RELEASE) is made anew; DEBIAN_MIRROR picks the
# package mirror (default http://deb.debian.org/debian).
set -euo pipefail
SRC=$(cd "$(dirname "$0")/.." && pwd)

case "${1:-}" in
  13 | trixie) release=trixie ;;
  12 | bookworm) release=bookworm ;;
  *) echo "usage: scripts/test-debian.sh trixie|bookworm [DIR]" >&2; exit 2 ;;
esac
root=$(realpath -m "${2:-$SRC/build-debian/$release}")
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}
if [ "$(id -u)" -ne 0 ]; then
  echo "test-debian: needs root for debootstrap, chroot and mounts (try: sudo $0 $*)" >&2
  exit 2
fi
bash "$SRC/scripts/setup.sh" --debootstrap

# Only what this script mounted, deepest first; then nothing may be left
# mounted below the root before it is removed.
unmount_all() {
  local m
  for m in dev/shm dev/pts sys proc; do
    if mountpoint -q "$root/$m"; then umount -l "$root/$m"; fi
  done
  if findmnt -rn -o TARGET | grep -q "^$root/"; then
    echo "test-debian: something is still mounted under $root; not removing it" >&2
    return 1
  fi
}
in_root() {
  chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
    TERM="${TERM:-dumb}" /bin/bash -c "$1"
}

if [ -e "$root" ]; then
  unmount_all
  rm -rf --one-file-system "$root"
fi
mkdir -p "$root"
trap unmount_all EXIT

echo "test-debian: making a minimal Debian $release in $root"
debootstrap --variant=minbase "$release" "$root" "$mirror" >"$root.debootstrap.log" 2>&1 ||
  { tail -n 20 "$root.debootstrap.log" >&2; exit 1; }
# debootstrap makes the device nodes; the rest a desktop has, the tests need:
# processes, pseudo-terminals and shared memory (Xvfb).
mount -t proc proc "$root/proc"
mount -t sysfs -o ro sysfs "$root/sys"
mkdir -p "$root/dev/pts" "$root/dev/shm"
mount -t devpts -o newinstance,ptmxmode=0666 devpts "$root/dev/pts"
mount -t tmpfs -o mode=1777 tmpfs "$root/dev/shm"
ln -sf pts/ptmx "$root/dev/ptmx"
cp /etc/resolv.conf "$root/etc/resolv.conf"

echo "test-debian: installing the toolchain"
in_root "apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  build-essential cmake ninja-build git >/dev/null"

git clone -q "$SRC" "$root/root/vantor"
echo "test-debian: $(in_root 'cd /root/vantor && git log -1 --format="%h %s"')"

echo "test-debian: the run command (bash scripts/run.sh) on Debian $release"
in_root "cd /root/vantor && bash scripts/run.sh"
[ -s "$root/root/vantor/out/vantor.mp4" ] || [ -d "$root/root/vantor/out/frames" ] ||
  { echo "test-debian: the run command left no capture in out/" >&2; exit 1; }

echo "test-debian: the Debian packages from the run command's build"
in_root "cd /root/vantor && bash scripts/check-deb.sh build"

echo "test-debian: the test command (bash scripts/test.sh) on Debian $release"
in_root "cd /root/vantor && bash scripts/test.sh"
