#!/usr/bin/env bash
# The real program under Wine on a virtual display, timed from outside by bench_window.exe:
#   window_bench.sh startup     launch to the welcome box, against a minimal message-box program
#   window_bench.sh animation   Page Up's widening from the key to the final width, against the
#                               nominal 17 ticks of 10 ms; then what one frame costs, piece by piece
# Run through `scripts/bench startup` or `scripts/bench animation`.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${PT_BUILD:-$here/build}
what=$1
runs=${PT_BENCH_RUNS:-7}

. "$here/scripts/arch.sh"
arch=${PT_ARCH:-$(pt_preferred_arch)}
echo "$what benchmark: the $arch build"
PT_NO_NATIVE=1 PT_ARCHES=$arch "$here/scripts/build" >/dev/null
# As scripts/run starts it: a Chinese locale, so the captions have their font.
export LANG=${PT_LANG:-zh_CN.UTF-8} LC_ALL=${PT_LANG:-zh_CN.UTF-8}
. "$here/scripts/wine-session.sh"
trap stop_wine_session EXIT
start_wine_session "$arch"

win() { echo "Z:${1//\//\\}"; }
program=$(win "$build/$arch/bin/PictureTool.exe")
helper="$build/$arch/bench/bench_window.exe"
case "$what" in
  startup)
    "$PT_WINE" "$helper" startup "$runs" "$program" "$(win "$build/$arch/bench/bench_minimal_box.exe")"
    ;;
  animation)
    "$PT_WINE" "$helper" animation "$runs" "$program"
    echo "-- what one frame costs (the program's window in-process)"
    # The window looks for its browser engine beside the running program, as the program does.
    cp "$build/$arch/bin/node.dll" "$build/$arch/bench/node.dll"
    "$PT_WINE" "$build/$arch/bench/bench_frame_cost.exe" 3
    ;;
esac
