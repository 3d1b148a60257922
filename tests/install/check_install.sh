#!/usr/bin/env bash
# Installs the built program into a scratch folder and checks that every file
# lands where the desktop and the help viewer look for it, and that the menu
# entry and the software-centre description are valid.
set -euo pipefail
build="$1"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

cmake --install "$build" --prefix "$scratch/usr" >/dev/null

expect=(
  usr/bin/quorvane
  usr/share/quorvane/testhelp.hlp
  usr/share/applications/org.quorvane.Quorvane.desktop
  usr/share/metainfo/org.quorvane.Quorvane.metainfo.xml
  usr/share/icons/hicolor/32x32/apps/quorvane.png
  usr/share/icons/hicolor/256x256/apps/quorvane.png
)
status=0
for f in "${expect[@]}"; do
  if [ ! -s "$scratch/$f" ]; then
    echo "missing after install: $f"
    status=1
  fi
done
[ -x "$scratch/usr/bin/quorvane" ] || { echo "quorvane is not executable"; status=1; }

desktop-file-validate "$scratch/usr/share/applications/org.quorvane.Quorvane.desktop" || status=1
appstreamcli validate --no-net "$scratch/usr/share/metainfo/org.quorvane.Quorvane.metainfo.xml" || status=1

# The installed program finds its help in the installed data folder.
grep -q "Как составить тест" "$scratch/usr/share/quorvane/testhelp.hlp" || { echo "help text wrong"; status=1; }

if [ "$status" -eq 0 ]; then echo "install layout: 1 passed, 0 failed"; fi
exit "$status"
