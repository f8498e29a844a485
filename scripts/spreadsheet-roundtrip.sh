#!/usr/bin/env bash
# Opens a register file in LibreOffice Calc without a window and saves it back
# as a ";"-separated Windows-1252 file, as an administrator does who edits a
# register in a spreadsheet before importing it again.
#   scripts/spreadsheet-roundtrip.sh IN.skv OUT.skv [LANGUAGE-ID]
# LANGUAGE-ID is the locale Calc reads the values by (1053 Swedish, the
# default; 1033 English (US)); use the one of the system that exported them.
# Calc quotes every text cell and ends lines with LF alone; the import reads
# such files. Needs soffice (Debian: libreoffice-calc-nogui).
set -euo pipefail
if [ $# -lt 2 ]; then sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'; exit 2; fi
in=$1 out=$2 language=${3:-1053}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$in" "$work/register.csv"
# Field separator 59 (;), text delimiter 34 ("), character set 1 (Windows-1252),
# first line 1, no column formats, then the language.
soffice --headless "-env:UserInstallation=file://$work/profile" \
  --infilter="CSV:59,34,1,1,,$language" \
  --convert-to 'csv:Text - txt - csv (StarCalc):59,34,1,1' \
  --outdir "$work/out" "$work/register.csv" >/dev/null 2>&1
[ -s "$work/out/register.csv" ] || { echo "soffice did not write the file" >&2; exit 1; }
cp "$work/out/register.csv" "$out"
