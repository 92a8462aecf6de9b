#!/usr/bin/env bash
# acw backup, restore and cleanup against a private acw-emulator, each case
# read back from the emulator's world: a backup writes a manifest that restore
# reads; a restore that fails at any step leaves nothing it made (unless
# --keep-on-failure); a backup that cannot complete lists the snapshots it
# made; cleanup deletes a backup's snapshots; --json holds the same facts.
#   acw_backup_check.sh <acw-emulator> <acw>
set -uo pipefail
EMULATOR=$(realpath "$1")
ACW=$(realpath "$2")
# shellcheck source=tools/emulator_session.sh
. "$(dirname "$0")/emulator_session.sh"
WORK=$(mktemp -d)
trap 'stop_emulator; rm -rf "$WORK"' EXIT
start_emulator "$EMULATOR" "$WORK" || exit 1
cd "$WORK" || exit 1

FAILURES=0
fail() {
  echo "FAIL: $*"; cat "$WORK/out" "$WORK/err"
  FAILURES=$((FAILURES + 1))
}
ok() { echo "ok:   $*"; }
acw() { "$ACW" "$@" >"$WORK/out" 2>"$WORK/err"; }
control() {  # control <method> <route> [json body]
  curl -sf --cacert "$WORK/ca.pem" -X "$1" ${3:+-d "$3"} "https://127.0.0.1:$HTTPS_PORT/_emulator/$2"
}
# What a restore may make: instances, images, disks, elastic IPs, by id.
made_ids() {
  control GET world | jq -r '[.Instances[].InstanceId, .Images[].ImageId, .Disks[].DiskId,
                               .EipAddresses[].AllocationId] | sort | .[]'
}
snapshot_ids() { control GET world | jq -r '.Snapshots[].SnapshotId' | sort; }
I=i-acwemu00000000000001
WAIT=(--poll-ms 0 --max-polls 20)
SOURCE_EIP=eip-acwdemo0000000001
SG2=sg-acwcheck000000002

# The source gets what a restore must carry over: a second security group, a
# public IP and the world's elastic IP. That address stays bound to the source,
# so every restore makes a new one.
control POST seed "$(control GET world | jq -c --arg i "$I" --arg sg "$SG2" '{
  SecurityGroups: [{SecurityGroupId: $sg, VpcId: "vpc-acwdemo0000000001", _RegionId: "cn-hangzhou"}],
  Instances: [.Instances[] | select(.InstanceId == $i) | .SecurityGroupIds.SecurityGroupId += [$sg]
              | .PublicIpAddress.IpAddress = ["47.100.0.9"] | .InternetMaxBandwidthOut = 5]}')" >/dev/null &&
  acw eip-bind --allocation "$SOURCE_EIP" --instance "$I" || fail "setting up the source instance"

# ---- backup -> manifest -> restore, and the manifest's facts in the JSON output
if acw --json backup --instance "$I" --out b1.json "${WAIT[@]}"; then
  manifest_snapshots=$(jq -r '[.disks[]."snapshot-id"] | join(",")' b1.json)
  output_snapshots=$(jq -r '[.disks[]."snapshot-id"] | join(",")' "$WORK/out")
  if [ -z "$manifest_snapshots" ] || [ "$manifest_snapshots" != "$output_snapshots" ] ||
     [ "$(jq -r '.disks[0] | "\(.device) \(.order) \(."system-disk")"' b1.json)" != "/dev/xvda 0 true" ] ||
     [ "$(jq -r '.manifest' "$WORK/out")" != b1.json ] ||
     ! jq -e '."config-document" | fromjson | .InstanceId == "'"$I"'"' b1.json >/dev/null; then
    fail "backup: the manifest and the JSON output disagree"
  else
    ok "backup wrote the manifest its JSON output describes"
  fi
else
  fail "acw backup"
fi
expect_usage() {  # expect_usage <text> <acw arguments...>
  local text=$1; shift
  if acw "$@"; [ $? -eq 2 ] && grep -qF -- "$text" "$WORK/err"; then ok "usage: $text"; else fail "usage: $text"; fi
}
expect_usage "b1.json exists" backup --instance "$I" --out b1.json
echo '{"format": "acw-backup-manifest", "version": 1}' >bad.json
expect_usage "bad.json is not usable: the file lacks \"created\"" restore --manifest bad.json
echo "not json" >nj.json
expect_usage "nj.json is not JSON" cleanup --manifest nj.json

