# Starts a private Xvfb display for the caller and stops it on exit.
# Usage: source scripts/lib/xvfb.sh; start_xvfb  -> exports DISPLAY, sets XVFB_PID
start_xvfb() {
  local fifo display
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
  XVFB_PID=$!
  # -displayfd writes the chosen display number once the server is ready.
  if ! read -r -t 20 display < "$fifo"; then
    rm -f "$fifo"
    kill "$XVFB_PID" 2>/dev/null || true
    echo "Xvfb did not start" >&2
    return 1
  fi
  rm -f "$fifo"
  export DISPLAY=":$display"
}

stop_xvfb() {
  if [[ -n "${XVFB_PID:-}" ]]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=
  fi
}
