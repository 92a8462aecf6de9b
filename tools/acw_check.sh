#!/usr/bin/env bash
# The acw tool's contract with operators and scripts, against a private
# acw-emulator on loopback (and, for --emulator, the tool's own): exit status 2
# for usage errors (before anything is sent), 1 with the operation, the
# resource and the reason on standard error for failed operations, 0 with
# "key: value" lines or one JSON document holding the same facts; where the
# access key and region come from.
#   acw_check.sh <acw-emulator> <acw>
set -uo pipefail
EMULATOR=$1
ACW=$2
# shellcheck source=tools/emulator_session.sh
. "$(dirname "$0")/emulator_session.sh"
WORK=$(mktemp -d)
trap 'stop_emulator; rm -rf "$WORK"' EXIT
start_emulator "$EMULATOR" "$WORK" || exit 1

FAILURES=0
fail() {
  echo "FAIL: $*"; cat "$WORK/out" "$WORK/err"
  FAILURES=$((FAILURES + 1))
}
# Every acw below runs as: env "${ENVIRONMENT[@]}" acw ...
ENVIRONMENT=()
with_env() { ENVIRONMENT=("$@"); }
acw() { env "${ENVIRONMENT[@]}" "$ACW" "$@" >"$WORK/out" 2>"$WORK/err"; }
# expect <status> <text expected in stdout+stderr, or ""> <acw arguments...>
expect() {
  local want=$1 text=$2 got
  shift 2
  acw "$@"
  got=$?
  if [ "$got" != "$want" ]; then
    fail "acw $* exited $got, expected $want"
  elif [ -n "$text" ] && ! grep -qF -- "$text" "$WORK/out" "$WORK/err"; then
    fail "acw $*: no '$text' in"
  else
    echo "ok:   acw $* -> $got"
  fi
}

R=cn-hangzhou
D=d-acwdemo0000000001
I=i-acwemu00000000000001

# ---- usage errors: nothing is sent
expect 2 "no command given"
expect 2 "unknown command 'frobnicate'" frobnicate
expect 0 "eip-bind" help
expect 0 "--allocation" help eip-bind
expect 2 "no command 'nope'" help nope
expect 0 "acw 0." --version
expect 2 "--disk is required" disk-info --region "$R"
expect 2 "access-key" connect --access-key x
expect 2 "--disk" disk-info --region "$R" --disk
expect 2 "--region: At Most 1" disk-info --region "$R" --region "$R" --disk "$D"
expect 2 "--wait needs --region" snapshot --disk "$D" --wait
expect 2 "--size-bytes" create-disk --region "$R" --zone "$R-h" --snapshot s-x --size-bytes 12x
expect 2 "--max-polls" snapshot --disk "$D" --max-polls 0

# ---- failures name the operation, the resource and the service's code
expect 1 "disk-info failed for disk d-missing:" disk-info --region "$R" --disk d-missing
expect 1 "InvalidInstanceId.NotFound" detach-disk --instance i-missing --disk "$D"
expect 1 "InvalidInstanceId.NotFound" detach-disk --region "$R" --instance i-missing --disk "$D"
expect 1 "InvalidAllocationId.NotFound" eip-release --allocation eip-missing
# A snapshot that needs four polls, allowed one: a bounded wait that fails.
expect 1 "did not complete within 1 polls" snapshot --disk "$D" --wait --region "$R" --max-polls 1 --poll-ms 0
# The time bound stops before a pause that would end past it (no real wait).
expect 1 "did not complete within 1 seconds" snapshot --disk "$D" --wait --region "$R" --timeout 1 --poll-ms 1000

# ---- successes; the region from ALIBABA_CLOUD_REGION_ID
expect 0 "instance-id: $I" instance-id
expect 0 "status: In_use" disk-info --region "$R" --disk "$D"
expect 0 "vpc-acwdemo0000000001  acw-demo-vpc" vpcs --region "$R"
expect 0 "rm-acwdemo0000000002   PostgreSQL  14.0" databases
expect 2 "--engine: oracle not in" databases --engine oracle
# One region: its name, as in the list of every region, and its instances.
expect 0 "cn-shanghai  China (Shanghai)" inventory --region cn-shanghai
grep -q "^i-acwinv000000000003 " "$WORK/out" || fail "inventory --region: the region's instances"
expect 0 "zones: 10" inventory --zones
expect 2 "'instance-types' needs --region" instance-types
expect 0 "ecs.t5-lc2m1.nano" instance-types --region cn-shanghai --zone cn-shanghai-e
# An instance's deleted image is listed as not available, beside the others.
expect 0 "m-acwinvdeleted00001  no" images --region cn-shanghai
with_env ALIBABA_CLOUD_REGION_ID="$R"
expect 0 "zone: cn-hangzhou-h" disk-info --disk "$D"
expect 0 "completed: yes" snapshot --disk "$D" --wait --poll-ms 0
with_env

# ---- where the access key comes from. Profiles in the official CLI's format.
NOKEY=(-u ALIBABA_CLOUD_ACCESS_KEY_ID -u ALIBABA_CLOUD_ACCESS_KEY_SECRET -u ACW_ACCESS_KEY_ID
       -u ACW_ACCESS_KEY_SECRET -u ALIBABA_CLOUD_PROFILE -u ALIBABA_CLOUD_REGION_ID)