BEFORE=$(made_ids)
if acw --json restore --manifest b1.json "${WAIT[@]}"; then
  NEW=$(jq -r '."instance-id"' "$WORK/out")
  IMAGE=$(jq -r '."image-id"' "$WORK/out")
  EIP=$(jq -r '."eip-allocation-id"' "$WORK/out")
  world_instance=$(control GET world | jq -c --arg id "$NEW" '.Instances[] | select(.InstanceId == $id)
                   | [.Status, .ImageId, (.SecurityGroupIds.SecurityGroupId | join(",")), .EipAddress.AllocationId,
                      (.PublicIpAddress.IpAddress | length)]')
  if [ "$world_instance" != "[\"Running\",\"$IMAGE\",\"sg-acwdemo0000000001,$SG2\",\"$EIP\",1]" ] ||
     [ "$EIP" = "$SOURCE_EIP" ] || [ "$(jq '.disks | length' "$WORK/out")" != "$(jq '.disks | length' b1.json)" ]; then
    fail "restore: the new instance $NEW is not the backed-up one ($world_instance)"
  else
    ok "restore made $NEW from $IMAGE, running, with its disks, groups, public IP and a new EIP $EIP"
  fi
  # Removing the restore again: back to the world before it.
  acw delete-instance --instance "$NEW" --with-disks --with-eip "${WAIT[@]}" &&
    acw delete-image --image "$IMAGE" --region cn-hangzhou
  [ "$(made_ids)" = "$BEFORE" ] && ok "delete-instance and delete-image remove the restore" ||
    fail "what the restore made is not gone"
else
  fail "acw restore"
fi

# ---- a restore that fails at each step leaves nothing it made, removed in order
restore_fails_clean() {  # restore_fails_clean <action refused> <text of the reason> <kinds removed, in order>
  local before
  before=$(made_ids)
  control POST faults "{\"kind\":\"ErrorResponse\",\"action\":\"$1\",\"code\":\"Forbidden.RiskControl\",\"status\":403}" >/dev/null
  if acw --json restore --manifest b1.json "${WAIT[@]}"; then
    fail "restore succeeded despite a refused $1"
  elif [ "$(made_ids)" != "$before" ] || [ "$(jq -r '."not-removed" | length' "$WORK/out")" != 0 ] ||
       ! grep -qF "$2" "$WORK/err" || [ "$(jq -r .error.code "$WORK/out")" != Forbidden.RiskControl ] ||
       [ "$(jq -r '[.removed[] | split(" ")[0]] | join(" ")' "$WORK/out")" != "$3" ]; then
    fail "restore with a refused $1 left: $(diff <(echo "$before") <(made_ids) | grep '^>')"
  else
    ok "refused $1: removed $(jq -c .removed "$WORK/out")"
  fi
  control DELETE faults >/dev/null
}
restore_fails_clean CreateImage "the image creation failed" ""
restore_fails_clean CreateInstance "the instance creation failed" "image"
restore_fails_clean StartInstance "the start of the instance failed" "instance image"
# A refused bind: the new address is released at once, the rest by the undo.
restore_fails_clean AssociateEipAddress "the peripheral components failed" "instance image"
# A refused public IP after the new address was bound: the undo releases it.
restore_fails_clean AllocatePublicIpAddress "the peripheral components failed" "instance eip image"

# --keep-on-failure keeps the image for inspection, and says so.
control POST faults '{"kind":"ErrorResponse","action":"CreateInstance","code":"Forbidden.RiskControl","status":403}' >/dev/null
acw --json restore --manifest b1.json --keep-on-failure "${WAIT[@]}"
KEPT=$(jq -r '.kept[0]' "$WORK/out")
if [ "${KEPT%% *}" = image ] && made_ids | grep -qx "${KEPT#image }"; then
  ok "--keep-on-failure kept $KEPT"
  acw delete-image --image "${KEPT#image }" --region cn-hangzhou || fail "delete-image ${KEPT#image }"
else
  fail "--keep-on-failure"
fi
control DELETE faults >/dev/null

# ---- a backup that cannot complete names what it made, and writes no manifest
SNAPSHOTS=$(snapshot_ids)
control POST faults '{"kind":"ErrorResponse","action":"CreateSnapshot","code":"Forbidden.RiskControl","status":403}' >/dev/null
acw backup --instance "$I" --out b2.json "${WAIT[@]}"
[ $? -eq 1 ] && grep -qF "no snapshot was made" "$WORK/err" && [ ! -e b2.json ] &&
  [ "$(snapshot_ids)" = "$SNAPSHOTS" ] && ok "a refused snapshot: nothing made" || fail "refused snapshot"
control DELETE faults >/dev/null
acw --json backup --instance "$I" --out b2.json --poll-ms 0 --max-polls 1
MADE=$(jq -r '."snapshots-made"[0]' "$WORK/out")
grep -qF "did not complete within 1 polls; the snapshots already made (kept, no manifest written): $MADE" \
  "$WORK/err" && [ ! -e b2.json ] && snapshot_ids | grep -qx "$MADE" &&
  ok "the bound reached: $MADE listed and kept" || fail "the bounded backup"

# ---- cleanup deletes the backup's snapshots; again, they are already gone
# (the restored image that used them is deleted above)
if acw cleanup --manifest b1.json && ! snapshot_ids | grep -qxF "$(jq -r '.disks[0]."snapshot-id"' b1.json)" &&
   acw --json cleanup --manifest b1.json && [ "$(jq -c '[.deleted, ."already-gone"]' "$WORK/out")" = \
   "[[],$(jq -c '[.disks[]."snapshot-id"]' b1.json)]" ]; then
  ok "cleanup deleted the backup's snapshots"
else
  fail "cleanup"
fi

[ "$FAILURES" -eq 0 ] || { echo "$FAILURES check(s) failed"; exit 1; }
echo "all backup and restore checks hold"
