#!/usr/bin/env bash
# Vexla Admin set-up on Debian 12.
#   ./setup.sh run [options]   install what the build needs, build, make a demo
#                              database and start the program on it
#   ./setup.sh test            install what the build needs, build and run every test
#   ./setup.sh deps            only install the Debian packages
#   ./setup.sh build           only configure and build
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$PWD
BUILD=${VEXLA_BUILD_DIR:-$ROOT/build}
LANG_FILE=${VEXLA_LANG:-se}

PACKAGES=(build-essential cmake ninja-build pkg-config qt6-base-dev libsqlite3-dev sqlite3
          python3  # the round trip of the spreadsheet files through another program's CSV rules
          libgtest-dev xvfb xauth imagemagick
          qt6-translations-l10n  # the toolkit's own texts in Swedish
          dpkg-dev file desktop-file-utils  # the .deb: dpkg-shlibdeps, file, the desktop entry's check
          clang libclang-rt-14-dev  # the sanitizer build and the fuzz targets: clang's packages only
                                    # recommend the one with the sanitizer runtimes and libFuzzer
          clang-format  # the test that the tree keeps its format
          universal-ctags)  # the test that every function fits on a screen

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

deps() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    as_root apt-get update -qq
    DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

build() {
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DVEXLA_LANG="$LANG_FILE" >/dev/null
  cmake --build "$BUILD" -j"$(nproc)"
}

demo_database() {
  local db="$BUILD/demo/bok.db"
  if [ ! -f "$db" ] && [ -x "$BUILD/program/vexla-sampledb" ]; then
    mkdir -p "$BUILD/demo"
    "$BUILD/program/vexla-sampledb" "$db" >/dev/null
  fi
  # The program reads its database path from Vexla.ini in its own folder.
  if [ -f "$db" ] && [ ! -f "$BUILD/program/Vexla.ini" ]; then
    printf '[System]\r\nDataBas1=%s\r\n' "$db" > "$BUILD/program/Vexla.ini"
  fi
}

run() {
  deps; build; demo_database
  local exe="$BUILD/program/vexla-admin"
  if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec "$exe" "$@"
  fi
  # No display here: show the window on a virtual screen and keep a picture of it.
  echo "No display found: starting under xvfb-run; the screenshot goes to $BUILD/screenshot.png"
  xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    "$1" "${@:3}" & pid=$!; sleep 3; import -window root "$2"; kill $pid' _ "$exe" "$BUILD/screenshot.png" "$@"
}

# Scratch folders on tmpfs where there is one: the tests make hundreds of
# small databases that SQLite syncs at every commit, and a disk's flushes
# would decide the suite's time rather than the code.
scratch() { if [ -z "${TMPDIR:-}" ] && [ -w /dev/shm ]; then echo /dev/shm; else echo "${TMPDIR:-/tmp}"; fi; }

tests() {
  build
  TMPDIR=$(scratch) QT_QPA_PLATFORM=offscreen ctest --test-dir "$BUILD" --output-on-failure -j"$(nproc)"
}

case "${1:-}" in
  run) shift; run "$@" ;;
  test) deps; tests ;;
  deps) deps ;;
  build) deps; build ;;
  *) sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'; exit 1 ;;
esac
