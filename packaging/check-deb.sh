#!/usr/bin/env bash
# Makes the Debian package from a built tree, checks what it holds and what
# lintian says of it, installs it on this machine over the plain Vexla.ini of
# an older installation and checks the installed program, its settings, units
# and log rotation; then installs the other language's package over it, and
# finally removes and purges it, checking what each step leaves.
#
#   packaging/check-deb.sh [BUILD_DIR] [--keep]
#
# BUILD_DIR defaults to build/ and must have been configured and built (by
# ./setup.sh build or test); what is out of date is rebuilt. --keep leaves the
# package of the build's own language installed instead of removing it.
#
# Runs as root (dpkg -i). It refuses to run when a Vexla Admin package or the
# folder /opt/vexla-admin or /etc/vexla-admin is already there, so that a real
# installation and its activity log are never touched. It installs lintian
# (and logrotate, to run the package's rule) when they are missing.
set -euo pipefail
SELF=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")
ROOT=$(cd "$(dirname "$SELF")/.." && pwd)
BUILD=$ROOT/build
KEEP=0
for arg in "$@"; do
  case "$arg" in
    --keep) KEEP=1 ;;
    -*) sed -n '6p' "$SELF" | sed 's/^# \{0,1\}//'; exit 2 ;;
    *) BUILD=$(cd "$arg" && pwd) ;;
  esac
done
if [ "$(id -u)" != 0 ]; then
  exec sudo -- "$SELF" "$@"
fi
cd "$ROOT"

FOLDER=/opt/vexla-admin
LOGS=/var/log/vexla-admin
LOG=$LOGS/Logg.txt
SETTINGS=/etc/vexla-admin/Vexla.ini
UNITS=/lib/systemd/system
export DEBIAN_FRONTEND=noninteractive

step() { printf '\n== %s\n' "$*"; }
fail() { printf 'check-deb: FAILED: %s\n' "$*" >&2; exit 1; }
check() {  # check DESCRIPTION COMMAND...
  if "${@:2}"; then printf '  ok: %s\n' "$1"; else fail "$1"; fi
}

[ -f "$BUILD/CMakeCache.txt" ] || fail "$BUILD is not a configured build tree (run ./setup.sh build)"
cache() { sed -n "s/^$1:[A-Z]*=//p" "$BUILD/CMakeCache.txt"; }
LANG_BUILT=$(cache VEXLA_LANG)
case "$LANG_BUILT" in
  se) LANG_OTHER=en ;;
  en) LANG_OTHER=se ;;
  *) fail "no VEXLA_LANG in $BUILD/CMakeCache.txt" ;;
esac
doc_of() { echo "/usr/share/doc/vexla-admin-$1"; }
DOC=$(doc_of "$LANG_BUILT")

# "ii" when installed, "rc" when only its configuration is left, and so on;
# empty when dpkg knows nothing of it (or only that it is not installed).
installed_state() {
  local state
  state=$(dpkg-query -W -f='${db:Status-Abbrev}' "$1" 2>/dev/null | tr -d ' ') || true
  case "$state" in un|pn) state= ;; esac
  echo "$state"
}
for p in vexla-admin-se vexla-admin-en; do
  [ -z "$(installed_state "$p")" ] || fail "$p is already on this machine ($(installed_state "$p")); remove it first"
done
for path in "$FOLDER" "${SETTINGS%/*}" "$LOGS"; do
  [ ! -e "$path" ] || fail "$path already exists; this check installs and purges a package there"
done
# Everything a package made that a purge must take away again (the group
# vexla excepted): the same before the installation and after the purge.
leftovers() {
  find /etc /opt /var/log "$UNITS" /usr/bin /usr/share/doc /usr/share/man /usr/share/applications /usr/share/icons/hicolor \
       /usr/share/lintian/overrides /var/lib/dpkg/info -xdev \( -iname '*vexla*' -o -name 'Logg.txt*' \) 2>/dev/null | sort
}
LEFTOVERS_BEFORE=$(leftovers)
GROUP_EXISTED=0
getent group vexla >/dev/null && GROUP_EXISTED=1
USER_EXISTED=0
getent passwd vexla >/dev/null && USER_EXISTED=1

