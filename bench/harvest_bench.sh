#!/usr/bin/env bash
# The platform buttons of the real program (Windows build under Wine, on a virtual display) against
# pages of a loopback server: offers of 20, 200 and 2,000 rows, a page of 400,000 empty pieces,
# today's page data reaching one string through millions of references, and pages of 16 and 64 MB
# (see bench/harvest_pages.py). Prints, per page, the time from the press to the status line; for
# the offers the time a bare list view and edit box of the same Wine take for as many rows filled
# in bulk, with the ratio, and what each further row costs; for the big pages a bare WinHttp fetch
# of them. First it prints what one message costs under this Wine (bench/message_cost_bench.cpp).
# Run through `scripts/bench harvest [--before <revision or PictureTool.exe>]`: --before times that
# build too, in the same run and turn about with this one (a revision is built for it in
# build/bench-before/, from a checkout that is removed again). PT_ARCH=win32 or win64 picks the
# build (default: the 32-bit program where this machine runs it); PT_BENCH_PROGRAM=<PictureTool.exe>
# times another build in this one's place; PT_BENCH_RUNS (default 3) runs per page and program, of
# which the median is printed; PT_BENCH_PAGES="20-rows 64-MB" times only the pages named.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${PT_BUILD:-$here/build}
runs=${PT_BENCH_RUNS:-3}
before=""
while [ $# -gt 0 ]; do
  case "$1" in
    --before) before=${2:?--before wants a revision or a PictureTool.exe}; shift 2 ;;
    *) echo "usage: scripts/bench harvest [--before <revision or PictureTool.exe>]" >&2; exit 2 ;;
  esac
done
. "$here/scripts/arch.sh"
arch=${PT_ARCH:-$(pt_preferred_arch)}
PT_NO_NATIVE=1 PT_ARCHES=$arch "$here/scripts/build" >/dev/null
program=${PT_BENCH_PROGRAM:-$build/$arch/bin/PictureTool.exe}

# Another revision's program and node.dll, built from a checkout of its own that goes again.
build_revision() {
  local revision=$1 src="$build/bench-before/src" out="$build/bench-before/$arch" triplet toolchain
  case "$arch" in
    win32) triplet=i686-w64-mingw32; toolchain=mingw-i686.cmake ;;
    win64) triplet=x86_64-w64-mingw32; toolchain=mingw-x86_64.cmake ;;
  esac
  git -C "$here" worktree remove --force "$src" 2>/dev/null || rm -rf "$src"
  git -C "$here" worktree add --detach "$src" "$revision" >/dev/null 2>&1
  echo "building $revision ($(git -C "$src" log -1 --format=%h)) for the comparison in $out" >&2
  cmake -S "$src" -B "$out" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$src/cmake/$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DPT_DEPS="$here/build/deps/$triplet" >/dev/null
  local status=0
  cmake --build "$out" --target PictureTool node_engine >/dev/null || status=$?
  git -C "$here" worktree remove --force "$src"
  return $status
}
if [ -n "$before" ] && [ ! -f "$before" ]; then
  build_revision "$before"
  before=$build/bench-before/$arch/bin/PictureTool.exe
fi

echo "harvest benchmark: $program ($arch)${before:+, before: $before}"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"

work=$(mktemp -d /tmp/pt-harvest-bench.XXXXXX)
# As scripts/run starts it: a Chinese locale, so the captions have their font.
export LANG=${PT_LANG:-zh_CN.UTF-8} LC_ALL=${PT_LANG:-zh_CN.UTF-8}
. "$here/scripts/wine-session.sh"
cleanup() {
  touch "$work/stop"
  stop_wine_session
  rm -rf "$work"
}
trap cleanup EXIT

python3 "$here/bench/harvest_pages.py" "$here" "$work/pages"
python3 "$here/tests/support/loopback_server.py" --routes "$work/pages/routes.json" --ready "$work/ready" \
  --log "$work/server.log" --stop-file "$work/stop" --lifetime 3600 --tag "$PT_RUN_TAG" &
for _ in $(seq 1 200); do [ -s "$work/ready" ] && break; sleep 0.05; done
read -r port tls_port <"$work/ready"
sed -i "s|@SERVER@|http://127.0.0.1:$port|" "$work"/pages/offer_*.html
if [ -n "${PT_BENCH_PAGES:-}" ]; then
  grep -wF "$(tr ' ' '\n' <<<"$PT_BENCH_PAGES")" "$work/pages/pages.txt" >"$work/pages/chosen.txt" || true
  mv "$work/pages/chosen.txt" "$work/pages/pages.txt"
fi
cat >"$work/hosts.txt" <<HOSTS
TaobaoDescHost=127.0.0.1:$tls_port
TaobaoDescLinkHost=127.0.0.1:$tls_port
TaobaoVideoHost=127.0.0.1:$port
TimeProbeHost=127.0.0.1:$port
JdImageHost=127.0.0.1:$port
JdMobileItemHost=127.0.0.1:$tls_port
HOSTS

# Each program runs from a folder of its own, where it makes its output folder.
win() { echo "Z:${1//\//\\}"; }
programs=()
for named in ${before:+"before=$before"} "after=$program"; do
  name=${named%%=*} exe=${named#*=}
  mkdir -p "$work/$name"
  cp "$exe" "$work/$name/PictureTool.exe"
  cp "$(dirname "$exe")/node.dll" "$work/$name/"
  programs+=("$name=$(win "$work/$name/PictureTool.exe")")
done
[ -n "$before" ] || programs=("program=${programs[0]#after=}")

start_wine_session "$arch"
echo "-- what one message to a window costs under this Wine"
"$PT_WINE" "$build/$arch/bench/bench_message_cost.exe"
echo "-- press to status line"
"$PT_WINE" "$build/$arch/bench/bench_harvest.exe" "$(win "$work/hosts.txt")" "http://127.0.0.1:$port" \
  "$(win "$work/pages/pages.txt")" "$runs" "${programs[@]}"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
