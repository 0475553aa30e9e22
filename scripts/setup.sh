#!/usr/bin/env bash
# Installs what the build and the tests need, then cross-builds libjpeg.
# Idempotent: a second run only checks.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${NEMBRA_BUILD:-$top/build}

packages=(
  g++-mingw-w64-x86-64-posix cmake ninja-build make dpkg-dev
  # zlib for the PNG screenshots of the window tests
  libz-mingw-w64-dev
  wine wine64 xvfb xauth fonts-wine netbase googletest
  python3 iproute2 procps psmisc
  # network namespaces of the ICMP tests: drop rule, reachability check
  nftables iputils-ping
  # test peers, and the clients that check them
  nginx-light vsftpd dante-server openssh-server openssh-client
  dnsmasq-base tinyproxy efingerd curl openssl passwd util-linux
  # libraries of the unpacked pure-ftpd and proftpd (scripts/unpack-debs.sh)
  libsodium23 libhiredis0.14 libmemcached11 libmemcachedutil2 libpcre2-posix3
  # fuzzing of pure code with the native compiler
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

src_list=/etc/apt/sources.list.d/nembra-src.sources
if [ ! -f "$src_list" ]; then
  cat > "$src_list" <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  need_update=1
fi

if [ ${#missing[@]} -gt 0 ] || [ -n "${need_update:-}" ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  if [ ${#missing[@]} -gt 0 ]; then
    # Daemons are started by the tests themselves, never by the package scripts.
    printf '#!/bin/sh\nexit 101\n' > /usr/sbin/policy-rc.d; chmod +x /usr/sbin/policy-rc.d
    apt-get install -y -q --no-install-recommends "${missing[@]}"
    rm -f /usr/sbin/policy-rc.d
  fi
fi

# FTP servers whose packages conflict with vsftpd: unpacked, not installed.
"$top/scripts/unpack-debs.sh" "$build/debs"

# libjpeg, cross-built from Debian's source package.
"$top/scripts/build-libjpeg.sh" "$build/deps"
