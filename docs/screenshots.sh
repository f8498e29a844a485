#!/usr/bin/env bash
# Makes the screenshots of the administrators' guide (docs/ADMIN.md).
#
#   docs/screenshots.sh [PROGRAM_FOLDER]
#
# PROGRAM_FOLDER is a built program folder holding vexla-admin, vexla-sampledb
# and bin/Lang.ini (default: build/program). The script copies the program to
# a scratch folder, makes a fresh demo database there, starts the program on a
# private virtual screen (Xvfb), drives it with the keyboard (xdotool) and
# saves one PNG per window (ImageMagick) in docs/images/. Window titles and
# access keys are read from the copied Lang.ini, so an English program folder
# gives English pictures (set VEXLA_SHOTS_OUT to keep them apart).
#
# Settings (environment):
#   VEXLA_SHOTS_OUT      where the PNGs go (default: docs/images beside this script)
#   VEXLA_SHOTS_WORK     scratch folder (default: /tmp/vexla-screenshots); emptied
#                        at the start, removed at the end
#   VEXLA_SHOTS_DISPLAY  first X display number to try (default: 77)
#   VEXLA_SHOTS_TIMEOUT  seconds to wait for a window or a file (default: 20)
#   VEXLA_SHOTS_KEEP=1   keep the scratch folder (program.log, Logg.txt, files)
#
# Every run starts from nothing and writes the same pictures: same demo data
# (fixed seed), same paths, C.UTF-8 regional settings. Only the interval
# dialog shows today's date, as the program proposes it.
set -euo pipefail

DOCS=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ROOT=$(dirname "$DOCS")
SOURCE=$(cd "${1:-$ROOT/build/program}" 2>/dev/null && pwd) || {
  echo "screenshots: no program folder ${1:-$ROOT/build/program}; build first" >&2
  exit 1
}
OUT=${VEXLA_SHOTS_OUT:-$DOCS/images}
WORK=${VEXLA_SHOTS_WORK:-/tmp/vexla-screenshots}
FIRST_DISPLAY=${VEXLA_SHOTS_DISPLAY:-77}
TIMEOUT=${VEXLA_SHOTS_TIMEOUT:-20}
MARKER=.vexla-screenshots

# The scratch folder mirrors an installation: the program folder and the
# database folder that the guide's examples use.
PROGRAM=$WORK/opt/vexla-admin
DATA=$WORK/srv/vexla
DATABASE=$DATA/bok.db

XVFB_PID=
APP_PID=
WINDOW_SYSTEM=

log() { printf 'screenshots: %s\n' "$*" >&2; }
die() {
  log "$*"
  if [ -n "$APP_PID" ] && [ -s "$WORK/program.log" ]; then
    log "program output:"
    sed 's/^/  /' "$WORK/program.log" >&2
  fi
  exit 1
}

