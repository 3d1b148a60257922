#!/usr/bin/env bash
# Builds the Debian package and checks that it installs and starts on a clean
# Debian 12 (bookworm):
#   1. configures a release build in build-deb/ (or QV_DEB_BUILD), builds the
#      program, runs cpack -G DEB, checks the package's fields, paths and
#      permissions, and runs lintian on it (errors and warnings fail);
#   2. makes a minimal bookworm root with debootstrap (kept in FOLDER/base and
#      reused by later runs), copies it to FOLDER/run, installs the package
#      there with apt-get, starts the program on the offscreen platform and,
#      under Xvfb, on the xcb platform, and checks the menu entry;
#   3. with shared-mime-info, desktop-file-utils and xdg-utils added to that
#      root, shows that their triggers take the package's file type and menu
#      entry into the databases when it is installed, that xdg-mime knows a
#      .tst file and opens it with the program, that quorvane --check gives
#      0, 1 and 2 for a clean test, a test with problems and a missing file,
#      and that quorvane FILE opens the test at its first question (a picture
#      of the screen is kept as FOLDER/test-window.png).
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
build="$(realpath -m "${QV_DEB_BUILD:-$repo/build-deb}")"
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
# What the program's own command line does wrong is gathered, so that one run
# shows every such check; the script fails at the end if any did.
problems=()
problem() { echo "PROBLEM: $*" >&2; problems+=("$*"); }

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
# The package has no maintainer scripts: the databases of menu entries and
# file types are updated by the triggers of desktop-file-utils and
# shared-mime-info.
control_files="$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | sed 's|^\./||' | grep -v '^$' | sort | tr '\n' ' ')"
[ "$control_files" = "control md5sums " ] || fail "unexpected control files: $control_files"

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
         usr/share/metainfo/org.quorvane.Quorvane.metainfo.xml \
         usr/share/mime/packages/org.quorvane.Quorvane.xml \
         usr/share/man/man1/quorvane.1.gz usr/share/man/ru/man1/quorvane.1.gz \
         usr/share/doc/quorvane/copyright usr/share/doc/quorvane/changelog.Debian.gz; do
  [ -s "$unpacked/$f" ] || fail "the package lacks $f"
done
# Text in the program is both 8-bit and UTF-16 (QStringLiteral).
program_strings() { strings -a "$unpacked/usr/bin/quorvane"; strings -a -el "$unpacked/usr/bin/quorvane"; }
if program_strings | grep -Fq -e "$repo" -e "$build"; then fail "the program names the build folders"; fi
if grep -rlaF -e "$repo" -e "$build" "$unpacked"; then fail "the files above name the build folders"; fi
program_strings | grep -qx /usr/share/quorvane || fail "the program does not look for its help in /usr/share/quorvane"
# The journal's and the export's module, where the program looks for it.
module_dir="/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/quorvane"
[ -s "$unpacked$module_dir/quorvane-results.so" ] || fail "the package lacks ${module_dir#/}/quorvane-results.so"
program_strings | grep -qx "$module_dir" || fail "the program does not look for its module in $module_dir"
rm -rf "$unpacked"
trap - EXIT
echo "package checks passed"

step "lintian"
if ! command -v lintian >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends lintian
fi
# Informational tags are shown but pass; errors and warnings fail. The
# package's one override (usr/share/lintian/overrides/quorvane) is not shown:
# with --show-overrides lintian would fail on it too.
lintian --display-info --tag-display-limit 0 --fail-on error,warning "$deb" ||
  fail "lintian found errors or warnings"
echo "lintian: no errors, no warnings"

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

step "installing Xvfb and the desktop tools for the check"
# mimetype (libfile-mimeinfo-perl) is what xdg-mime asks outside a desktop
# session; xdotool and xwd look at the test window.
in_root apt-get install -y -q --no-install-recommends xvfb xauth x11-utils x11-apps xdotool \
  desktop-file-utils shared-mime-info xdg-utils libfile-mimeinfo-perl

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
# The entry and its actions each start a program on the PATH.
exec_programs=()
while read -r exec_program; do
  in_root sh -c "command -v '$exec_program'" </dev/null || fail "Exec=$exec_program is not on the PATH"
  exec_programs+=("$exec_program")
