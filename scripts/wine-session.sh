# Sourced by the scripts that run Windows programs: a Wine prefix of the build's own machine type
# (build/wineprefix-win32 with WINEARCH=win32, build/wineprefix-win64 with WINEARCH=win64), an Xvfb
# display and one persistent wineserver, all stopped again by stop_wine_session.
# Needs $build (the build root) and scripts/arch.sh. Use: start_wine_session win32|win64, then
# "$PT_WINE" program.exe (the 32-bit loader runs natively or through the emulator, whichever this
# machine has: scripts/arch.sh).

export WINEDEBUG=${WINEDEBUG:--all}
# No .NET or HTML-engine install prompt, ever: the two are switched off for every Wine process.
# No debugger either: one started for a crashing test inherits the test's output and lives on,
# so CTest would wait out the test's whole time limit instead of seeing the crash.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
PT_RUN_TAG=${PT_RUN_TAG:-run$$}
export PT_RUN_TAG
xvfb_pid=""
PT_WINE=""

start_display() {
  if [ -n "${DISPLAY:-}" ] && [ "${PT_OWN_DISPLAY:-1}" = 0 ]; then return; fi
  [ -n "$xvfb_pid" ] && return
  local fifo
  fifo=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1600x1200x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 1 100); do
    [ -s "$fifo" ] && break
    sleep 0.05
  done
  export DISPLAY=":$(head -n1 "$fifo")"
  rm -f "$fifo"
}

# Tells where the program's windows go when they go to a display of our own, which nothing shows.
announce_display() {
  [ -n "$xvfb_pid" ] || return 0
  echo "No desktop display (DISPLAY is not set): the tool runs on a virtual display of its own, $DISPLAY,"
  echo "which nothing shows. To see the tool, run this from a desktop session (or over ssh -X)."
  echo "Meanwhile, from another terminal, a picture of that display:"
  echo "  import -display $DISPLAY -window root screen.png"
}

# Bump when the settings below change: prefixes made before are then updated in place.
PT_PREFIX_SETTINGS=5

prepare_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    rm -rf "$WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")"
    "$PT_WINE" wineboot -i >/dev/null 2>&1 </dev/null || true
    /usr/lib/wine/wineserver -w
  fi
  if [ ! -f "$WINEPREFIX/.pt-settings-$PT_PREFIX_SETTINGS" ]; then
    local reg="$WINEPREFIX/../wine-settings-$WINEARCH.reg"
    local cjk="wqy-microhei.ttc,WenQuanYi Micro Hei"
    # A multi-string value for REGEDIT4: the texts, each zero-terminated, then one more zero.
    local link
    link=$(printf '%s\0' "$cjk" | od -An -tx1 -v | tr -s ' \n' ',' | sed 's/^,//; s/,$//')
    link="$link,00"
    {
      printf 'REGEDIT4\r\n\r\n'
      # Controls use the default GUI font: let its family names fall back to a CJK font.
      printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink]\r\n'
      for f in "Tahoma" "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft Sans Serif" "MS Sans Serif" "Arial" "Segoe UI"; do
        printf '"%s"=hex(7):%s\r\n' "$f" "$link"
      done
      printf '\r\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]\r\n'
      for f in "SimSun" "NSimSun" "Microsoft YaHei"; do
        printf '"%s"="WenQuanYi Micro Hei"\r\n' "$f"
      done
      # Without a window manager (Xvfb), Wine draws the window frames and captions itself.
      printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n'
    } >"$reg"
    # Wine's own fonts (fonts-wine) are not looked for where Debian puts them: without Marlett the
    # caption buttons are drawn as the letters "0", "1" and "r". Linked into the prefix's font folder.
    mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
    for font in /usr/share/wine/fonts/*; do
      [ -e "$font" ] && ln -sf "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
    done
    "$PT_WINE" regedit /S "$("$PT_WINE" winepath -w "$reg" 2>/dev/null </dev/null)" >/dev/null 2>&1 </dev/null || true
    /usr/lib/wine/wineserver -w
    touch "$WINEPREFIX/.pt-settings-$PT_PREFIX_SETTINGS"
  fi
}

# start_wine_session win32|win64
start_wine_session() {
  local arch=$1
  PT_WINE=$(pt_wine_loader "$arch")
  pt_wine_env "$arch"
  export WINEARCH=$arch
  export WINEPREFIX="$build/wineprefix-$arch"
  export WINELOADER="$PT_WINE"
  start_display
  prepare_prefix
  /usr/lib/wine/wineserver -p
  # Start Wine's own long-lived processes now, with their output going nowhere: started by a test
  # instead, they would inherit its output pipe and CTest would wait for them to close it.
  "$PT_WINE" cmd /c exit >/dev/null 2>&1 </dev/null || true
}

# Keeps Wine's desktop (explorer.exe) running until the session ends, instead of one start per
# program: tests/support/desktop_keeper.exe of the build, where it was built. Waits until it holds it.
hold_desktop() {  # build folder of the session's machine type
  local keeper="$1/tests/support/desktop_keeper.exe" ready
  [ -f "$keeper" ] || return 0
  ready=$(mktemp)
  "$PT_WINE" "$keeper" >"$ready" 2>/dev/null </dev/null &
  for _ in $(seq 1 600); do
    [ -s "$ready" ] && break
    sleep 0.2
  done
  rm -f "$ready"
}

# Stops the wineserver of the current prefix (the display stays for another session).
end_wine_prefix() {
  [ -n "${WINEPREFIX:-}" ] || return 0
  /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  /usr/lib/wine/wineserver -w >/dev/null 2>&1 || true
}

stop_wine_session() {
  end_wine_prefix
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" >/dev/null 2>&1 || true
  xvfb_pid=""
  # Loopback servers of this run that a crashed test could not stop.
  pkill -f -- "--tag $PT_RUN_TAG( |\$)" >/dev/null 2>&1 || true
  return 0
}