stop() {  # stop PID: TERM, then KILL if it lingers
  local pid=$1 n
  kill "$pid" 2>/dev/null || return 0
  for n in $(seq 1 20); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -9 "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

cleanup() {
  local status=$?
  trap - EXIT INT TERM
  [ -n "$APP_PID" ] && stop "$APP_PID"
  [ -n "$XVFB_PID" ] && stop "$XVFB_PID"
  if [ -z "${VEXLA_SHOTS_KEEP:-}" ] && [ -f "$WORK/$MARKER" ]; then
    rm -rf "$WORK"
  fi
  rm -f "$OUT"/.*.png.part 2>/dev/null || true
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

for tool in Xvfb xdotool import convert iconv timeout; do
  command -v "$tool" >/dev/null || die "$tool is missing (apt-get install xvfb xdotool imagemagick)"
done
for file in vexla-admin vexla-sampledb bin/Lang.ini; do
  [ -e "$SOURCE/$file" ] || die "$SOURCE/$file is missing; build the program first"
done

# --- Scratch folder, program copy, demo database, Vexla.ini ------------------

if [ -e "$WORK" ]; then
  [ -f "$WORK/$MARKER" ] || die "$WORK exists and was not made by this script; set VEXLA_SHOTS_WORK"
  rm -rf "$WORK"
fi
mkdir -p "$PROGRAM/bin" "$DATA" "$WORK/home" "$WORK/runtime"
: > "$WORK/$MARKER"
chmod 700 "$WORK/runtime"
cp "$SOURCE/vexla-admin" "$PROGRAM/"
cp "$SOURCE/bin/Lang.ini" "$PROGRAM/bin/"
"$PROGRAM/vexla-admin" --version >/dev/null 2>&1 || die "$SOURCE/vexla-admin does not run (a build in progress?)"
"$SOURCE/vexla-sampledb" "$DATABASE" --clean >"$WORK/sampledb.log" 2>&1 || die "vexla-sampledb failed: $(cat "$WORK/sampledb.log")"
printf '[System]\r\nDataBas1=%s\r\n' "$DATABASE" > "$PROGRAM/Vexla.ini"
mkdir -p "$OUT"

# --- Language texts -----------------------------------------------------------

# The text of a code as the program shows it: Lang.ini is Windows-1252 with
# CR LF, and a value with blanks at its ends stands in double quotes.
text() {
  iconv -f cp1252 -t utf-8 "$PROGRAM/bin/Lang.ini" | tr -d '\r' |
    sed -n "s/^$1=//p" | head -n 1 | sed 's/^"\(.*\)"$/\1/'
}
# A caption without its access-key marker: "Byt &databas..." -> "Byt databas...".
caption() { text "$1" | sed 's/&&/\x01/g; s/&//g; s/\x01/\&/g'; }
# The access key of a caption, for alt+KEY: "Byt &databas..." -> "d".
access_key() {
  local key
  key=$(text "$1" | sed 's/&&//g' | sed -n 's/^[^&]*&\(.\).*$/\1/p' | tr '[:upper:]' '[:lower:]')
  [ -n "$key" ] || die "the caption of $1 has no access key"
  printf '%s' "$key"
}
# A window title as a regular expression for xdotool search, matched whole.
title_pattern() { printf '^%s$' "$(printf '%s' "$1" | sed 's/[][\\.^$*+?(){}|]/\\&/g')"; }

TITLE_MAIN=$(text R1825)
TITLE_LOGIN=$(text R1885)
TITLE_EXPORT=$(text R1793)
TITLE_MAPPING="$(text R1861) $(text R1807)"
TITLE_OPEN_FILE=$(text R1798)
TITLE_PATH=$(text R1482)
TITLE_INTERVAL=$(text R1853)
KEY_IMPORT_CUSTOMERS=$(access_key R1829)
KEY_EXPORT_CUSTOMERS=$(access_key R1827)
KEY_CHANGE_DATABASE=$(access_key R1837)
KEY_COMPACT=$(access_key R1841)
KEY_COPY=$(access_key R1096)
KEY_CHOOSE_FILE=$(access_key R1866)
KEY_AUTO_LINK=$(access_key R1862)
for t in "$TITLE_MAIN" "$TITLE_LOGIN" "$TITLE_EXPORT" "$TITLE_OPEN_FILE" "$TITLE_PATH" "$TITLE_INTERVAL"; do
  [ -n "$t" ] || die "a window title is missing from $PROGRAM/bin/Lang.ini"
done

# --- Virtual screen -----------------------------------------------------------

start_screen() {  # start_screen [GEOMETRY]
  local n geometry=${1:-1280x900}
  for n in $(seq "$FIRST_DISPLAY" $((FIRST_DISPLAY + 20))); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 "${geometry}x24" -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 1 50); do
      if ! kill -0 "$XVFB_PID" 2>/dev/null; then
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=
        break  # someone else took the number meanwhile: try the next one
      fi
      if DISPLAY=":$n" xdotool getdisplaygeometry >/dev/null 2>&1; then
        WINDOW_SYSTEM=":$n"
        return 0
      fi
      sleep 0.1
    done
    [ -n "$XVFB_PID" ] && stop "$XVFB_PID" && XVFB_PID=
  done
  die "could not start Xvfb on displays :$FIRST_DISPLAY to :$((FIRST_DISPLAY + 20))"
}

start_screen
export DISPLAY=$WINDOW_SYSTEM
log "virtual screen $DISPLAY, scratch folder $WORK"

# --- Driving the program ------------------------------------------------------

alive() { kill -0 "$APP_PID" 2>/dev/null; }

# wait_window TITLE [ID...]: the id of a visible window titled TITLE that is
# none of the IDs given (a message box has the main window's title).
wait_window() {
  local pattern ids id known deadline=$((SECONDS + TIMEOUT))
  pattern=$(title_pattern "$1")
  shift
  while [ "$SECONDS" -lt "$deadline" ]; do
    ids=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null || true)
    for id in $ids; do
      known=
      for k in "$@"; do [ "$id" = "$k" ] && known=1; done
      [ -z "$known" ] && { printf '%s' "$id"; return 0; }
    done
    alive || die "vexla-admin ended while waiting for the window '$pattern'"
    sleep 0.2
  done
  die "no window '$pattern' after ${TIMEOUT}s"
}

