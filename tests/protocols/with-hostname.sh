#!/usr/bin/env bash
# Runs a command under another host name, in a UTS namespace of its own.
#   with-hostname.sh NAME COMMAND [ARGS...]
# Exits with 77 (test skipped) where no such namespace can be made.
set -euo pipefail
name=$1
shift
unshare --uts true 2>/dev/null || { echo "no UTS namespace here: skipped"; exit 77; }
exec unshare --uts sh -c 'hostname "$0" && shift && exec "$@"' "$name" "$name" "$@"
