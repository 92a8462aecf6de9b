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

# The demo world's instance lives in this region, beside an elastic IP it can take.
REGION=cn-hangzhou
SOURCE_EIP=eip-acwdemo0000000001

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

MADE=()
REMOVED=()

step "connect: prove the access key with the compute service" connect
step "which instance is this? (instance metadata service)" instance-id
INSTANCE=$(value instance-id)
step "inventory: the regions, instances and networks of $REGION" inventory --region "$REGION" --networks
step "give $INSTANCE its public address: the elastic IP $SOURCE_EIP" \
  eip-bind --allocation "$SOURCE_EIP" --instance "$INSTANCE"

step "backup: every disk of $INSTANCE, each snapshot waited until complete" \
  backup --instance "$INSTANCE" --out "$WORK/backup.json" --poll-ms 200 --max-polls 50
for snapshot in $(jq -r '.disks[]."snapshot-id"' "$WORK/backup.json"); do MADE+=("snapshot $snapshot"); done
MADE+=("manifest $(basename "$WORK/backup.json") ($(jq '.disks | length' "$WORK/backup.json") disk(s))")

# The source keeps running and keeps its address: the restore gets a new one.
step "restore: a new instance from the manifest (image, instance, start, addresses, groups)" \
  restore --manifest "$WORK/backup.json" --name acw-demo-restored --poll-ms 200 --max-polls 50
RESTORED=$(value instance-id)
IMAGE=$(value image-id)
MADE+=("image $IMAGE" "instance $RESTORED")
DISKS=$(sed -n '/^DISK-ID/,$p' <<<"$OUT" | tail -n +2 | awk '{print $1}' | paste -sd, -)
[ -n "$DISKS" ] || fail "the restored instance has no disks"
ADDRESS=$(value private-ip)
EIP_ADDRESS=$(value eip-address)
NEW_EIP=$(value eip-allocation-id)
[ "$NEW_EIP" != "$SOURCE_EIP" ] || fail "the restored instance took the source's elastic IP"
MADE+=("eip $NEW_EIP ($EIP_ADDRESS)")
GROUPS_OF_RESTORED=$(sed -n 's/^security-group: //p' <<<"$OUT" | paste -sd, -)
[ -n "$GROUPS_OF_RESTORED" ] || fail "the restored instance has no security group"

step "clean up: the restored instance, its disks and its new elastic IP" \
  delete-instance --instance "$RESTORED" --with-disks --with-eip --poll-ms 200
while read -r removed; do REMOVED+=("$removed"); done < <(sed -n 's/^removed: //p' <<<"$OUT")
step "clean up: the image" delete-image --region "$REGION" --image "$IMAGE"
REMOVED+=("image $IMAGE")
step "clean up: the backup's snapshots" cleanup --manifest "$WORK/backup.json"
while read -r snapshot; do REMOVED+=("snapshot $snapshot"); done < <(sed -n 's/^deleted: //p' <<<"$OUT")

echo
echo "==> summary: backup and restore of $INSTANCE against the emulator"
echo "    restored instance: $RESTORED (address $ADDRESS, elastic IP $EIP_ADDRESS, groups $GROUPS_OF_RESTORED," \
  "disks $DISKS)"
echo "    made:"
printf '      %s\n' "${MADE[@]}"
echo "    removed:"
printf '      %s\n' "${REMOVED[@]}"