# wait_gone ID: until the window is no longer shown.
wait_gone() {
  local deadline=$((SECONDS + TIMEOUT))
  while [ "$SECONDS" -lt "$deadline" ]; do
    xdotool search --onlyvisible --name '.*' 2>/dev/null | grep -qx "$1" || return 0
    alive || die "vexla-admin ended while a window was open"
    sleep 0.2
  done
  die "window $1 still open after ${TIMEOUT}s"
}

# wait_file PATH [absent]: until the file exists (or is gone).
wait_file() {
  local deadline=$((SECONDS + TIMEOUT))
  while [ "$SECONDS" -lt "$deadline" ]; do
    if [ "${2:-}" = absent ]; then [ ! -e "$1" ] && return 0; else [ -e "$1" ] && return 0; fi
    alive || die "vexla-admin ended while waiting for $1"
    sleep 0.2
  done
  die "${2:+no longer }waiting for $1 timed out after ${TIMEOUT}s"
}

# There is no window manager: a window gets the keyboard only when focused.
focus() {
  xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"
  sleep 0.3
}
press() {  # press ID KEY...
  local id=$1
  shift
  focus "$id"
  xdotool key --clearmodifiers "$@"
}
type_into() {  # type_into ID TEXT
  focus "$1"
  xdotool type --clearmodifiers --delay 15 "$2"
}

# shot ID NAME: the window's picture as OUT/NAME.png, without time stamps,
# so that an unchanged picture gives an unchanged file.
shot() {
  local id=$1 name=$2 part="$OUT/.$2.png.part"
  sleep 0.8  # let the window finish painting
  timeout 30 import -window "$id" miff:- 2>>"$WORK/import.log" |
    convert - -strip -define png:exclude-chunks=date,time "png:$part" ||
    die "could not capture the window for $name.png"
  mv -f "$part" "$OUT/$name.png"
  log "$OUT/$name.png ($(identify -format '%wx%h' "$OUT/$name.png" 2>/dev/null || echo '?'))"
}

# log_in: fills the login dialog with the demo administrator and confirms.
log_in() {
  local login
  login=$(wait_window "$TITLE_LOGIN")
  type_into "$login" admin
  xdotool key Tab
  xdotool type --delay 15 vexla
  if [ "${1:-}" = shot ]; then
    xdotool key Tab  # focus on OK: no blinking text cursor in the picture
    shot "$login" login
  fi
  press "$login" Return
  wait_gone "$login"
}

start_program() {  # start_program [SCALE]
  (
    cd "$WORK"
    exec env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY DISPLAY="$DISPLAY" HOME="$WORK/home" \
      XDG_RUNTIME_DIR="$WORK/runtime" XDG_CONFIG_HOME="$WORK/home/.config" LANG=C.UTF-8 LC_ALL=C.UTF-8 \
      QT_SCALE_FACTOR="${1:-1}" "$PROGRAM/vexla-admin"
  ) >"$WORK/program.log" 2>&1 &
  APP_PID=$!
}

