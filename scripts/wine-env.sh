# Sourced: the environment every Wine run of this project uses.
# NEMBRA_BUILD is the build tree; the prefix and its home live inside it.
: "${NEMBRA_BUILD:?}"
export WINE64=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver
export WINEPREFIX=$NEMBRA_BUILD/wine/prefix
export HOME=$NEMBRA_BUILD/wine/home
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winealsa.drv,winepulse.drv,wineoss.drv=d"
export WINEARCH=win64
# Texts, code page (1252) and screenshots never follow the host's locale.
export LC_ALL=C.UTF-8 LANG=C.UTF-8
if [ -z "${DISPLAY:-}" ] && [ -f "$NEMBRA_BUILD/wine/display" ]; then
  export DISPLAY=$(cat "$NEMBRA_BUILD/wine/display")
fi
