# Sourced by the scripts that drive acw against a private acw-emulator.
#   start_emulator <acw-emulator> <work-dir> [further emulator options...]
# starts the emulator on free loopback ports in the background (its pid in
# EMULATOR_PID: the caller stops it, see stop_emulator), waits for its ready
# line, writes <work-dir>/settings.ini that maps the real service and metadata
# host names to those ports, and exports ACW_SETTINGS and the emulator's demo
# access key (ALIBABA_CLOUD_ACCESS_KEY_ID, ALIBABA_CLOUD_ACCESS_KEY_SECRET).
# Returns non-zero with a reason on standard error when the emulator does not
# get ready.

EMULATOR_PID=
HTTPS_PORT=
METADATA_PORT=

start_emulator() {
  local emulator=$1 work=$2 ready=
  shift 2
  "$emulator" --port 0 --metadata-port 0 --ca-file "$work/ca.pem" "$@" >"$work/emulator.out" 2>"$work/emulator.err" &
  EMULATOR_PID=$!
  # Its one ready line: acw-emulator ready https=127.0.0.1:<port> metadata=127.0.0.1:<port> ca=<path>
  # Read from a file, not a pipe: the emulator must not die of a closed pipe later.
  for _ in $(seq 1 300); do
    ready=$(grep -m1 '^acw-emulator ready ' "$work/emulator.out" 2>/dev/null || true)
    [ -n "$ready" ] && break
    kill -0 "$EMULATOR_PID" 2>/dev/null || break
    sleep 0.1
  done
  if [ -z "$ready" ]; then
    cat "$work/emulator.err" >&2
    echo "acw-emulator did not get ready" >&2
    return 1
  fi
  HTTPS_PORT=$(sed -n 's/.* https=127\.0\.0\.1:\([0-9]*\) .*/\1/p' <<<"$ready")
  METADATA_PORT=$(sed -n 's/.* metadata=127\.0\.0\.1:\([0-9]*\) .*/\1/p' <<<"$ready")
  if [ -z "$HTTPS_PORT" ] || [ -z "$METADATA_PORT" ]; then
    echo "unexpected ready line: $ready" >&2
    return 1
  fi

  cat >"$work/settings.ini" <<INI
[VirtualServer]
AliCloudCABundle = $work/ca.pem
AliCloudConnectTo = 100.100.100.200:80:127.0.0.1:$METADATA_PORT,::127.0.0.1:$HTTPS_PORT
nAliCloudRetrySleepTimeInSec = 1
INI
  export ACW_SETTINGS=$work/settings.ini
  export ALIBABA_CLOUD_ACCESS_KEY_ID=acw-demo-key
  export ALIBABA_CLOUD_ACCESS_KEY_SECRET=acw-demo-secret
  # A proxy from the environment must not take the loopback-mapped requests elsewhere.
  unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY
}

stop_emulator() {
  if [ -n "$EMULATOR_PID" ]; then
    kill "$EMULATOR_PID" 2>/dev/null || true
    wait "$EMULATOR_PID" 2>/dev/null || true
    EMULATOR_PID=
  fi
}