# compact MAIN: runs the compaction from the window and waits for its end.
compact() {
  local backup n=0
  # The backups of a day count up; the job's progress window comes and goes.
  for backup in "$DATA"/Vexla"$(date +%Y-%m-%d)"*.db; do [ -e "$backup" ] && n=$((n + 1)); done
  press "$1" "alt+$KEY_COMPACT"
  wait_file "$DATA/Vexla$(date +%Y-%m-%d)$([ "$n" -gt 0 ] && printf -- '-%d' $((n + 1))).db"
  wait_file "$DATA/Vexlaol.db" absent
  wait_file "$DATABASE.lock" absent
}

start_program

# 1. The main window as it opens.
MAIN=$(wait_window "$TITLE_MAIN")
shot "$MAIN" main

# 2. Export of the customer register: the login, then the save dialog with
#    the proposed KundReg.skv in the program folder.
press "$MAIN" "alt+$KEY_EXPORT_CUSTOMERS"
log_in shot
SAVE=$(wait_window "$TITLE_EXPORT")
press "$SAVE" Return
wait_file "$PROGRAM/KundReg.skv"
wait_gone "$SAVE"
shot "$MAIN" export

# mapping_shot MAIN NAME: the mapping dialog with the customer file the
# export wrote, linked by Autokoppla, its preview below the links.
mapping_shot() {
  local mapping open
  press "$1" "alt+$KEY_IMPORT_CUSTOMERS"
  log_in
  mapping=$(wait_window "$TITLE_MAPPING")
  press "$mapping" "alt+$KEY_CHOOSE_FILE"
  open=$(wait_window "$TITLE_OPEN_FILE")
  type_into "$open" "$PROGRAM/KundReg.skv"
  xdotool key Return
  wait_gone "$open"
  press "$mapping" "alt+$KEY_AUTO_LINK"
  shot "$mapping" "$2"
  press "$mapping" Escape
  wait_gone "$mapping"
}

# 3. Import: the mapping dialog with the file just written, linked by Autokoppla.
mapping_shot "$MAIN" mapping

# 4. Change of database: the path dialog with the path in use.
press "$MAIN" "alt+$KEY_CHANGE_DATABASE"
PATHDLG=$(wait_window "$TITLE_PATH")
xdotool key Tab  # focus off the text box: no blinking text cursor in the picture
shot "$PATHDLG" path
press "$PATHDLG" Escape
wait_gone "$PATHDLG"

# 5. Copy: the question whether to limit the copy, then the interval dialog.
press "$MAIN" "alt+$KEY_COPY"
QUESTION=$(wait_window "$TITLE_MAIN" "$MAIN")
shot "$QUESTION" copy-question
press "$QUESTION" Return  # the default answer: yes, limit it
wait_gone "$QUESTION"
INTERVAL=$(wait_window "$TITLE_INTERVAL")
focus "$INTERVAL"
xdotool key shift+Tab  # focus off the date picker: no blinking text cursor in the picture
shot "$INTERVAL" interval
press "$INTERVAL" Escape  # Avbryt: "Kopieringen avbröts", nothing copied
wait_gone "$INTERVAL"

# 6. Compaction: the dated backup appears beside the database, the work copy
#    comes and goes, and the information line says so.
#    The job holds the database (its .lock file beside it) from its first
#    step to its last; the information line is written just before the end.
compact "$MAIN"
shot "$MAIN" compacted
stop "$APP_PID"
APP_PID=

# 7. The window with a long result on a 1024x768 screen, and at a scale of
#    200 % on a screen of twice that: every caption whole, the result
#    wrapped in its own area. Then the mapping dialog on a 1024x768 screen
#    and at 200 % on 1920x1080: what does not fit scrolls, the buttons stay.
for fit in "1024x768 1 fit-1024x768" "2048x1536 2 fit-200" "1024x768 1 mapping-1024x768" "1920x1080 2 mapping-200"; do
  set -- $fit
  stop "$XVFB_PID"
  XVFB_PID=
  start_screen "$1"
  export DISPLAY=$WINDOW_SYSTEM
  start_program "$2"
  MAIN=$(wait_window "$TITLE_MAIN")
  case $3 in
  mapping-*) mapping_shot "$MAIN" "$3" ;;
  *)
    compact "$MAIN"
    shot "$MAIN" "$3"
    ;;
  esac
  stop "$APP_PID"
  APP_PID=
done
log "done: 12 pictures in $OUT"
