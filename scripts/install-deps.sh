#!/usr/bin/env bash
# Installs, from Debian's packages, whatever building, testing, fuzzing,
# benchmarking and screenshotting the program needs. Safe to run again:
# packages that are already there are skipped and apt is not touched.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev libfontconfig-dev qt6-translations-l10n
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  clang libclang-rt-dev clang-format
  # The results journal on a PostgreSQL server: the client library, and the
  # server its tests start for themselves.
  libpq-dev postgresql postgresql-common
  xvfb xauth x11-apps x11-utils xdotool imagemagick
  at-spi2-core python3-pyatspi gir1.2-atspi-2.0 dbus-x11
  fonts-liberation2 fonts-dejavu-core
  desktop-file-utils appstream shared-mime-info man-db dpkg-dev file
  # Handing tests out: the zip library, the XML parser the package's manifest is
  # read back with, the WebAssembly compiler for the page's player, and the
  # browser, its driver and PDF reader the page is tested with.
  libzip-dev libxml2-dev libssl-dev emscripten chromium chromium-driver python3-selenium poppler-utils
  libsqlite3-dev qt6-charts-dev libqt6opengl6-dev
  # The results journal's spreadsheet export.
  libxlsxwriter-dev
  # Serving a test to a class: the HTTP server, JSON, and the address's QR code.
  libmicrohttpd-dev nlohmann-json3-dev libqrencode-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

# The browser tests' npm packages need npm; Debian's own is installed only
# where there is none, as it cannot stand beside a Node.js from elsewhere.
if ! command -v npm >/dev/null; then missing+=(npm); fi

if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The browser tests' SCORM runtime and accessibility checker, at the versions
# tests/web/package-lock.json pins.
web_tests="$(dirname "$0")/../tests/web"
if ! cmp -s "$web_tests/package-lock.json" "$web_tests/node_modules/.quorvane-lock.json"; then
  (cd "$web_tests" && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error &&
    cp package-lock.json node_modules/.quorvane-lock.json)
fi
