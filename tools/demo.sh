#!/usr/bin/env bash
# The library's main job, backup and restore of a cloud instance, run with the
# acw tool against the built-in emulator on loopback:
#   tools/demo.sh <build-dir>
# The build folder must hold acw and acw-emulator. Nothing leaves 127.0.0.1:
# the real service and metadata host names are mapped to the emulator's ports
# through the settings file ("AliCloudConnectTo"). Exit status 0 when every
# step succeeded.
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: tools/demo.sh <build-dir>" >&2
  exit 2
fi
BUILD_DIR=$(cd "$1" && pwd)
ACW=$BUILD_DIR/acw
EMULATOR=$BUILD_DIR/acw-emulator
for program in "$ACW" "$EMULATOR"; do
  if [ ! -x "$program" ]; then
    echo "demo: $program is missing: build first (./run build)" >&2
    exit 1
  fi
done

# The demo world's instance lives in this region, and this is its disk.
REGION=cn-hangzhou
DISK=d-acwdemo0000000001

# shellcheck source=tools/emulator_session.sh
. "$(dirname "$0")/emulator_session.sh"
WORK=$(mktemp -d)
cleanup() {
  stop_emulator
  rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

fail() {
  echo "demo: FAILED: $*" >&2
  exit 1
}

start_emulator "$EMULATOR" "$WORK" || fail "the emulator did not start"
echo "==> emulator ready: service on 127.0.0.1:$HTTPS_PORT, metadata on 127.0.0.1:$METADATA_PORT"

# ---- steps
OUT=
# step "<what it does>" <acw arguments...>: narrates, runs acw, shows its
# progress (standard error) and output indented and keeps the output in OUT;
# stops the demo when acw fails.
step() {
  local what=$1
  shift
  echo "==> $what"
  if ! OUT=$("$ACW" "$@" 2>"$WORK/acw.err"); then
    [ -n "$OUT" ] && sed 's/^/    /' <<<"$OUT"
    sed 's/^/    /' "$WORK/acw.err" >&2
    fail "acw $1"
  fi
  sed 's/^/    /' "$WORK/acw.err"
  sed 's/^/    /' <<<"$OUT"
}
# value <key>: the value of the first "key: value" line of the last step.
value() {
  local found
  found=$(sed -n "s/^$1: //p" <<<"$OUT" | head -n1)
  [ -n "$found" ] || fail "no '$1' in the output of the last step"
  printf '%s' "$found"
}

step "connect: prove the access key with the compute service" connect
step "which instance is this? (instance metadata service)" instance-id
INSTANCE=$(value instance-id)

step "backup: the disk $DISK of instance $INSTANCE" disk-info --region "$REGION" --disk "$DISK"
ZONE=$(value zone)
step "backup: snapshot disk $DISK and wait until it is complete" \
  snapshot --disk "$DISK" --name acw-demo-backup --description "demo backup of $INSTANCE" \
  --wait --region "$REGION" --poll-ms 200 --max-polls 50
SNAPSHOT=$(value snapshot-id)
step "backup: the snapshot's record" snapshot-info --region "$REGION" --snapshot "$SNAPSHOT"

step "restore: a disk from snapshot $SNAPSHOT in zone $ZONE" \
  create-disk --region "$REGION" --zone "$ZONE" --snapshot "$SNAPSHOT" --name acw-demo-restored
RESTORED=$(value disk-id)
step "restore: the restored disk's record" disk-info --region "$REGION" --disk "$RESTORED"

step "networking: the VPCs of $REGION" vpcs --region "$REGION"
step "networking: the security groups of $REGION" security-groups --region "$REGION"
step "networking: a new elastic IP in $REGION" eip-create --region "$REGION" --bandwidth 5
ALLOCATION=$(value allocation-id)
step "networking: bind $ALLOCATION to $INSTANCE" eip-bind --allocation "$ALLOCATION" --instance "$INSTANCE"
step "networking: the elastic IP's record" eip-info --region "$REGION" --allocation "$ALLOCATION"

step "clean up: delete the restored disk" delete-disk --disk "$RESTORED"
step "clean up: delete the snapshot" delete-snapshot --snapshot "$SNAPSHOT"

echo "==> demo complete: backup, restore and networking ran against the emulator"