make_home() {  # make_home <name> <current profile>
  mkdir -p "$WORK/$1/.aliyun"
  cat >"$WORK/$1/.aliyun/config.json" <<JSON
{"current": "$2", "meta_path": "", "profiles": [
  {"name": "main", "mode": "AK", "access_key_id": "acw-demo-key", "access_key_secret": "acw-demo-secret",
   "region_id": "$R", "output_format": "json", "language": "en"},
  {"name": "wrong", "mode": "AK", "access_key_id": "acw-demo-key", "access_key_secret": "not-it"},
  {"name": "sts", "mode": "StsToken", "access_key_id": "STS.x", "access_key_secret": "y", "sts_token": "z"}]}
JSON
}
make_home home-main main
make_home home-sts sts
mkdir -p "$WORK/home-none"
MAIN=HOME=$WORK/home-main STS=HOME=$WORK/home-sts NONE=HOME=$WORK/home-none
# The environment first, over the profile:
with_env "${NOKEY[@]}" "$MAIN" ALIBABA_CLOUD_ACCESS_KEY_ID=acw-demo-key ALIBABA_CLOUD_ACCESS_KEY_SECRET=wrong
expect 1 "connect failed for access key acw-demo-key (from ALIBABA_CLOUD_ACCESS_KEY_ID" connect
expect 1 "SignatureDoesNotMatch" connect
# ... unless --profile chooses one; the profile's region is the default.
expect 0 "connected: yes" connect --profile main
expect 0 "status: In_use" disk-info --disk "$D" --profile main
# The config file's current profile, or the one ALIBABA_CLOUD_PROFILE names.
with_env "${NOKEY[@]}" "$MAIN"
expect 0 "connected: yes" connect
expect 1 "SignatureDoesNotMatch" connect --profile wrong
with_env "${NOKEY[@]}" "$MAIN" ALIBABA_CLOUD_PROFILE=wrong
expect 1 "SignatureDoesNotMatch" connect
# A missing profile, a profile of another mode: said plainly, nothing sent.
with_env "${NOKEY[@]}" "$MAIN"
expect 2 "no profile 'missing' in $WORK/home-main/.aliyun/config.json" connect --profile missing
expect 2 "uses mode StsToken; acw supports only mode AK" connect --profile sts
with_env "${NOKEY[@]}" "$STS" ACW_ACCESS_KEY_ID=acw-demo-key ACW_ACCESS_KEY_SECRET=acw-demo-secret
expect 2 "uses mode StsToken" connect
# No config file: the older variables, then nothing.
with_env "${NOKEY[@]}" "$NONE" ACW_ACCESS_KEY_ID=acw-demo-key ACW_ACCESS_KEY_SECRET=acw-demo-secret
expect 0 "connected: yes" connect
expect 2 "(the file cannot be read)" connect --profile main
with_env "${NOKEY[@]}" "$NONE"
expect 2 "no access key" connect
with_env "${NOKEY[@]}" "$NONE" ALIBABA_CLOUD_ACCESS_KEY_ID=acw-demo-key
expect 2 "ALIBABA_CLOUD_ACCESS_KEY_SECRET is empty" connect

# ---- --emulator: a fresh machine, no settings file, no variables at all.
with_env -i PATH="$PATH" HOME="$WORK/home-none"
expect 0 "connected: yes" --emulator connect
expect 0 "instance-id: $I" instance-id --emulator
# One request a poll, and the emulator advances a snapshot 25% per look.
expect 0 "polls: 4" --emulator snapshot --disk "$D" --wait --poll-ms 0
with_env

# ---- --json: one document with the same facts as the text.
# text_of_json: the document's scalars and lists of scalars as "key: value" lines,
# each (non-empty) table of a command's several as its "key: count" line (the
# one list of a command has its "count" already).
text_of_json() {
  jq -r 'has("count") as $list | to_entries[] | .key as $k
         | (.value | if type == "array" and (.[0] | type) == "object" then (if $list then empty else length end)
                     elif type == "array" then .[] else . end)
         | select(type != "object")
         | "\($k): \(if . == true then "yes" elif . == false then "no" else . end)"' "$WORK/out"
}
same_facts() {  # same_facts <acw arguments...>: text and JSON forms agree
  acw "$@" || { fail "acw $*"; return; }
  # Lists (aligned tables) are compared by their ids below; new snapshots differ by id.
  grep -E '^[a-z0-9-]+: ' "$WORK/out" | sed 's/s-acw[0-9]*/s-NEW/' >"$WORK/text"
  acw --json "$@" || { fail "acw --json $*"; return; }
  if ! jq -e . "$WORK/out" >/dev/null || [ "$(wc -l <"$WORK/out")" -ne 1 ]; then
    fail "acw --json $*: not one JSON document"
  elif ! diff <(text_of_json | sed 's/s-acw[0-9]*/s-NEW/') "$WORK/text" >"$WORK/err"; then
    fail "acw --json $*: the facts differ from the text"
  else
    echo "ok:   acw --json $* holds the text's facts"
  fi
}
same_facts disk-info --region "$R" --disk "$D"
same_facts instance-id
same_facts snapshot --disk "$D" --wait --region "$R" --poll-ms 0
same_facts vpcs --region "$R"
acw --json vpcs --region "$R"
[ "$(jq -r '.vpcs[0]."vpc-id"' "$WORK/out")" = vpc-acwdemo0000000001 ] || fail "vpcs: the list in JSON"
same_facts databases --engine postgresql
same_facts inventory --region cn-shanghai --zones --networks
# A usage error and a failure: still one document, the error with operation, resource and code.
acw --json disk-info --region "$R"
[ "$(jq -r '.error.operation' "$WORK/out")" = usage ] || fail "the JSON usage error document"
acw --json detach-disk --region "$R" --instance i-missing --disk "$D"
[ "$(jq -r '.error | "\(.operation)|\(.resource)|\(.code)"' "$WORK/out")" = \
  "detach-disk|disk $D of i-missing|InvalidInstanceId.NotFound" ] || fail "the JSON error document"

[ "$FAILURES" -eq 0 ] || { echo "$FAILURES check(s) failed"; exit 1; }
echo "all acw checks hold"
