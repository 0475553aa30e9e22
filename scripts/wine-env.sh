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
# NEMBRA_WINE_PREFIX=NAME: the prefix of its own under BUILD/wine/NAME, with
# its home, and its shell data (the trash) outside that home; winemenubuilder
# stays off, so no program writes menu entries or desktop files there.
if [ -n "${NEMBRA_WINE_PREFIX:-}" ]; then
  export WINEPREFIX=$NEMBRA_BUILD/wine/$NEMBRA_WINE_PREFIX/prefix
  export HOME=$NEMBRA_BUILD/wine/$NEMBRA_WINE_PREFIX/home
  export XDG_DATA_HOME=$NEMBRA_BUILD/wine/$NEMBRA_WINE_PREFIX/data
  export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
fi
# Texts, code page (1252) and screenshots never follow the host's locale.
export LC_ALL=C.UTF-8 LANG=C.UTF-8
# A prefix with a display of its own (the shell tests') uses that one.
if [ -n "${NEMBRA_WINE_PREFIX:-}" ] && [ -f "$NEMBRA_BUILD/wine/$NEMBRA_WINE_PREFIX/display" ]; then
  export DISPLAY=$(cat "$NEMBRA_BUILD/wine/$NEMBRA_WINE_PREFIX/display")
elif [ -z "${DISPLAY:-}" ] && [ -f "$NEMBRA_BUILD/wine/display" ]; then
  export DISPLAY=$(cat "$NEMBRA_BUILD/wine/display")
fi
