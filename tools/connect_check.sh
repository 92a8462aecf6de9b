#!/usr/bin/env bash
# Runs connect_check against a freshly started acw-emulator, on loopback only.
#   connect_check.sh <acw-emulator> <connect_check>
set -euo pipefail
EMULATOR=$1
CHECK=$2
WORK=$(mktemp -d)
EMULATOR_PID=
cleanup() {
  if [ -n "$EMULATOR_PID" ]; then kill "$EMULATOR_PID" 2>/dev/null || true; wait "$EMULATOR_PID" 2>/dev/null || true; fi
  rm -rf "$WORK"
}
trap cleanup EXIT

INSTANCE_ID=i-acwcheck000000000007
mkfifo "$WORK/ready"
"$EMULATOR" --port 0 --metadata-port 0 --ca-file "$WORK/ca.pem" --instance-id "$INSTANCE_ID" >"$WORK/ready" &
EMULATOR_PID=$!
# The one ready line: acw-emulator ready https=127.0.0.1:<port> metadata=127.0.0.1:<port> ca=<path>
if ! read -r -t 30 LINE <"$WORK/ready"; then
  echo "acw-emulator did not get ready" >&2
  exit 1
fi
HTTPS_PORT=$(sed -n 's/.* https=127\.0\.0\.1:\([0-9]*\) .*/\1/p' <<<"$LINE")
METADATA_PORT=$(sed -n 's/.* metadata=127\.0\.0\.1:\([0-9]*\) .*/\1/p' <<<"$LINE")
if [ -z "$HTTPS_PORT" ] || [ -z "$METADATA_PORT" ]; then
  echo "unexpected ready line: $LINE" >&2
  exit 1
fi

cat >"$WORK/settings.ini" <<INI
[VirtualServer]
AliCloudCABundle = $WORK/ca.pem
AliCloudConnectTo = 100.100.100.200:80:127.0.0.1:$METADATA_PORT,::127.0.0.1:$HTTPS_PORT
INI
# A proxy from the environment must not take the loopback-mapped requests elsewhere.
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY
ACW_SETTINGS="$WORK/settings.ini" "$CHECK" acw-demo-key acw-demo-secret "$INSTANCE_ID"