done < <(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$run$desktop" | sort -u)
icon="$(sed -n 's/^Icon=//p' "$run$desktop")"
icons=("$run"/usr/share/icons/hicolor/*/apps/"$icon".png)
[ -s "${icons[0]}" ] || fail "no icon $icon.png in the hicolor theme"
printf 'Exec=%s and Icon=%s resolve; icon sizes:' "${exec_programs[*]}" "$icon"
for f in "${icons[@]}"; do printf ' %s' "$(basename "$(dirname "$(dirname "$f")")")"; done
echo

# ------------------------------------------------------ the test file type
type=application/x-quorvane-test
entry=org.quorvane.Quorvane.desktop
mime_knows() { grep -qx "$type" "$run/usr/share/mime/types" 2>/dev/null; }
menu_knows() { grep -qx "$type=$entry;" "$run/usr/share/applications/mimeinfo.cache" 2>/dev/null; }

step "the triggers of shared-mime-info and desktop-file-utils"
# Removing the package and installing it again, now that both tools are
# there, shows their triggers taking the type and the entry out and in.
in_root dpkg -r quorvane | tee "$folder/remove.log"
if mime_knows; then fail "$type is still in the MIME database after the package was removed"; fi
if menu_knows; then fail "$entry still opens $type after the package was removed"; fi
echo "removed: $type is in neither database"
in_root dpkg -i "/tmp/$(basename "$deb")" | tee "$folder/install.log"
for tool in shared-mime-info desktop-file-utils; do
  grep -q "^Processing triggers for $tool " "$folder/install.log" || fail "installing the package did not trigger $tool"
done
mime_knows || fail "the shared-mime-info trigger did not add $type to /usr/share/mime"
menu_knows || fail "the desktop-file-utils trigger did not add $entry for $type to mimeinfo.cache"
grep -x "50:$type:\*.tst" "$run/usr/share/mime/globs2"
grep -x "$type=$entry;" "$run/usr/share/applications/mimeinfo.cache"
rm -f "$folder/remove.log" "$folder/install.log"

# The tests the program is given: the worked example, clean; a test with
# problems (a variant text longer than 80 bytes, a point that is not a number,
# a range that is never chosen, a range bound that is not a number); one with
# a total that no range holds; and, to the file type alone, the worked example
# under a name without an extension.
home="$run/home/tester"
install -o "$(stat -c %u "$home")" -g "$(stat -c %g "$home")" -m 644 "$repo/tests/data/worked_example.tst" "$home/some.tst"
install -o "$(stat -c %u "$home")" -g "$(stat -c %g "$home")" -m 644 "$repo/tests/data/worked_example.tst" "$home/worked-example"
long_variant="$(printf 'v%.0s' $(seq 1 100))"
printf '%s\r\n' 'Info=(2'$'\005''2'$'\005''3)' 'Title=(Problems'$'\005''Author'$'\005''Problems)' \
  'Buttons=(Yes'$'\005''No)' 'Questions:' 'First?' 'Second?' 'Variants: all' \
  A "$long_variant" C D 'Numbers:' '1,x,2,0,' 'Message:' \
  '=0-1' 'Low.' '=0-1' 'Never chosen.' '=3-3' 'High.' '=x-9' 'A bound that is not a number.' '$' >"$home/problems.tst"
printf '%s\r\n' 'Info=(2'$'\005''2'$'\005''1)' 'Title=(Gaps'$'\005''Author'$'\005''Gaps)' \
  'Buttons=(Yes'$'\005''No)' 'Questions:' 'First?' 'Second?' 'Variants: none' 'Numbers:' '1,0,2,0,' \
  'Message:' '=0-1' 'Low.' '=3-3' 'High.' '$' >"$home/gaps.tst"
chown "$(stat -c %u:%g "$home")" "$home/problems.tst" "$home/gaps.tst"

step "the file type through xdg-mime"
filetype="$(as_user sh -c 'cd /home/tester && xdg-mime query filetype some.tst')" || true
echo "xdg-mime query filetype some.tst: $filetype"
[ "$filetype" = "$type" ] || fail "some.tst is not $type"
by_content="$(as_user sh -c 'cd /home/tester && xdg-mime query filetype worked-example')" || true
echo "xdg-mime query filetype worked-example (no extension, by its first bytes): $by_content"
[ "$by_content" = "$type" ] || fail "a test without the .tst name is not known by its first bytes"
default="$(as_user xdg-mime query default "$type")" || true
echo "xdg-mime query default $type: $default"
[ "$default" = "$entry" ] || fail "$type does not open with $entry"

step "quorvane --check"
# No display: the check opens no window. A run that does not end in 20 s
# (a program that starts its windows instead) counts as wrong.
check() {
  local want="$1" rc=0
  shift
  echo "\$ quorvane --check $*"
  as_user sh -c 'cd /home/tester && exec timeout 20 quorvane --check "$@"' sh "$@" || rc=$?
  echo "exit status $rc"
  [ "$rc" -eq "$want" ] || problem "quorvane --check $* gave exit status $rc, not $want"
}
check 0 some.tst
check 1 problems.tst
check 1 gaps.tst
check 2 missing.tst

step "quorvane some.tst under Xvfb"
rc=0
as_user xvfb-run -a -s "-screen 0 1280x1024x24" sh -c '
  cd /home/tester
  QT_QPA_PLATFORM=xcb timeout 5 quorvane some.tst & program=$!
  sleep 4
  for name in "Тест" "Менеджер тестов"; do
    printf "%s: " "$name"
    xdotool search --onlyvisible --name "^$name\$" | tr "\n" " "
    echo
  done >/tmp/runtime-tester/test-windows.txt
  xwd -root -silent >/tmp/runtime-tester/test-window.xwd
  wait "$program"' || rc=$?
echo "exit code $rc (124: still running after 5 s)"
cat "$run/tmp/runtime-tester/test-windows.txt"
[ "$rc" -eq 124 ] || problem "quorvane some.tst did not keep running"
# The worked example's window caption is "Тест"; the manager is not shown
# while the test runs.
grep -q '^Тест: [0-9]' "$run/tmp/runtime-tester/test-windows.txt" ||
  problem "quorvane some.tst showed no window captioned \"Тест\""
if grep -q '^Менеджер тестов: [0-9]' "$run/tmp/runtime-tester/test-windows.txt"; then
  problem "quorvane some.tst showed the manager window while the test runs"
fi
if command -v convert >/dev/null && convert "xwd:$run/tmp/runtime-tester/test-window.xwd" "$folder/test-window.png"; then
  echo "picture of the screen: $folder/test-window.png"
else
  cp "$run/tmp/runtime-tester/test-window.xwd" "$folder/test-window.xwd"
  echo "picture of the screen (xwd): $folder/test-window.xwd"
fi

if ((${#problems[@]})); then
  printf '\nFAILED: the program'"'"'s command line:\n' >&2
  printf '  %s\n' "${problems[@]}" >&2
  exit 1
fi
step "done: the package installs and starts on a clean Debian 12 and the desktop knows its tests"
