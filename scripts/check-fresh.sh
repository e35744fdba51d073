#!/usr/bin/env bash
# Proves the README on a clean Debian 12, the way a newcomer meets it: in a minimal root
# made by debootstrap, as root and with no display, it runs the test command, then the run
# command under a time limit (the window must appear), then tessaly-batch on one JPEG.
#
#   scripts/check-fresh.sh [COMMIT]     (default HEAD; only committed work is checked)
#
# Needs root (it uses chroot and mounts). Everything lives under one work folder,
# TESSALY_FRESH_DIR (default /var/tmp/tessaly-fresh):
#   pristine/   the untouched minimal root, made once and kept (later runs start in seconds)
#   debs/       downloaded packages, kept so later runs do not fetch them again
#   run.*/      the copy of one run, removed on every way out
# Ends with one line: "fresh machine: N passed, N failed".
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
commit=$(git rev-parse --verify "${1:-HEAD}^{commit}")
work=${TESSALY_FRESH_DIR:-/var/tmp/tessaly-fresh}
suite=bookworm

[ "$(id -u)" -eq 0 ] || { echo "check-fresh: run as root (chroot and mounts)" >&2; exit 2; }
mkdir -p "$work/debs"

passed=0
failed=0
step() {  # step NAME COMMAND...: runs a check and counts it
  local name=$1
  shift
  echo "== fresh machine: $name"
  if "$@"; then
    passed=$((passed + 1))
    echo "-- passed: $name"
  else
    failed=$((failed + 1))
    echo "-- FAILED: $name"
  fi
}

# The mirror this machine's own apt uses for the suite, so nothing is written into the script.
mirror() {
  apt-cache policy | awk -v suite="$suite/main" '$3 == suite && /Packages/ { print $2; exit }'
}

make_pristine() {
  [ -x "$work/pristine/bin/bash" ] && return 0
  command -v debootstrap >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y debootstrap
  local url
  url=$(mirror)
  [ -n "$url" ] || { echo "no apt source for $suite main on this machine" >&2; return 1; }
  echo "== fresh machine: debootstrap --variant=minbase $suite from $url"
  rm -rf "$work/pristine.new"
  debootstrap --variant=minbase "$suite" "$work/pristine.new" "$url" >"$work/debootstrap.log" 2>&1 ||
    { tail -20 "$work/debootstrap.log" >&2; return 1; }
  mv "$work/pristine.new" "$work/pristine"
}

root=""
mounted=()
mount_into() {  # mount_into SOURCE TARGET [OPTIONS...]
  local target="$root$2"
  mkdir -p "$target"
  mount "${@:3}" "$1" "$target"
  mounted=("$target" "${mounted[@]}")
}

# Processes started inside the root (Wine's server, Xvfb) would keep its mounts busy.
kill_inside() {
  local pid link
  for pid in $(ls /proc | grep -E '^[0-9]+$'); do
    link=$(readlink "/proc/$pid/root" 2>/dev/null) || continue
    [ "$link" = "$root" ] && kill -9 "$pid" 2>/dev/null || true
  done
}

cleanup() {
  local status=$?
  set +e
  if [ -n "$root" ]; then
    kill_inside
    sleep 1
    for target in "${mounted[@]}"; do umount -R "$target" 2>/dev/null || umount -R -l "$target"; done
    # Never remove a folder that still has something mounted inside: it could be the host's /dev.
    if findmnt -rn -o TARGET | grep -q "^$root"; then
      echo "check-fresh: mounts remain under $root; it was left in place" >&2
    else
      rm -rf --one-file-system "$root"
    fi
  fi
  echo "fresh machine: $passed passed, $failed failed"
  [ "$status" -eq 0 ] && [ "$failed" -eq 0 ] || exit 1
  exit 0
}
trap cleanup EXIT
trap 'exit 130' INT TERM

inside() {  # inside COMMAND: runs a shell command in the root as a newcomer's root shell
  chroot "$root" /usr/bin/env -i HOME=/root TERM=dumb LANG=C.UTF-8 CI=true \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    /bin/bash -c "$1" </dev/null
}

started=$(date +%s)
make_pristine
echo "== fresh machine: copying the pristine root ($(($(date +%s) - started)) s so far)"
root=$(mktemp -d "$work/run.XXXXXX")
cp -a "$work/pristine/." "$root/"
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount_into /proc /proc -t proc
mount_into /sys /sys --rbind --make-rslave
mount_into /dev /dev --rbind --make-rslave
mount_into "$work/debs" /var/cache/apt/archives --bind
git clone -q --no-hardlinks "$repo" "$root/root/tessaly"
git -C "$root/root/tessaly" checkout -q "$commit"
echo "== fresh machine: commit $(git -C "$root/root/tessaly" log -1 --format='%h %s')"

step "the test command (./scripts/test.sh)" inside 'cd /root/tessaly && ./scripts/test.sh'

window_appears() {
  inside 'cd /root/tessaly && exec timeout 300 ./scripts/run.sh' >"$root/run.log" 2>&1 &
  local runner=$! display="" found=1
  for _ in $(seq 1 240); do
    display=$(sed -n 's/.*virtual screen \(:[0-9]*\).*/\1/p' "$root/run.log" | head -1)
    if [ -n "$display" ] && inside "DISPLAY=$display xwininfo -root -tree" 2>/dev/null | grep -q '"TessalyEx "'; then
      found=0
      break
    fi
    kill -0 "$runner" 2>/dev/null || break
    sleep 1
  done
  if [ "$found" -eq 0 ]; then
    echo "the window \"TessalyEx \" is on the virtual screen $display"
    inside "DISPLAY=$display import -window root /root/window.png" && cp "$root/root/window.png" "$work/window.png" &&
      echo "screenshot: $work/window.png"
  else
    echo "no window appeared; the run command said:"
    tail -20 "$root/run.log"
  fi
  if grep -qE 'Unhandled|cannot open shared object|command not found' "$root/run.log"; then
    echo "the run command reported a fault:"
    grep -E 'Unhandled|cannot open shared object|command not found' "$root/run.log" | head -5
    found=1
  fi
  kill_inside
  wait "$runner" 2>/dev/null || true
  return "$found"
}
step "the run command (./scripts/run.sh) shows the window" window_appears

batch_converts() {
  inside 'set -e
    cd /tmp && rm -rf batch && mkdir batch && cd batch
    convert -size 320x200 gradient:red-blue photo.jpg
    /root/tessaly/build/native/tessaly-batch --format webp --out-mode suffix /tmp/batch/photo.jpg
    identify photo_c.webp'
}
step "tessaly-batch converts a generated JPEG to WEBP" batch_converts
echo "== fresh machine: $(($(date +%s) - started)) s in all"
