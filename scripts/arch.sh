# Sourced by the scripts: which Windows builds this machine can run.
#   win64  the same program for 64-bit Windows, run under 64-bit Wine: every x86-64 machine
#   win32  the product, the 32-bit program, run under 32-bit Wine: only where the kernel runs
#          32-bit programs (some kernels have 32-bit emulation switched off)

# Exit code 0 when this machine executes a 32-bit (i386) Linux program: a 96-byte ELF that exits
# with 42 is written and run. Reading the architecture would not tell, as the kernel may refuse.
pt_runs_32bit() {
  local probe status
  probe=$(mktemp "${TMPDIR:-/tmp}/pt-i386-probe.XXXXXX")
  printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xbb\x2a\x00\x00\x00\xb8\x01\x00\x00\x00\xcd\x80' >"$probe"
  chmod +x "$probe"
  status=0
  "$probe" 2>/dev/null || status=$?
  rm -f "$probe"
  # PT_NO_WIN32=1 makes a machine that could run them behave as one that cannot.
  [ "${PT_NO_WIN32:-0}" != 1 ] && [ "$status" = 42 ]
}

# The build a person runs: the 32-bit program where it runs, the 64-bit one otherwise.
pt_preferred_arch() {
  if pt_runs_32bit; then echo win32; else echo win64; fi
}

# The Wine loader of a build, by full path (the /usr/bin/wine wrapper takes the 32-bit loader
# whenever it is installed, even where the kernel cannot run it).
pt_wine_loader() {
  case "$1" in
    win32) echo /usr/lib/wine/wine ;;
    win64) echo /usr/lib/wine/wine64 ;;
  esac
}
