# Sourced by the scripts: which Windows builds this machine can run, and how.
#   win64  the same program for 64-bit Windows, run under 64-bit Wine: every x86-64 machine
#   win32  the product, the 32-bit program, run under 32-bit Wine: natively where the kernel runs
#          32-bit programs and the 32-bit Wine is installed, else through QEMU's user-mode emulator
#          (build/i386-wine, prepared by scripts/setup and registered with the kernel's binfmt_misc)

pt_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# The emulated 32-bit Wine: its unpacked packages (QEMU_LD_PREFIX) and the emulator.
PT_EMU_DIR="$pt_root/build/i386-wine"
# The name of the binfmt_misc entry that hands 32-bit (i386) programs to the emulator.
PT_BINFMT_ENTRY=/proc/sys/fs/binfmt_misc/picture-tool-i386

# Runs a 96-byte i386 ELF that exits with 42: exit code 0 when it did. Reading the architecture
# would not tell, as the kernel may refuse. With a non-zero byte in the identification's padding,
# which the kernel's own loader ignores, the file matches no emulator's binfmt_misc entry (they all
# want zeros there): then only the kernel itself can run it.
pt_probe_i386() {  # 00 or 01: the last padding byte
  local probe status
  probe=$(mktemp "${TMPDIR:-/tmp}/pt-i386-probe.XXXXXX")
  printf "\\x7f\\x45\\x4c\\x46\\x01\\x01\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x$1\\x02\\x00\\x03\\x00\\x01\\x00\\x00\\x00\\x54\\x80\\x04\\x08\\x34\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x34\\x00\\x20\\x00\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x80\\x04\\x08\\x00\\x80\\x04\\x08\\x60\\x00\\x00\\x00\\x60\\x00\\x00\\x00\\x05\\x00\\x00\\x00\\x00\\x10\\x00\\x00\\xbb\\x2a\\x00\\x00\\x00\\xb8\\x01\\x00\\x00\\x00\\xcd\\x80" >"$probe"
  chmod +x "$probe"
  status=0
  "$probe" 2>/dev/null || status=$?
  rm -f "$probe"
  [ "$status" = 42 ]
}

# Exit code 0 when the kernel itself runs 32-bit programs (some have 32-bit emulation switched off).
# PT_NO_WIN32=1 makes a machine whose kernel could run them behave as one whose kernel cannot.
pt_kernel_runs_32bit() {
  [ "${PT_NO_WIN32:-0}" != 1 ] && pt_probe_i386 01
}

# Exit code 0 when our binfmt_misc entry hands 32-bit programs to the emulator.
pt_binfmt_enabled() {
  [ -r "$PT_BINFMT_ENTRY" ] && [ "$(head -n1 "$PT_BINFMT_ENTRY")" = enabled ]
}

# How 32-bit programs run here: native, emulated or none. While our binfmt_misc entry is enabled,
# the kernel gives every 32-bit program to the emulator, even where it could run it itself.
pt_win32_way() {
  if pt_binfmt_enabled && [ -f "$PT_EMU_DIR/ready" ]; then
    echo emulated
  elif pt_kernel_runs_32bit && [ -x /usr/lib/wine/wine ] && ! pt_binfmt_enabled; then
    echo native
  else
    echo none
  fi
}

# Exit code 0 when the 32-bit program can run here, either way.
pt_runs_32bit() {
  [ "$(pt_win32_way)" != none ]
}

# The build a person runs: the 32-bit program where it runs natively, the 64-bit one otherwise
# (the emulated one is several times slower; PT_ARCH=win32 still chooses it).
pt_preferred_arch() {
  if [ "$(pt_win32_way)" = native ]; then echo win32; else echo win64; fi
}

# The Wine loader of a build, by full path (the /usr/bin/wine wrapper takes the 32-bit loader
# whenever it is installed, even where the kernel cannot run it).
pt_wine_loader() {
  case "$1" in
    win32)
      if [ "$(pt_win32_way)" = emulated ]; then
        echo "$PT_EMU_DIR/root/usr/lib/wine/wine"
      else
        echo /usr/lib/wine/wine
      fi
      ;;
    win64) echo /usr/lib/wine/wine64 ;;
  esac
}

# Exports what the Wine of a build needs beyond its loader. The emulated 32-bit Wine finds its
# libraries in the unpacked packages (QEMU opens files there first) and is served by this machine's
# own 64-bit wineserver, the same Wine version, which serves 32-bit processes as well.
pt_wine_env() {
  if [ "$1" = win32 ] && [ "$(pt_win32_way)" = emulated ]; then
    export QEMU_LD_PREFIX="$PT_EMU_DIR/root"
    export WINESERVER=/usr/lib/wine/wineserver64
  else
    unset QEMU_LD_PREFIX WINESERVER
  fi
}
