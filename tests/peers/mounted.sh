#!/bin/sh
# Runs a command in a mount namespace of its own, where each folder or file
# SRC is also seen at DST (bind mounts that no other process sees):
#   mounted.sh SRC DST [SRC DST]... -- COMMAND [ARGS...]
# The peers show their folder of the build tree at $PEER_VIEW (lib.sh), so
# that their unprivileged processes reach it whatever the permissions of the
# folders above the build tree, and put throw-away configuration where a
# program only looks in /etc.
exec unshare --mount --propagation private sh -c '
  while [ "$1" != -- ]; do
    mount --bind "$1" "$2" || exit 1
    shift 2
  done
  shift
  exec "$@"' sh "$@"
