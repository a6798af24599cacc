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
