# Shared pieces of the Windows tests under Wine. Source it.
#
# PAINEL_WINE_PREFIX: the Wine prefix of the build folder; made on first use
# (under a lock, so that tests started together make it once).

export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="

wine_prefix_ready() {
  : "${PAINEL_WINE_PREFIX:?PAINEL_WINE_PREFIX is not set}"
  export WINEPREFIX=$PAINEL_WINE_PREFIX
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.painel-ready" ]; then
      rm -rf "$WINEPREFIX"
      echo "wine: making the prefix $WINEPREFIX" >&2
      wineboot --init >/dev/null 2>&1
      wineserver -w
      touch "$WINEPREFIX/.painel-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
}

WINE_XVFB=""
# Starts Xvfb on a free display and exports DISPLAY.
wine_display_start() {
  local fd_file i n=""
  fd_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp -noreset 3>"$fd_file" >/dev/null 2>&1 &
  WINE_XVFB=$!
  for i in $(seq 100); do
    n=$(tr -dc '0-9' <"$fd_file")
    [ -n "$n" ] && break
    sleep 0.1
  done
  rm -f "$fd_file"
  [ -n "$n" ] || { echo "Xvfb did not start" >&2; return 1; }
  export DISPLAY=":$n"
}

wine_display_stop() {
  if [ -n "$WINE_XVFB" ]; then
    kill "$WINE_XVFB" 2>/dev/null || true
    wait "$WINE_XVFB" 2>/dev/null || true
    WINE_XVFB=""
  fi
}
