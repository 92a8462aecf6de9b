#!/usr/bin/env bash
# The acw tool's contract with scripts, against a private acw-emulator on
# loopback: exit status 2 for usage errors (before anything is sent), 1 with the
# library's reason on standard error for failed operations, 0 with "key: value"
# lines for successes.
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
# expect <status> <text expected in stdout+stderr, or ""> <acw arguments...>
expect() {
  local want=$1 text=$2 got
  shift 2
  "$ACW" "$@" >"$WORK/out" 2>"$WORK/err"
  got=$?
  if [ "$got" != "$want" ]; then
    echo "FAIL: acw $* exited $got, expected $want"; cat "$WORK/out" "$WORK/err"
    FAILURES=$((FAILURES + 1))
  elif [ -n "$text" ] && ! grep -qF -- "$text" "$WORK/out" "$WORK/err"; then
    echo "FAIL: acw $*: no '$text' in"; cat "$WORK/out" "$WORK/err"
    FAILURES=$((FAILURES + 1))
  else
    echo "ok:   acw $* -> $got"
  fi
}

R=cn-hangzhou
D=d-acwdemo0000000001
I=i-acwemu00000000000001

# Usage errors.
expect 2 "no command given"
expect 2 "unknown command" frobnicate
expect 0 "eip-bind --allocation V --instance V" help
expect 2 "needs --disk" disk-info --region "$R"
expect 2 "has no option --access-key" connect --access-key x
expect 2 "wants a value" disk-info --region "$R" --disk
expect 2 "given twice" disk-info --region "$R" --region "$R" --disk "$D"
expect 2 "--wait needs --region" snapshot --disk "$D" --wait
expect 2 "wants a whole number" create-disk --region "$R" --zone "$R-h" --snapshot s-x --size-bytes 12x
ACW_ACCESS_KEY_SECRET= expect 2 "ACW_ACCESS_KEY_SECRET" connect

# Failures carry the library's last error.
ACW_ACCESS_KEY_SECRET=wrong expect 1 "SignatureDoesNotMatch" connect
expect 1 "disk-info failed:" disk-info --region "$R" --disk d-missing
expect 1 "InvalidInstanceId.NotFound" detach-disk --instance i-missing --disk "$D"
# A snapshot that needs four polls, allowed one: a bounded wait that fails.
expect 1 "did not complete within 1 polls" snapshot --disk "$D" --wait --region "$R" --max-polls 1 --poll-ms 0

# Successes.
expect 0 "instance-id: $I" instance-id
expect 0 "status: In_use" disk-info --region "$R" --disk "$D"
expect 0 "vpc: vpc-acwdemo0000000001" vpcs --region "$R"

[ "$FAILURES" -eq 0 ] || { echo "$FAILURES check(s) failed"; exit 1; }
echo "all acw checks hold"
