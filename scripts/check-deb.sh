#!/usr/bin/env bash
# Builds the Debian package and checks that it installs and starts on a clean
# Debian 12 (bookworm):
#   1. configures a release build in build-deb/, builds the program, runs
#      cpack -G DEB and checks the package's fields, paths and permissions;
#   2. makes a minimal bookworm root with debootstrap (kept in FOLDER/base and
#      reused by later runs), copies it to FOLDER/run, installs the package
#      there with apt-get, starts the program on the offscreen platform and,
#      under Xvfb, on the xcb platform, and checks the menu entry.
#
#   sudo bash scripts/check-deb.sh [FOLDER]     (default /tmp/quorvane-deb-check)
#
# Needs root (debootstrap, chroot, mounts) and Debian's package mirror: the one
# the machine's own apt sources use, or MIRROR=URL. The package is installed
# without recommended packages, so its Depends alone must be enough.
# QV_JOBS sets the build's parallel jobs (default 2).
# shellcheck disable=SC2016  # the single-quoted $ are meant for dpkg-query and the chroot's shell
set -euo pipefail

repo="$(cd "$(dirname "$0")/.." && pwd)"
folder="$(realpath -m "${1:-/tmp/quorvane-deb-check}")"
build="$repo/build-deb"
base="$folder/base"
run="$folder/run"
suite=bookworm
started=$SECONDS

if [ "$(id -u)" -ne 0 ]; then
  echo "check-deb.sh needs root: sudo bash scripts/check-deb.sh [FOLDER]" >&2
  exit 2
