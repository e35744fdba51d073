# shellcheck shell=bash
# Sourced by the scripts that run the Win32 programs under Wine: a virtual X server on a
# display nobody holds, and a Wine prefix of the run's own. Each step says what failed
# on standard error and returns 1; the caller stops both when it ends (stop_wine_session).

# The virtual screen: start_xvfb LOG and stop_xvfb.
source "$(dirname "${BASH_SOURCE[0]}")/lib/xvfb.sh"

# Makes a Wine prefix in $1 and exports WINEPREFIX. Mono and Gecko are left out: their
# installers would wait for an answer on the virtual screen.
make_wine_prefix() {
  export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  timeout 300 wineboot -i >"$1.wineboot.log" 2>&1 || { cat "$1.wineboot.log" >&2; echo "wineboot failed" >&2; return 1; }
  timeout 120 wineserver -w || { echo "wineboot did not settle" >&2; return 1; }
  # Xvfb has no window manager; unmanaged windows close at once instead of after Wine's
  # two-second wait for a manager, so time-outs can be measured.
  timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 ||
    { echo "could not set the X11 driver's Managed value" >&2; return 1; }
  # A crash must end the process, not wait behind the debugger's dialog on the screen.
  timeout 60 wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 ||
    { echo "could not turn off the crash dialog" >&2; return 1; }
}

# Ends every Wine process of the prefix and the X server.
stop_wine_session() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    timeout 30 wineserver -k >/dev/null 2>&1 || true
    timeout 30 wineserver -w >/dev/null 2>&1 || true
  fi
  stop_xvfb
}
