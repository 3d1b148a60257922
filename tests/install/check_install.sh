#!/usr/bin/env bash
# Installs the built program into a scratch folder and checks that every file
# lands where the desktop, the help viewer, man and the package tools look for
# it, that the menu entry, the software-centre description, the file type and
# the manual pages are valid, and that the three name the same file type.
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
  usr/share/mime/packages/org.quorvane.Quorvane.xml
  usr/share/man/man1/quorvane.1.gz
  usr/share/man/ru/man1/quorvane.1.gz
  usr/share/doc/quorvane/copyright
  usr/share/doc/quorvane/changelog.Debian.gz
  usr/share/lintian/overrides/quorvane
)
status=0
for f in "${expect[@]}"; do
  if [ ! -s "$scratch/$f" ]; then
    echo "missing after install: $f"
    status=1
  fi
done
[ -x "$scratch/usr/bin/quorvane" ] || { echo "quorvane is not executable"; status=1; }

# The journal's and the export's parts: a module in the program's own library
# folder, which the installed program loads for an export without a window.
libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$build/CMakeCache.txt")
module="$scratch/usr/$libdir/quorvane/quorvane-results.so"
if [ ! -s "$module" ]; then
  echo "missing after install: usr/$libdir/quorvane/quorvane-results.so"
  status=1
else
  # The program itself starts without the libraries only the module needs.
  needed=$(readelf -d "$scratch/usr/bin/quorvane" | grep NEEDED || true)
  for library in Qt6Charts sqlite3 crypto pq zip xml2 xlsxwriter microhttpd qrencode; do
    if grep -q "lib$library\\." <<<"$needed"; then
      echo "quorvane is linked to lib$library, which only its module should need"
      status=1
    fi
  done
  mkdir "$scratch/journal"
  QUORVANE_MODULE_DIR="$(dirname "$module")" "$scratch/usr/bin/quorvane" --journal-export "$scratch/journal" \
    >/dev/null 2>"$scratch/module.log" || { cat "$scratch/module.log"; echo "the installed module does not load"; status=1; }
fi

desktop-file-validate "$scratch/usr/share/applications/org.quorvane.Quorvane.desktop" || status=1
appstreamcli validate --no-net "$scratch/usr/share/metainfo/org.quorvane.Quorvane.metainfo.xml" || status=1

# The menu entry opens tests, and the software-centre description says so,
# with the type the file-type package defines.
type=application/x-quorvane-test
desktop="$scratch/usr/share/applications/org.quorvane.Quorvane.desktop"
grep -qx "MimeType=$type;" "$desktop" || { echo "the menu entry does not open $type"; status=1; }
grep -q "^Exec=quorvane %f$" "$desktop" || { echo "the menu entry's Exec takes no file"; status=1; }
grep -q "<mediatype>$type</mediatype>" "$scratch/usr/share/metainfo/org.quorvane.Quorvane.metainfo.xml" ||
  { echo "the metainfo does not provide $type"; status=1; }

# The file type compiles into a MIME database that finds tests both by name
# and by their first bytes. update-mime-database reports a broken file but
# still succeeds, so its output is read instead.
mime="$scratch/usr/share/mime"
XDG_DATA_DIRS="$scratch/usr/share" update-mime-database "$mime" >"$scratch/mime.log" 2>&1 || true
grep -qx "$type" "$mime/types" 2>/dev/null || { cat "$scratch/mime.log"; echo "$type is not in the MIME database"; status=1; }
grep -qx "50:$type:\*.tst" "$mime/globs2" 2>/dev/null || { echo "*.tst does not name $type"; status=1; }
grep -aq 'Info=(' "$mime/magic" 2>/dev/null || { echo "no magic for $type"; status=1; }

# The manual pages are compressed without a name or time stamp (gzip -n: the
# header's flags and time are zero) and format without warnings.
for page in usr/share/man/man1/quorvane.1.gz usr/share/man/ru/man1/quorvane.1.gz \
            usr/share/doc/quorvane/changelog.Debian.gz; do
  [ -s "$scratch/$page" ] || continue
  header="$(od -An -tx1 -j3 -N5 "$scratch/$page" | tr -d ' \n')"
  [ "$header" = 0000000000 ] || { echo "$page carries a name or time stamp: gzip -9n"; status=1; }
done
for page in usr/share/man/man1/quorvane.1.gz usr/share/man/ru/man1/quorvane.1.gz; do
  [ -s "$scratch/$page" ] || continue
  warnings="$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$scratch/$page" 2>&1 >/dev/null)"
  [ -z "$warnings" ] || { echo "$page: $warnings"; status=1; }
  LC_ALL=C.UTF-8 MANWIDTH=80 man -E UTF-8 -l "$scratch/$page" 2>/dev/null | grep -q -- '--check' ||
    { echo "$page does not describe --check"; status=1; }
done

# The changelog parses, and the copyright file is machine-readable.
if [ -s "$scratch/usr/share/doc/quorvane/changelog.Debian.gz" ]; then
  gzip -dc "$scratch/usr/share/doc/quorvane/changelog.Debian.gz" >"$scratch/changelog"
  dpkg-parsechangelog -l "$scratch/changelog" -S Version >/dev/null || { echo "the changelog does not parse"; status=1; }
fi
head -n 1 "$scratch/usr/share/doc/quorvane/copyright" 2>/dev/null |
  grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  { echo "the copyright file is not machine-readable"; status=1; }

# The installed program finds its help in the installed data folder.
grep -q "Как составить тест" "$scratch/usr/share/quorvane/testhelp.hlp" || { echo "help text wrong"; status=1; }

if [ "$status" -eq 0 ]; then echo "install layout: 1 passed, 0 failed"; fi
exit "$status"
