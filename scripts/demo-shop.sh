# Sourced by scripts/demo and scripts/screenshot: starts and stops the demo shop (demo/shop.py).
# Use: start_demo_shop <state folder> [--today]; then $PT_SHOP_PORT, $PT_SHOP_STATE (hosts.txt, links.txt,
# pictures.tsv inside) and $PT_SHOP_LOG are set; once the Wine session runs, trust_demo_shop has its
# prefix trust the shop's certificates; stop_demo_shop ends both.

shop_pid=""
shop_trust_tool=""

# The shop's host names end in .localhost; the machine must resolve them to itself (scripts/setup
# installs the resolver module that does).
demo_names_resolve() {
  getent ahostsv4 img.alicdn.localhost 2>/dev/null | grep -q '^127\.0\.0\.1'
}

start_demo_shop() {
  PT_SHOP_STATE=$1
  shift
  PT_SHOP_LOG="$PT_SHOP_STATE/requests.log"
  if ! demo_names_resolve; then
    echo "demo: names under .localhost do not resolve to 127.0.0.1 here; run scripts/setup" >&2
    return 1
  fi
  mkdir -p "$PT_SHOP_STATE"
  rm -f "$PT_SHOP_STATE/stop" "$PT_SHOP_STATE/ready" "$PT_SHOP_LOG"
  python3 "$here/demo/shop.py" --state "$PT_SHOP_STATE" --stop-file "$PT_SHOP_STATE/stop" \
    --log "$PT_SHOP_LOG" --tag "${PT_RUN_TAG:-demo$$}" "$@" </dev/null >"$PT_SHOP_STATE/shop.out" 2>&1 &
  shop_pid=$!
  # A new certificate authority first: a few seconds on a busy machine.
  for _ in $(seq 1 600); do
    [ -s "$PT_SHOP_STATE/ready" ] && break
    if ! kill -0 "$shop_pid" 2>/dev/null; then
      cat "$PT_SHOP_STATE/shop.out" >&2
      return 1
    fi
    sleep 0.1
  done
  PT_SHOP_PORT=$(cat "$PT_SHOP_STATE/ready")
}

# The tool sends the cookie only to servers whose certificates the system trusts, as a real
# site's are: the prefix of the Wine session ($PT_WINE, for build $1) trusts the shop's authority
# (new at each start of the shop) until stop_demo_shop.
trust_demo_shop() {
  shop_trust_tool="$build/$1/tests/support/trust_authority.exe"
  "$PT_WINE" "$shop_trust_tool" add "$(pt_wine_path "$PT_SHOP_STATE/tls/authority.der")"
}

stop_demo_shop() {
  if [ -n "$shop_trust_tool" ]; then
    "$PT_WINE" "$shop_trust_tool" remove "$(pt_wine_path "$PT_SHOP_STATE/tls/authority.der")" || true
    shop_trust_tool=""
  fi
  [ -n "$shop_pid" ] || return 0
  touch "$PT_SHOP_STATE/stop"
  for _ in $(seq 1 30); do
    kill -0 "$shop_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill "$shop_pid" 2>/dev/null || true
  shop_pid=""
}

# The Windows path (drive Z:) of a Linux path.
pt_wine_path() {
  printf 'Z:%s' "$(printf '%s' "$1" | tr '/' '\\')"
}