fi
case "$folder/" in
  "$repo"/*) echo "put the chroot folder outside the repository, not in $folder" >&2; exit 2 ;;
esac

step() { printf '\n== %s (%ds)\n' "$*" "$((SECONDS - started))"; }
fail() { echo "FAILED: $*" >&2; exit 1; }

# The mirror the machine's apt sources use for bookworm itself.
find_mirror() {
  local f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    awk -v s="$suite" '$1 == "deb" { i = 2; if ($i ~ /^\[/) { while ($i !~ /\]$/) i++; i++ }
                                    if ($(i + 1) == s) { print $i; exit } }' "$f"
  done
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk -v s="$suite" 'BEGIN { RS = ""; FS = "\n" }
      { uri = ""; hit = 0; off = 0
        for (n = 1; n <= NF; n++) {
          if ($n ~ /^URIs:/) { split(substr($n, 6), u, " "); for (k in u) if (u[k] != "") { uri = u[k]; break } }
          if ($n ~ /^Suites:/) { m = split(substr($n, 8), w, " "); for (k = 1; k <= m; k++) if (w[k] == s) hit = 1 }
          if ($n ~ /^Enabled:[ \t]*no/) off = 1
        }
        if (hit && !off && uri != "") { print uri; exit } }' "$f"
  done
}
mirror="${MIRROR:-$(find_mirror | head -n 1)}"
mirror="${mirror:-http://deb.debian.org/debian}"

# ---------------------------------------------------------------- the package
step "building the package in $build"
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_BUILD_TESTS=OFF \
      -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build "$build" -j "${QV_JOBS:-2}" --target quorvane
rm -f "$build"/quorvane_*.deb
(cd "$build" && cpack -G DEB)
debs=("$build"/quorvane_*.deb)
if [ "${#debs[@]}" -ne 1 ] || [ ! -f "${debs[0]}" ]; then fail "cpack made no single quorvane_*.deb"; fi
deb="${debs[0]}"
echo "package: $deb"

step "checking the package"
dpkg-deb -I "$deb"
dpkg-deb -c "$deb"
field() { dpkg-deb -f "$deb" "$1"; }
depends="$(field Depends)"
depend_names="$(tr ',' '\n' <<<"$depends" | awk '{ print $1 }')"
for need in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 fonts-liberation2 qt6-translations-l10n; do
  grep -qxF "$need" <<<"$depend_names" || fail "Depends lacks $need: $depends"
done
[ "$(field Section)" = education ] || fail "Section is '$(field Section)'"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ "$(field Description | wc -l)" -gt 1 ] || fail "the Description has no long text"

# Every entry under /usr, owned by root, directories and the program 755,
# everything else 644.
dpkg-deb -c "$deb" | awk '
  { mode = $1; owner = $2; path = $6 }
  path !~ /^\.\/usr\// { print "outside /usr: " path; bad = 1 }
  owner != "root/root" { print "not owned by root: " path; bad = 1 }
  mode ~ /^d/ && mode != "drwxr-xr-x" { print "directory mode " mode ": " path; bad = 1 }
  mode ~ /^-/ && path ~ /^\.\/usr\/bin\// && mode != "-rwxr-xr-x" { print "program mode " mode ": " path; bad = 1 }
  mode ~ /^-/ && path !~ /^\.\/usr\/bin\// && mode != "-rw-r--r--" { print "file mode " mode ": " path; bad = 1 }
  END { exit bad }' || fail "wrong paths or permissions in the package"

unpacked="$(mktemp -d)"
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
for f in usr/bin/quorvane usr/share/quorvane/testhelp.hlp \
         usr/share/applications/org.quorvane.Quorvane.desktop \
         usr/share/metainfo/org.quorvane.Quorvane.metainfo.xml; do
  [ -s "$unpacked/$f" ] || fail "the package lacks $f"
done
# Text in the program is both 8-bit and UTF-16 (QStringLiteral).
program_strings() { strings -a "$unpacked/usr/bin/quorvane"; strings -a -el "$unpacked/usr/bin/quorvane"; }
if program_strings | grep -Fq -e "$repo" -e "$build"; then fail "the program names the build folders"; fi
if grep -rlaF -e "$repo" -e "$build" "$unpacked"; then fail "the files above name the build folders"; fi
program_strings | grep -qx /usr/share/quorvane || fail "the program does not look for its help in /usr/share/quorvane"
rm -rf "$unpacked"
trap - EXIT
echo "package checks passed"

# ------------------------------------------------------------- a clean Debian
if [ ! -e "$base/.quorvane-base-ready" ]; then
  step "making a minimal $suite root in $base from $mirror"
  if ! command -v debootstrap >/dev/null; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap
  fi
  rm -rf --one-file-system "$base"
  mkdir -p "$base"
  debootstrap --variant=minbase "$suite" "$base" "$mirror"
  touch "$base/.quorvane-base-ready"
else
  step "reusing the $suite root in $base"
fi

mounts=()
cleanup() {
  local status=$? p m i
  # Whatever still runs inside the copy (an X server left by an interrupted
  # check) is ended by its process id.
  for p in /proc/[0-9]*; do
    if [ "$(readlink "$p/root" 2>/dev/null)" = "$run" ]; then kill "${p#/proc/}" 2>/dev/null || true; fi
  done
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    m="${mounts[i]}"
    mountpoint -q "$m" && { umount "$m" || umount -l "$m"; }
  done
  if grep -qF " $run/" /proc/self/mounts; then
    echo "still mounted under $run, not removing it:" >&2
    grep -F " $run/" /proc/self/mounts >&2
    status=1
  elif [ -d "$run" ] && [ -z "${KEEP_RUN:-}" ]; then
    rm -rf --one-file-system "$run"
  fi
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

step "copying the clean root to $run"
rm -rf --one-file-system "$run"
cp -a "$base" "$run"
cp /etc/resolv.conf "$run/etc/resolv.conf"
# No services start inside the copy.
printf '#!/bin/sh\nexit 101\n' >"$run/usr/sbin/policy-rc.d"
chmod 755 "$run/usr/sbin/policy-rc.d"
mount -t proc proc "$run/proc" && mounts+=("$run/proc")
mount --bind /dev/pts "$run/dev/pts" && mounts+=("$run/dev/pts")
cp "$deb" "$run/tmp/"
chmod 644 "$run/tmp/$(basename "$deb")"

in_root() {
  chroot "$run" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
    DEBIAN_FRONTEND=noninteractive "$@"
}
# The program runs as an ordinary user, as it would from a desktop menu.
as_user() {
  chroot "$run" /usr/sbin/runuser -u tester -- /usr/bin/env -i PATH=/usr/bin:/bin HOME=/home/tester \
    LANG=C.UTF-8 XDG_RUNTIME_DIR=/tmp/runtime-tester "$@"
}

step "installing $(basename "$deb") with apt-get"
in_root apt-get update -q
in_root sh -c "cd /tmp && apt-get install -y --no-install-recommends ./$(basename "$deb")"
in_root dpkg-query -W -f='${Package} ${Version} ${Status}\n' quorvane
if in_root dpkg-query -W -f='${Status}' qt6-qpa-plugins 2>/dev/null | grep -q "install ok installed"; then
  echo "note: qt6-qpa-plugins came in"
else
  echo "qt6-qpa-plugins is not installed; the xcb plugin comes with libqt6gui6:"
  in_root dpkg -S /usr/lib/x86_64-linux-gnu/qt6/plugins/platforms/libqxcb.so
fi
in_root useradd -m tester
in_root install -d -m 700 -o tester -g tester /tmp/runtime-tester

step "starting the program on the offscreen platform"
rc=0
as_user QT_QPA_PLATFORM=offscreen timeout 3 quorvane || rc=$?
echo "exit code $rc (124: still running after 3 s)"
[ "$rc" -eq 124 ] || fail "the program did not start on the offscreen platform"

step "installing Xvfb and the desktop-file tools for the check"
in_root apt-get install -y -q --no-install-recommends xvfb xauth x11-utils desktop-file-utils

step "starting the program on the xcb platform under Xvfb"
rc=0
as_user xvfb-run -a -s "-screen 0 1280x1024x24" sh -c '
  QT_QPA_PLATFORM=xcb timeout 3 quorvane & program=$!
  sleep 2
  xwininfo -root -tree >/tmp/runtime-tester/windows.txt
  wait "$program"' || rc=$?
echo "exit code $rc (124: still running after 3 s)"
[ "$rc" -eq 124 ] || fail "the program did not start on the xcb platform"
grep -i '"quorvane"' "$run/tmp/runtime-tester/windows.txt" || fail "no window of the program was mapped"

step "checking the menu entry"
desktop=/usr/share/applications/org.quorvane.Quorvane.desktop
in_root desktop-file-validate "$desktop"
exec_program="$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$run$desktop")"
icon="$(sed -n 's/^Icon=//p' "$run$desktop")"
in_root sh -c "command -v '$exec_program'" || fail "Exec=$exec_program is not on the PATH"
icons=("$run"/usr/share/icons/hicolor/*/apps/"$icon".png)
[ -s "${icons[0]}" ] || fail "no icon $icon.png in the hicolor theme"
printf 'Exec=%s and Icon=%s resolve; icon sizes:' "$exec_program" "$icon"
for f in "${icons[@]}"; do printf ' %s' "$(basename "$(dirname "$(dirname "$f")")")"; done
echo

step "done: the package installs and starts on a clean Debian 12"