WORK=$(mktemp -d)
RESTORE_LANG=0
cleanup() {
  local status=$?
  set +e
  if [ "$RESTORE_LANG" = 1 ]; then
    # The build tree goes back to its own language whatever happened.
    cmake -S "$ROOT" -B "$BUILD" -DVEXLA_LANG="$LANG_BUILT" >/dev/null && cmake --build "$BUILD" --target lang_ini >/dev/null
  fi
  if [ "$KEEP" = 0 ] || [ "$status" != 0 ]; then
    for p in vexla-admin-se vexla-admin-en; do
      [ -z "$(installed_state "$p")" ] || dpkg --purge "$p" >/dev/null
    done
    [ "$USER_EXISTED" = 1 ] || ! getent passwd vexla >/dev/null || deluser --system --quiet vexla
    [ "$GROUP_EXISTED" = 1 ] || ! getent group vexla >/dev/null || delgroup --system --quiet vexla
    # What this check made itself before installing, should a step have failed.
    rm -rf "$FOLDER" "${SETTINGS%/*}" "$LOGS"
  fi
  rm -rf "$WORK"
  exit "$status"
}
trap cleanup EXIT

# cpack installs what is built and builds nothing itself.
make_package() {  # make_package LANG -> path of the .deb on stdout
  cmake --build "$BUILD" -j"$(nproc)" >&2
  rm -f "$BUILD"/packages/vexla-admin-"$1"_*.deb
  (cd "$BUILD" && cpack -G DEB) >&2
  local deb
  deb=$(ls "$BUILD"/packages/vexla-admin-"$1"_*.deb)
  [ -f "$deb" ] || fail "cpack made no vexla-admin-$1 package"
  echo "$deb"
}

install_package() {  # install_package DEB
  # Standard input from nowhere: a conffile question would fail the check
  # rather than wait for an answer.
  if ! dpkg -i "$1" </dev/null; then
    # Unpacked but not configured: dependencies are missing, and apt fetches
    # them. Not unpacked at all: dpkg refused it, and apt would only hide why.
    [ -n "$(installed_state "$(dpkg-deb -f "$1" Package)")" ] || fail "dpkg refused $(basename "$1")"
    echo "Fetching the missing dependencies"
    apt-get update -qq
    apt-get install -f -y -qq --no-install-recommends
  fi
}

help_text() { env -u DISPLAY -u WAYLAND_DISPLAY "$1" --help; }

step "Building the $LANG_BUILT package in $BUILD"
DEB=$(make_package "$LANG_BUILT")
echo "$DEB"
dpkg -I "$DEB"
dpkg -c "$DEB"

step "What the package holds"
dpkg -c "$DEB" | awk '{ print $6 }' | sed 's|^\./|/|; s|/$||' | sort > "$WORK/contents"
for path in "$FOLDER/vexla-admin" "$FOLDER/bin/Lang.ini" "$FOLDER/vexla-sampledb" "$FOLDER/vexla-holddb" \
            "$FOLDER/vexla-admin.png" /usr/bin/vexla-admin /usr/share/applications/vexla-admin.desktop \
            /usr/share/icons/hicolor/64x64/apps/vexla-admin.png /usr/bin/vexla-sampledb \
            /usr/share/man/man1/vexla-admin.1.gz "$FOLDER/Vexla.ini" "$SETTINGS" /etc/logrotate.d/vexla-admin \
            "$UNITS/vexla-compact.service" "$UNITS/vexla-compact.timer" \
            "$DOC/copyright" "$DOC/changelog.Debian.gz" "$DOC/ADMIN.md.gz"; do
  check "$path" grep -qx "$path" "$WORK/contents"
done
check "$FOLDER/Vexla.ini is a link to $SETTINGS" \
  bash -c "dpkg -c '$DEB' | grep -qE '^l.* \\./${FOLDER#/}/Vexla\\.ini -> $SETTINGS\$'"
