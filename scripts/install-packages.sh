#!/bin/sh
# Installs Debian packages with apt-get, for the set-up lines of the README: directly as
# root (a fresh machine or container is root and often has no sudo), through sudo as
# any other user.
# Usage: sh scripts/install-packages.sh PACKAGE...
set -eu
if [ "$#" -eq 0 ]; then
  echo "usage: sh scripts/install-packages.sh PACKAGE..." >&2
  exit 2
fi
if [ "$(id -u)" -eq 0 ]; then
  as_root=""
else
  as_root="sudo"
fi
# No questions asked; and when another apt-get holds the package database, wait for it.
$as_root env DEBIAN_FRONTEND=noninteractive apt-get update
$as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -o DPkg::Lock::Timeout=600 "$@"
