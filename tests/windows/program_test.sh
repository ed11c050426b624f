#!/usr/bin/env bash
# Black-box runs of the Windows program, started through an emulator.
#
#   program_test.sh CASE DIGITS NATIVE -- COMMAND...
#
# CASE is one of the functions below; DIGITS the file holding the first
# 10,000 decimals of pi on one line; NATIVE the program built for this host
# ("" if there is none: the comparison with it is then skipped, status 77);
# COMMAND the emulator and the program, as one command line.
set -uo pipefail

case_name=$1
digits_file=$2
native=$3
shift 4
run=("$@")

# The regional settings the program sees come from the locale Wine is given.
unset LC_ALL LC_CTYPE LC_NUMERIC LC_TIME
export LANG=C

work=$(mktemp -d "${TMPDIR:-/tmp}/quarnel-windows.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Runs the program with the replies given, in the current folder; leaves
# out.txt, err.txt and the exit status in $status.
run_program() {
  printf "$1" | "${run[@]}" >out.txt 2>err.txt
  status=$?
}

# Line n of a file, its CR kept.
line() { sed -n "$2p" "$1"; }

banner='Quarnel version 3.10 (c) the Quarnel authors / multithread - parallel processing'
prompt='Digits to calculate (multiple of 1,000, upto 10,000,000) = '
header_middle=' digits of the PI.  Caliculation time:'  # matched as a plain string

# The expected file after its header: "3." and the decimals, fifty a line in
# five blocks of ten, CR LF after every line.
expected_body() {
  printf '3.\r\n'
  { head -c "$1" "$digits_file"; echo; } | fold -w 50 | sed -E 's/(.{10})/\1 /g; s/ $//; s/$/\r/'
}

# 999 is refused without a line end; 1000 is accepted.
case_transcript() {
  run_program '999\r\n1000\r\n'
  [ "$status" -eq 0 ] || fail "exit status $status"
  [ -s err.txt ] && fail "standard error: $(cat err.txt)"
  {
    printf '%s\r\n\r\n' "$banner"
    printf '%s%s\r\n' "$prompt" "$prompt"
    printf '1,000 digits of the PI calculation started...\r\n'
  } >expected_head.txt
  head -n 4 out.txt | cmp -s - expected_head.txt || fail "opening lines: $(head -n 4 out.txt)"
  # The task lines come in the order the threads write them.
  sed -n 5,12p out.txt | sort >tasks.txt
  for k in 1 2 3 4; do printf 'Thread %s started\r\nThread %s finished\r\n' "$k" "$k"; done \
    | sort | cmp -s - tasks.txt || fail "task lines: $(cat tasks.txt)"
  printf '%s\r\n' 'Calculation finished.' 'Now converting the result to decimal' \
    'Finished successfully. Saved in pi.txt.' \
    | cmp -s - <(tail -n +13 out.txt) || fail "closing lines: $(tail -n +13 out.txt)"
}

# The same bytes as the host's own build, apart from the time taken.
case_matches_native() {
  [ -n "$native" ] || { echo "no native program to compare with"; exit 77; }
  run_program '1000\n'
  [ "$status" -eq 0 ] || fail "exit status $status"
  mv pi.txt windows.txt
  printf '1000\n' | LANG=C "$native" >/dev/null || fail "the native program failed"
  sed -E '1s/time:[^\r]*/time:/' windows.txt >windows_plain.txt
  sed -E '1s/time:[^\r]*/time:/' pi.txt >native_plain.txt
  cmp windows_plain.txt native_plain.txt || fail "pi.txt differs from the native program's"
}

# 10,000 decimals, laid out, against the independent digits.
case_digits_10000() {
  run_program '10000\n'
  [ "$status" -eq 0 ] || fail "exit status $status"
  [[ "$(line pi.txt 1)" =~ ^10,000"$header_middle"[0-9]{1,2}:[0-9]{2}:[0-9]{2}$'\r'$ ]] \
    || fail "header: $(line pi.txt 1)"
  tail -n +2 pi.txt | cmp - <(expected_body 10000) || fail "the digits differ"
}

# A directory named pi.txt: "Access denied", status 217, no closing message.
case_directory_in_the_way() {
  mkdir pi.txt
  run_program '1000\n'
  [ "$status" -eq 217 ] || fail "exit status $status"
  [[ "$(line err.txt 1)" =~ ^An\ unhandled\ exception\ occurred\ at\ \$[0-9A-F]{8}:$'\r'$ ]] \
    || fail "report line 1: $(line err.txt 1)"
  [ "$(line err.txt 2)" = $'EInOutError: Access denied\r' ] \
    || fail "report line 2: $(line err.txt 2)"
  [ "$(tail -n 1 out.txt)" = $'Now converting the result to decimal\r' ] \
    || fail "last console line: $(tail -n 1 out.txt)"
}

# German settings: "." between thousands, hours with a leading zero.
case_german_settings() {
  LANG=de_DE.UTF-8 run_program '1000\n'
  [ "$status" -eq 0 ] || fail "exit status $status"
  grep -qxF $'1.000 digits of the PI calculation started...\r' out.txt \
    || fail "start line: $(line out.txt 5)"
  [[ "$(line pi.txt 1)" =~ ^1\.000"$header_middle"[0-9]{2}:[0-9]{2}:[0-9]{2}$'\r'$ ]] \
    || fail "header: $(line pi.txt 1)"
  tail -n +2 pi.txt | cmp - <(expected_body 1000) || fail "the digits differ"
}

"case_$case_name"
[ "$failures" -eq 0 ] || exit 1
echo "ok: $case_name"
