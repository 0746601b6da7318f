#!/usr/bin/env bash
# The platform buttons of the real program (Windows build under Wine, on a virtual display) against
# pages of a loopback server: offers of 20, 200 and 2,000 rows, a page of 400,000 empty pieces,
# today's page data reaching one string through millions of references, and a page of 64 MB (see
# bench/harvest_pages.py). Prints, per page, the time from the press to the status line, and for
# the offers the time a bare list view and edit box of the same Wine take for as many rows filled
# in bulk, with the ratio. Run through `scripts/bench harvest`. PT_ARCH=win32 or win64 picks the
# build (default: the 32-bit program where this machine runs it); PT_BENCH_PROGRAM=<PictureTool.exe>
# times another build of the program (of the same machine type) with this build's driver;
# PT_BENCH_RUNS (default 3) runs per page, of which the median is printed; PT_BENCH_PAGES="20-rows
# 64-MB" times only the pages named.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${PT_BUILD:-$here/build}
runs=${PT_BENCH_RUNS:-3}
. "$here/scripts/arch.sh"
arch=${PT_ARCH:-$(pt_preferred_arch)}
PT_NO_NATIVE=1 PT_ARCHES=$arch "$here/scripts/build" >/dev/null
program=${PT_BENCH_PROGRAM:-$build/$arch/bin/PictureTool.exe}
echo "harvest benchmark: $program ($arch)"

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

# The program runs from a folder of its own, where it makes its output folder.
mkdir -p "$work/program"
cp "$program" "$work/program/PictureTool.exe"
cp "$(dirname "$program")/node.dll" "$work/program/"

win() { echo "Z:${1//\//\\}"; }
start_wine_session "$arch"
"$PT_WINE" "$build/$arch/bench/bench_harvest.exe" "$(win "$work/program/PictureTool.exe")" "$(win "$work/hosts.txt")" \
  "http://127.0.0.1:$port" "$(win "$work/pages/pages.txt")" "$runs"
