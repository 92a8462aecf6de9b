#!/usr/bin/env bash
# Runs connect_check against a freshly started acw-emulator, on loopback only.
#   connect_check.sh <acw-emulator> <connect_check>
set -euo pipefail
EMULATOR=$1
CHECK=$2
. "$(dirname "$0")/emulator_session.sh"
WORK=$(mktemp -d)
cleanup() {
  stop_emulator
  rm -rf "$WORK"
}
trap cleanup EXIT

INSTANCE_ID=i-acwcheck000000000007
# The demo world's database instances: two in cn-hangzhou, 32 in cn-zhangjiakou.
DATABASES=34
start_emulator "$EMULATOR" "$WORK" --instance-id "$INSTANCE_ID"
"$CHECK" acw-demo-key acw-demo-secret "$INSTANCE_ID" "$DATABASES"
