#!/bin/sh
# Runs a cross-built Windows program under wine, quietly and without a display.
# The wine prefix lives in the build folder unless WINEPREFIX is set.
: "${WINEPREFIX:=${BANDSCAPE_WINEPREFIX:-$PWD/.wine}}"
export WINEPREFIX
export WINEDEBUG=-all
export DISPLAY=
exec wine "$@"
