#!/bin/sh
# Creates a Wine prefix without a display and without questions (it works as root on
# a machine without X), and maps one more drive letter to a scratch folder, so that
# tests can move between two drives.
# Usage: make-wine-prefix.sh PREFIX DRIVE_LETTER DRIVE_FOLDER
set -eu
prefix=$1
letter=$2
folder=$3
# A server still running for an earlier prefix of this name must not see it vanish.
WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
rm -rf "$prefix"
mkdir -p "$folder"
export WINEPREFIX="$prefix" WINEDEBUG=-all
# The .NET and HTML engines are not needed by console programs; skip their set-up.
WINEDLLOVERRIDES='mscoree=;mshtml=' wine wineboot --init >"$prefix.log" 2>&1
wineserver --wait
# Wine looks drives up by lower-case names.
ln -sfn "$folder" "$prefix/dosdevices/$(echo "$letter" | tr '[:upper:]' '[:lower:]'):"
