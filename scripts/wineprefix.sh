#!/usr/bin/env bash
# Creates the private Wine prefix of the build tree and applies its settings
# (once per settings version).
#   wineprefix.sh BUILD [shell]
# "shell": the prefix of the shell tests (BUILD/wine/shell), without Z:,
# with T: on BUILD/wine/shell/t, the removable drive R: on
# BUILD/wine/shell/r and S: on BUILD/screenshots.
# "program": the prefix the program's own tests run copies of it in
# (BUILD/wine/program), with the common settings only.
set -euo pipefail
export NEMBRA_BUILD=${1:?build tree}
variant=${2:-}
if [ -n "$variant" ]; then
  [ "$variant" = shell ] || [ "$variant" = program ] || { echo "unknown prefix variant: $variant" >&2; exit 2; }
  export NEMBRA_WINE_PREFIX=$variant
fi
. "$(dirname "$0")/wine-env.sh"
version=4
marker=$WINEPREFIX/.nembra-ready
[ "$(cat "$marker" 2>/dev/null)" = "$version" ] && exit 0
mkdir -p "$HOME"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  # No display is needed to create the prefix.
  DISPLAY= "$WINE64" wineboot -i >/dev/null 2>&1 || true
  "$WINESERVER" -w
fi
reg=$(mktemp --suffix=.reg)
# Managed=N: without a window manager, hiding a managed window takes 2 s.
# ShowCrashDialog=0: a crashing test prints a backtrace and ends instead of
# waiting for someone to close the crash dialog.
# Explorer Desktop: every program of the prefix runs inside one virtual
# desktop of the display's size, where Wine itself activates, focuses and
# stacks the windows (there is no window manager).
cat > "$reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="1280x1024"
REG
# The shell prefix has no Z: once made: it reads the settings through it all
# the same.
[ -e "$WINEPREFIX/dosdevices/z:" ] || ln -s / "$WINEPREFIX/dosdevices/z:"
DISPLAY= "$WINE64" regedit /S "Z:${reg//\//\\}" >/dev/null 2>&1
"$WINESERVER" -w
rm -f "$reg"
cp -f /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
if [ "$variant" = shell ]; then
  # The shell tests see no host file system, only their own drive T:: no Z:
  # and no "/" folder on the desktop.
  DISPLAY= "$WINE64" reg delete \
    'HKLM\Software\Microsoft\Windows\CurrentVersion\Explorer\Desktop\Namespace\{9D20AAE8-0625-44B0-9CA7-71889C2254D9}' \
    /f >/dev/null 2>&1 || true
  # R: is a removable drive (a floppy to Wine's mount manager).
  DISPLAY= "$WINE64" reg add 'HKLM\Software\Wine\Drives' /v 'r:' /d floppy /f >/dev/null 2>&1
  "$WINESERVER" -w
  rm -f "$WINEPREFIX/dosdevices/z:"
  mkdir -p "$NEMBRA_BUILD/wine/shell/t" "$NEMBRA_BUILD/wine/shell/r" "$NEMBRA_BUILD/screenshots"
  ln -sfn "$NEMBRA_BUILD/wine/shell/t" "$WINEPREFIX/dosdevices/t:"
  ln -sfn "$NEMBRA_BUILD/wine/shell/r" "$WINEPREFIX/dosdevices/r:"
  ln -sfn "$NEMBRA_BUILD/screenshots" "$WINEPREFIX/dosdevices/s:"
fi
echo "$version" >"$marker"
