#!/usr/bin/env bash
# Creates the private Wine prefix of the build tree (once).
set -euo pipefail
export NEMBRA_BUILD=${1:?build tree}
. "$(dirname "$0")/wine-env.sh"
[ -f "$WINEPREFIX/.nembra-ready" ] && exit 0
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX" "$HOME"
# No display is needed to create the prefix.
DISPLAY= "$WINE64" wineboot -i >/dev/null 2>&1 || true
"$WINESERVER" -w
reg=$(mktemp --suffix=.reg)
cat > "$reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
REG
DISPLAY= "$WINE64" regedit /S "Z:${reg//\//\\}" >/dev/null 2>&1
"$WINESERVER" -w
rm -f "$reg"
cp -f /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
touch "$WINEPREFIX/.nembra-ready"
