#!/usr/bin/env bash
# Test fixture: a local disk that fills up, a 1 MiB tmpfs mounted at
# BUILD/peers/smalldisk-PORTBASE (PeerFolder("smalldisk-" + base) through
# Wine's Z: drive); a folder of its own per port base.
#   smalldisk.sh start|stop BUILD PORTBASE
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/ports.sh"
export PATH=/usr/sbin:/usr/bin:/sbin:/bin:$PATH
dir=$2/peers/smalldisk-$base

case $1 in
start)
  mkdir -p "$dir"
  mountpoint -q "$dir" || mount -t tmpfs -o size=1m,mode=1777 nembra-smalldisk "$dir"
  ;;
stop)
  if mountpoint -q "$dir"; then
    umount "$dir" || umount -l "$dir"
  fi
  rmdir "$dir" 2>/dev/null || true
  ;;
esac
