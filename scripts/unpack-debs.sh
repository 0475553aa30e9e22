#!/usr/bin/env bash
# Unpacks packages that cannot be installed beside the others into $1/<name>.
set -euo pipefail
dest=$1
mkdir -p "$dest"
for p in pure-ftpd proftpd-core; do
  [ -d "$dest/$p" ] && continue
  tmp=$(mktemp -d)
  (cd "$tmp" && apt-get download -q "$p" >/dev/null)
  mkdir -p "$dest/$p.tmp"
  dpkg-deb -x "$tmp"/*.deb "$dest/$p.tmp"
  mv "$dest/$p.tmp" "$dest/$p"
  rm -rf "$tmp"
done
