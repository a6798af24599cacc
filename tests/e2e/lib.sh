# Shared by the end-to-end scripts: checks that count, and the paths of the
# private Wine prefix.
passed=0 failed=0

check() {  # check DESCRIPTION COMMAND...
  local what="$1"; shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $what" >&2; fi
}

finish() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}

# Text of a UTF-16 LE trace file as UTF-8 (empty when the file is missing).
trace_text() { [ -f "$1" ] && iconv -f UTF-16LE -t UTF-8 "$1" | tr -d '\r' || true; }

# One X server for all the windowed runs of a script: the prefix's wineserver
# is restarted once with that display instead of around every run. Sets
# VELMORA_DISPLAY (which the harness honours); without Xvfb nothing changes
# and each windowed run starts its own server.
start_display() {  # start_display WINE-RUN
  local prefix n
  prefix=$(dirname "$1")/wineprefix
  for n in $(seq 91 140); do
    [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -ac >/dev/null 2>&1 &
    display_pid=$!
    for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    if [ -e "/tmp/.X11-unix/X$n" ]; then
      WINEPREFIX="$prefix" wineserver -k 2>/dev/null; WINEPREFIX="$prefix" wineserver -w 2>/dev/null
      export VELMORA_DISPLAY=":$n" display_prefix="$prefix"
      trap stop_display EXIT
      return 0
    fi
    kill "$display_pid" 2>/dev/null
  done
  return 0
}

stop_display() {
  [ -n "${VELMORA_DISPLAY:-}" ] || return 0
  # The wineserver knows the display: it goes with it.
  WINEPREFIX="$display_prefix" wineserver -k 2>/dev/null; WINEPREFIX="$display_prefix" wineserver -w 2>/dev/null
  kill "$display_pid" 2>/dev/null; wait "$display_pid" 2>/dev/null
  unset VELMORA_DISPLAY
}
