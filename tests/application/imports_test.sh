#!/usr/bin/env bash
# Fails when one of the programs imports rasapi32 (it is loaded at run time).
set -euo pipefail
status=0
for exe in "$@"; do
  dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
  if [ -z "$dlls" ]; then
    echo "no imports listed for $exe" >&2
    status=1
  elif grep -qi '^rasapi32' <<<"$dlls"; then
    echo "$exe imports rasapi32:" >&2
    echo "$dlls" >&2
    status=1
  fi
done
exit $status
