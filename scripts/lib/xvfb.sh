# Sourced by the scripts that need a virtual screen.
#
# start_xvfb LOGFILE: starts Xvfb on a display number that nobody holds, exports DISPLAY
# and sets XVFB_PID. Xvfb picks the number itself (-displayfd): guessing from the lock
# files in /tmp misses the servers of another root on the same machine (a chroot, a
# container), whose sockets clash with ours although their lock files are not visible.
# stop_xvfb: stops it again; safe to call when none was started.
XVFB_PID=""

start_xvfb() {
  local log=$1 number_file
  number_file=$(mktemp /tmp/tessaly-xvfb.XXXXXX)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number_file" >"$log" 2>&1 &
  XVFB_PID=$!
  local number=""
  for _ in $(seq 1 150); do
    number=$(tr -dc '0-9' <"$number_file")
    [ -n "$number" ] && break
    if ! kill -0 "$XVFB_PID" 2>/dev/null; then
      XVFB_PID=""
      break
    fi
    sleep 0.2
  done
  rm -f "$number_file"
  if [ -z "$number" ]; then
    echo "Xvfb did not start:" >&2
    cat "$log" >&2
    stop_xvfb
    return 1
  fi
  export DISPLAY=":$number"
}

stop_xvfb() {
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=""
  fi
}