# What Debian expects of a package, for either language's: a manual page for
# every command on PATH (Swedish ones in the Swedish package only), the
# conffiles, a machine-readable copyright file and a changelog of this
# version. lintian looks at both packages at once, later: one start of it
# costs as much as a package.
debian_habits() {  # debian_habits DEB LANG
  local deb=$1 lang=$2 doc command unpacked=$WORK/unpacked-$2
  doc=$(doc_of "$lang")
  dpkg -c "$deb" | awk '{ print $6 }' | sed 's|^\./|/|; s|/$||' | sort > "$WORK/contents-$lang"
  while read -r command; do
    check "man page of $command" grep -qx "/usr/share/man/man1/$command.1.gz" "$WORK/contents-$lang"
    if [ "$lang" = se ]; then
      check "Swedish man page of $command" grep -qx "/usr/share/man/sv/man1/$command.1.gz" "$WORK/contents-$lang"
    fi
  done < <(sed -n 's|^/usr/bin/||p' "$WORK/contents-$lang")
  if [ "$lang" = en ]; then
    check "no Swedish man pages in the English package" bash -c "! grep -q '^/usr/share/man/sv' '$WORK/contents-$lang'"
  fi
  mkdir -p "$unpacked"
  dpkg-deb -e "$deb" "$unpacked/DEBIAN"
  check "the settings and the logrotate rule are conffiles" \
    test "$(sort "$unpacked/DEBIAN/conffiles" | tr '\n' ' ')" = "/etc/logrotate.d/vexla-admin $SETTINGS "
  dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$unpacked" "./${doc#/}" "./${SETTINGS#/}" "./${UNITS#/}"
  check "$doc/copyright is in the machine-readable format" \
    bash -c "head -n1 '$unpacked$doc/copyright' | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' &&
             grep -q '^Files: \\*' '$unpacked$doc/copyright' && grep -q '^License: ' '$unpacked$doc/copyright'"
  gzip -dc "$unpacked$doc/changelog.Debian.gz" > "$unpacked/changelog"
  check "the changelog names this package and version" \
    test "$(dpkg-parsechangelog -l "$unpacked/changelog" -S Source) $(dpkg-parsechangelog -l "$unpacked/changelog" -S Version)" = \
         "$(dpkg-deb -f "$deb" Package) $(dpkg-deb -f "$deb" Version)"
}
needs() {  # needs COMMAND PACKAGE: installs PACKAGE when COMMAND is missing
  command -v "$1" >/dev/null && return
  echo "Installing $2"
  apt-get install -y -qq --no-install-recommends "$2" >/dev/null 2>&1 ||
    { apt-get update -qq && apt-get install -y -qq --no-install-recommends "$2" >/dev/null; }
}
lint() {  # lint DEB...: what lintian says, pedantic and informational tags too, in $WORK/lintian; fails on an error
  local start=$SECONDS status=0
  lintian --fail-on error --pedantic --display-info "$@" >"$WORK/lintian" 2>&1 || status=$?
  cat "$WORK/lintian"
  echo "  (lintian took $((SECONDS - start)) s)"
  return "$status"
}
needs lintian lintian
needs logrotate logrotate
debian_habits "$DEB" "$LANG_BUILT"
UNPACKED=$WORK/unpacked-$LANG_BUILT
check "the settings template sets no key (every one commented out)" \
  bash -c "! grep -vE '^[[:space:]]*(;|\\[System\\]|$)' '$UNPACKED$SETTINGS'"
# The service names no database: the unattended job takes DataBas1 of Vexla.ini.
EXEC_START=$(sed -n 's/^ExecStart=//p' "$UNPACKED$UNITS/vexla-compact.service")
check "the service runs the unattended compaction without /d" test "$EXEC_START" = "$FOLDER/vexla-admin /a k"
EXEC_CONDITION=$(sed -n 's/^ExecCondition=//p' "$UNPACKED$UNITS/vexla-compact.service")
check "the service is skipped without a database in Vexla.ini" test "$EXEC_CONDITION" = "$FOLDER/vexla-admin --has-database"
service_sets() { grep -qx "$1" "$UNPACKED$UNITS/vexla-compact.service"; }
for line in User=vexla ProtectSystem=strict NoNewPrivileges=yes PrivateTmp=yes "ReadWritePaths=$LOGS"; do
  check "the service sets $line" service_sets "$line"
done

HAVE_TRANSFER=0
if [ -x "$BUILD/program/vexla-transfer" ]; then
  HAVE_TRANSFER=1
  check "$FOLDER/vexla-transfer" grep -qx "$FOLDER/vexla-transfer" "$WORK/contents"
  check "/usr/bin/vexla-transfer" grep -qx /usr/bin/vexla-transfer "$WORK/contents"
  check "/usr/share/man/man1/vexla-transfer.1.gz" grep -qx /usr/share/man/man1/vexla-transfer.1.gz "$WORK/contents"
fi
check "the activity log is not in the package (it outlives a removal)" \
  bash -c "! grep -q Logg.txt '$WORK/contents'"
dpkg-deb -f "$DEB" Depends | tr ',' '\n' | sed 's/(.*//; s/[[:space:]]//g' > "$WORK/depends"
for lib in libqt6widgets6 libqt6gui6 libqt6core6 libsqlite3-0 libc6 libstdc++6 adduser; do
  check "depends on $lib" grep -qxF "$lib" "$WORK/depends"
done


step "An older installation's Vexla.ini in the program folder"
# Written as a Linux editor writes it: UTF-8 with a byte-order mark, LF line
# ends, a letter beyond ASCII in the database's path. The installation must
# move it into the conffile, and the unattended job must find the database.
SETTINGS_DB=$WORK/bokn\xc3\xa5/bok.db
SETTINGS_DB=$(printf "$SETTINGS_DB")
mkdir -p "$FOLDER" "${SETTINGS_DB%/*}"
printf '\xef\xbb\xbf[System]\nDataBas1=%s\nBackupKeep=5\n' "$SETTINGS_DB" > "$FOLDER/Vexla.ini"
cp "$FOLDER/Vexla.ini" "$WORK/settings-old"
echo "$FOLDER/Vexla.ini names $SETTINGS_DB"
# Its log, and a rotation of it, in the program folder where it used to be.
printf 'an older line\r\n' > "$FOLDER/Logg.txt"
printf 'a rotated line\r\n' > "$FOLDER/Logg.txt.1"
cp "$FOLDER/Logg.txt" "$WORK/Logg-old.txt"

step "Installing $(basename "$DEB")"
install_package "$DEB"
check "$FOLDER/Vexla.ini is a link to $SETTINGS" test "$(readlink "$FOLDER/Vexla.ini")" = "$SETTINGS"
check "the older Vexla.ini became $SETTINGS" cmp -s "$SETTINGS" "$WORK/settings-old"
check "nothing set aside is left over" test ! -e "$SETTINGS.from-opt"
check "the older Logg.txt moved to $LOG" cmp -s "$LOG" "$WORK/Logg-old.txt"
check "and its rotation with it" test -f "$LOGS/Logg.txt.1" -a ! -e "$FOLDER/Logg.txt.1"
check "$FOLDER/Logg.txt is a link to $LOG" test "$(readlink "$FOLDER/Logg.txt")" = "$LOG"
check "vexla-admin --has-database finds DataBas1 of $SETTINGS" vexla-admin --has-database
HAVE_SYSTEMCTL=0
command -v systemctl >/dev/null && HAVE_SYSTEMCTL=1
if [ "$HAVE_SYSTEMCTL" = 1 ]; then
  check "the units are installed disabled" \
    test "$(systemctl is-enabled vexla-compact.timer vexla-compact.service 2>/dev/null | tr '\n' ' ')" = "disabled static "
fi
if systemd-analyze verify --help >/dev/null 2>&1; then
  check "systemd accepts the units" systemd-analyze verify --man=no "$UNITS/vexla-compact.service" "$UNITS/vexla-compact.timer"
fi
# sed -i replaces the link with a plain file; an upgrade makes that file the
# conffile again, keeping the conffile's earlier content beside it.
sed -i 's/^BackupKeep=5$/BackupKeep=6/' "$FOLDER/Vexla.ini"
check "sed -i left a plain $FOLDER/Vexla.ini" test -f "$FOLDER/Vexla.ini" -a ! -L "$FOLDER/Vexla.ini"
cp "$FOLDER/Vexla.ini" "$WORK/settings"
install_package "$DEB"
check "after an upgrade $FOLDER/Vexla.ini is the link again" test "$(readlink "$FOLDER/Vexla.ini")" = "$SETTINGS"
check "and the edited file is $SETTINGS" cmp -s "$SETTINGS" "$WORK/settings"
check "and the conffile's earlier content is $SETTINGS.dpkg-old" cmp -s "$SETTINGS.dpkg-old" "$WORK/settings-old"
VERSION=$(dpkg-deb -f "$DEB" Version)
check "vexla-admin-$LANG_BUILT $VERSION is installed" \
  test "$(installed_state "vexla-admin-$LANG_BUILT") $(dpkg-query -W -f='${Version}' "vexla-admin-$LANG_BUILT")" = "ii $VERSION"
check "vexla-admin on PATH is the package's" test "$(command -v vexla-admin)" = /usr/bin/vexla-admin
check "vexla-admin --version prints ${VERSION%-*}" \
  test "$(vexla-admin --version)" = "vexla-admin ${VERSION%-*}"
check "$FOLDER/bin/Lang.ini is the $LANG_BUILT language file" cmp -s "$FOLDER/bin/Lang.ini" "$ROOT/texts/$LANG_BUILT/Lang.ini"
# The usage text comes from Lang.ini: started through the link on PATH the
# program must still find bin/Lang.ini in its real folder.
help_text "$FOLDER/vexla-admin" > "$WORK/help-$LANG_BUILT"
check "the usage text comes from Lang.ini" test -s "$WORK/help-$LANG_BUILT"
check "the command on PATH finds the program's own Lang.ini" \
  bash -c "diff -q <(env -u DISPLAY -u WAYLAND_DISPLAY vexla-admin --help) '$WORK/help-$LANG_BUILT'"
check "group vexla exists" getent group vexla
check "the system user vexla exists, in group vexla" test "$(id -gn vexla 2>/dev/null)" = vexla
check "$LOG is root:vexla, mode 664" test "$(stat -c '%U:%G %a' "$LOG")" = "root:vexla 664"
check "$FOLDER is not writable by the group" test "$(stat -c '%U:%G %a' "$FOLDER")" = "root:root 755"
if command -v desktop-file-validate >/dev/null; then
  check "the desktop entry validates" desktop-file-validate /usr/share/applications/vexla-admin.desktop
fi
check "vexla-sampledb on PATH is the package's" test "$(command -v vexla-sampledb)" = /usr/bin/vexla-sampledb
# A system whose dpkg leaves out /usr/share/man (slim images) installs no pages.
if grep -qs 'path-exclude=*/usr/share/man' /etc/dpkg/dpkg.cfg.d/*; then
  echo "  (dpkg leaves out /usr/share/man here: the installed manual pages are not checked)"
else
  for page in vexla-admin $([ "$HAVE_TRANSFER" = 1 ] && echo vexla-transfer); do
    if command -v man >/dev/null; then
      check "man finds $page(1)" test "$(man -L C -w "$page")" = "/usr/share/man/man1/$page.1.gz"
      if [ "$LANG_BUILT" = se ]; then
        check "man finds the Swedish $page(1) in a Swedish locale" \
          test "$(man -L sv -w "$page")" = "/usr/share/man/sv/man1/$page.1.gz"
      fi
    else
      check "/usr/share/man/man1/$page.1.gz is installed" test -f "/usr/share/man/man1/$page.1.gz"
    fi
  done
fi
# Every option the help shows is in the manual pages too, Swedish ones included.
MAN_LANGUAGES=.
[ "$LANG_BUILT" = se ] && MAN_LANGUAGES=". sv"
options_of() { grep -oE -- '(--[a-z][a-z-]*|-[a-z]\b|/[ad]\b)' | sort -u; }
documents_options() {  # documents_options PAGE HELP-COMMAND...
  local page missing=0 language
  for language in $MAN_LANGUAGES; do
    page=$(gzip -dc "$BUILD/packaging/man/$language/$1.1.gz")
    page=${page//\\-/-}
    while read -r option; do
      grep -qF -- "$option" <<<"$page" || { echo "    $language/$1(1) lacks $option"; missing=1; }
    done < <("${@:2}" | options_of)
  done
  return "$missing"
}
check "vexla-admin(1) shows every option of vexla-admin --help" documents_options vexla-admin help_text vexla-admin
sampledb_usage() { vexla-sampledb 2>&1 || true; }  # the usage, on a call without a path
check "vexla-sampledb(1) shows every option of its usage" documents_options vexla-sampledb sampledb_usage
check "the desktop entry starts vexla-admin" grep -qx 'Exec=vexla-admin' /usr/share/applications/vexla-admin.desktop

step "Working with the installed program"
# A member of the group vexla who is not root: the activity log must take
# its lines. nobody owns the database folder, as a database's owner would.
DEMO=$WORK/demo
mkdir "$DEMO"
check "vexla-sampledb makes a demo database" "$FOLDER/vexla-sampledb" "$DEMO/bok.db"
chown -R nobody "$DEMO"
chmod 755 "$WORK"
as_vexla_member() { env -u DISPLAY -u WAYLAND_DISPLAY HOME="$DEMO" setpriv --reuid=nobody --regid=vexla --clear-groups "$@"; }
check "vexla-sampledb makes the database Vexla.ini names" "$FOLDER/vexla-sampledb" "$SETTINGS_DB"
chown -R nobody "${SETTINGS_DB%/*}"
check "a vexla member compacts the database of the UTF-8 Vexla.ini (vexla-admin /a k)" as_vexla_member vexla-admin /a k
check "the compaction kept a dated backup beside it" test -f "${SETTINGS_DB%/*}/Vexla$(date +%F).db"
# The service's own command, as root, as systemd would start it.
check "the service's command compacts it too" $EXEC_START
check "and kept a second backup" test -f "${SETTINGS_DB%/*}/Vexla$(date +%F)-2.db"
check "the database kept its owner" test "$(stat -c %U "$SETTINGS_DB")" = nobody
cp "$LOG" "$WORK/Logg-before-rotation.txt"
check "logrotate rotates Logg.txt by the package's rule" logrotate -f -s "$WORK/logrotate.state" /etc/logrotate.d/vexla-admin
check "Logg.txt.1 holds the log" cmp -s "$LOGS/Logg.txt.1" "$WORK/Logg-before-rotation.txt"
LOG_BEFORE=$(stat -c %s "$LOG")
check "a vexla member compacts it unattended (vexla-admin /a k)" as_vexla_member vexla-admin /a k /d "$DEMO/bok.db"
check "the compaction kept a dated backup" test -f "$DEMO/Vexla$(date +%F).db"
check "the compaction appended to Logg.txt" test "$(stat -c %s "$LOG")" -gt "$LOG_BEFORE"
check "Logg.txt is still root:vexla, mode 664" test "$(stat -c '%U:%G %a' "$LOG")" = "root:vexla 664"
if [ "$HAVE_TRANSFER" = 1 ]; then
  check "vexla-transfer on PATH is the package's" test "$(command -v vexla-transfer)" = /usr/bin/vexla-transfer
  check "vexla-transfer --help runs" bash -c 'vexla-transfer --help >/dev/null'
  transfer_help() { for command in "" export import compact copy; do vexla-transfer $command --help; done; }
  check "vexla-transfer(1) shows every option of its --help" documents_options vexla-transfer transfer_help
  # The build tree's vexla-transfer writes byte for byte what the window's
  # export writes (its own test); the installed one must write the same.
  export_with() { VEXLA_PASSWORD=vexla "$1" export --register bokningar --db "$DEMO/bok.db" --out "$2" --user admin >/dev/null; }
  check "the installed vexla-transfer exports the bookings" export_with vexla-transfer "$WORK/installed.skv"
  check "the build tree's vexla-transfer exports them too" export_with "$BUILD/program/vexla-transfer" "$WORK/built.skv"
  check "both register files are the same, byte for byte" cmp -s "$WORK/installed.skv" "$WORK/built.skv"
fi
cp "$FOLDER/Logg.txt" "$WORK/Logg.txt"

step "Swapping in the $LANG_OTHER package"
RESTORE_LANG=1
cmake -S "$ROOT" -B "$BUILD" -DVEXLA_LANG="$LANG_OTHER" >/dev/null
OTHER_DEB=$(make_package "$LANG_OTHER")
cmake -S "$ROOT" -B "$BUILD" -DVEXLA_LANG="$LANG_BUILT" >/dev/null
cmake --build "$BUILD" --target lang_ini >/dev/null
RESTORE_LANG=0
check "the build tree is back on $LANG_BUILT" cmp -s "$BUILD/program/bin/Lang.ini" "$ROOT/texts/$LANG_BUILT/Lang.ini"
debian_habits "$OTHER_DEB" "$LANG_OTHER"
check "lintian finds no error in either package" lint "$DEB" "$OTHER_DEB"
# The programs are built with dpkg-buildflags' hardening flags.
check "lintian finds no hardening tag" bash -c "! grep 'hardening-' '$WORK/lintian'"
install_package "$OTHER_DEB"
check "vexla-admin-$LANG_OTHER is installed" test "$(installed_state "vexla-admin-$LANG_OTHER")" = ii
# Swapped out means removed: its postrm keeps it in dpkg's list until a purge.
check "vexla-admin-$LANG_BUILT was removed" \
  test "$(dpkg-query -W -f='${db:Status-Status}' "vexla-admin-$LANG_BUILT")" = config-files
check "$FOLDER/bin/Lang.ini is the $LANG_OTHER language file" cmp -s "$FOLDER/bin/Lang.ini" "$ROOT/texts/$LANG_OTHER/Lang.ini"
check "the usage text changed language" bash -c "! diff -q <(env -u DISPLAY -u WAYLAND_DISPLAY vexla-admin --help) '$WORK/help-$LANG_BUILT' >/dev/null"
check "Logg.txt kept its lines" cmp -s "$FOLDER/Logg.txt" "$WORK/Logg.txt"
check "the settings were kept" cmp -s "$SETTINGS" "$WORK/settings"
check "$FOLDER/Vexla.ini is still the link" test "$(readlink "$FOLDER/Vexla.ini")" = "$SETTINGS"
dpkg --purge "vexla-admin-$LANG_BUILT"
check "purging the swapped-out package leaves the log in use" cmp -s "$FOLDER/Logg.txt" "$WORK/Logg.txt"
check "and the settings" cmp -s "$SETTINGS" "$WORK/settings"
check "and leaves the installed program" test -x "$FOLDER/vexla-admin" -a -f "$FOLDER/bin/Lang.ini"

if [ "$KEEP" = 1 ]; then
  install_package "$DEB"
  check "vexla-admin-$LANG_BUILT is installed again" test "$(installed_state "vexla-admin-$LANG_BUILT")" = ii
  dpkg --purge "vexla-admin-$LANG_OTHER"
  check "Logg.txt is still there" cmp -s "$FOLDER/Logg.txt" "$WORK/Logg.txt"
  step "Kept vexla-admin-$LANG_BUILT installed"
  exit 0
fi

step "Removing"
# An administrator enabled the nightly compaction; a purge takes that away.
if [ "$HAVE_SYSTEMCTL" = 1 ]; then
  systemctl enable vexla-compact.timer >/dev/null 2>&1
  check "the timer could be enabled" test "$(systemctl is-enabled vexla-compact.timer 2>/dev/null)" = enabled
fi
dpkg -r "vexla-admin-$LANG_OTHER"
check "the program is gone" test ! -e "$FOLDER/vexla-admin" -a ! -e /usr/bin/vexla-admin -a ! -e "$FOLDER/bin/Lang.ini"
check "so are the commands on PATH and the manual pages" \
  test ! -e /usr/bin/vexla-sampledb -a ! -e /usr/bin/vexla-transfer -a ! -e /usr/share/man/man1/vexla-admin.1.gz
check "so are the units" test ! -e "$UNITS/vexla-compact.service" -a ! -e "$UNITS/vexla-compact.timer"
check "Logg.txt stays after a removal" cmp -s "$FOLDER/Logg.txt" "$WORK/Logg.txt"
check "so do the settings" cmp -s "$SETTINGS" "$WORK/settings"
check "group vexla stays" getent group vexla

step "Purging"
dpkg --purge "vexla-admin-$LANG_OTHER"
check "the package is gone entirely" test -z "$(installed_state "vexla-admin-$LANG_OTHER")"
check "a purge deletes Logg.txt and the empty folders" test ! -e "$FOLDER" -a ! -e "$LOGS"
check "and the settings and their folder" test ! -e "${SETTINGS%/*}"
check "and leaves nothing else the package made" test "$(leftovers)" = "$LEFTOVERS_BEFORE"
check "but the databases and their backups" \
  test -f "$SETTINGS_DB" -a -f "${SETTINGS_DB%/*}/Vexla$(date +%F).db" -a -f "$DEMO/bok.db"
check "the user and group vexla stay (Debian keeps system users)" getent passwd vexla

step "Package check passed"
