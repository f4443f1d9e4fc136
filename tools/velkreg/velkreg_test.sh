#!/usr/bin/env bash
# Runs velkreg as a user would, against a registry in a fresh folder, and checks what it prints,
# its exit status, and that refused commands leave the registry as it was.
set -uo pipefail
velkreg=${1:?usage: velkreg_test.sh path/to/velkreg}
[ -x "$velkreg" ] || { echo "no velkreg at $velkreg" >&2; exit 1; }
export VELK_REGISTRY_DIR=$(mktemp -d)
work=$(mktemp -d)
trap 'rm -rf "$VELK_REGISTRY_DIR" "$work"' EXIT
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# run ARGS...: runs velkreg, leaving its status, stdout and stderr in $status, $out, $err.
run() {
  "$velkreg" "$@" >"$work/out" 2>"$work/err"
  status=$?
  out=$(cat "$work/out")
  err=$(cat "$work/err")
}

# expect_ok ARGS...: velkreg succeeds.
expect_ok() {
  run "$@"
  [ "$status" -eq 0 ] || fail "velkreg $* exited $status: $err"
}

# expect_output EXPECTED ARGS...: velkreg succeeds and prints exactly EXPECTED.
expect_output() {
  local expected=$1
  shift
  expect_ok "$@"
  [ "$out" = "$expected" ] || fail "velkreg $*: expected [$expected], got [$out]"
}

# expect_error STATUS MESSAGE ARGS...: velkreg exits with STATUS and says MESSAGE on stderr only.
expect_error() {
  local expected_status=$1 message=$2
  shift 2
  run "$@"
  [ "$status" -eq "$expected_status" ] || fail "velkreg $*: expected status $expected_status, got $status"
  [[ "$err" == *"$message"* ]] || fail "velkreg $*: expected [$message] on stderr, got [$err]"
  [ -z "$out" ] || fail "velkreg $*: printed [$out] on stdout"
}

snapshot() {
  "$velkreg" export HKLM - >"$work/$1" || fail "export for snapshot $1"
}

key='HKLM\SOFTWARE\Velk\DataServer'

expect_ok --help
[[ "$out" == *"velkreg query KEY"* ]] || fail "--help prints no usage"

# Each type as added on the command line, and as query shows it.
while IFS='|' read -r expected args; do
  eval "set -- $args"
  expect_ok add "$key" "$@"
  expect_output "$expected" query "$key" --value "$2"
done <<'EOF'
"AnsiCodePage"="WINDOWS-1252"|--value AnsiCodePage --data WINDOWS-1252
"Port"=dword:0000115d|--value Port --type REG_DWORD --data 0x115d
"Decimal"=dword:ffffffff|--value Decimal --type reg_dword --data 4294967295
"Blob"=hex:00,01,ff|--value Blob --type REG_BINARY --data 00,01,ff
"Packed"=hex:0a,0b|--value Packed --type REG_BINARY --data 0a0b
"Classes"=multi:"{A}","{B}"|--value Classes --type REG_MULTI_SZ --data {A} --data {B}
"Nothing"=none:|--value Nothing --type REG_NONE
@="default"|--value "" --data default
"Quoted"="say \"hi\"\\n"|--value Quoted --data 'say "hi"\n'
EOF

expect_output 'HKLM\SOFTWARE\Velk\DataServer
    @="default"
    "AnsiCodePage"="WINDOWS-1252"
    "Blob"=hex:00,01,ff
    "Classes"=multi:"{A}","{B}"
    "Decimal"=dword:ffffffff
    "Nothing"=none:
    "Packed"=hex:0a,0b
    "Port"=dword:0000115d
    "Quoted"="say \"hi\"\\n"' query "$key"

expect_ok add "$key\\DataProviders"
expect_output 'HKLM\software\velk

HKLM\software\velk\DataServer' query 'hkey_local_machine\software\velk'

# Refused command lines and failures: the status, a message, and nothing changed.
snapshot before
while IFS='|' read -r status message args; do
  eval "set -- $args"
  expect_error "$status" "$message" "$@"
done <<'EOF'
2|no command given|
2|unknown command|frobnicate HKLM
2|bad key|add HKXX\\a
2|unknown type|add HKLM\\a --value v --type REG_QWORD
2|REG_DWORD data|add HKLM\\a --value v --type REG_DWORD --data 4294967296
2|REG_DWORD data|add HKLM\\a --value v --type REG_DWORD --data -1
2|REG_DWORD data|add HKLM\\a --value v --type REG_DWORD
2|REG_BINARY data|add HKLM\\a --value v --type REG_BINARY --data 0g
2|REG_BINARY data|add HKLM\\a --value v --type REG_BINARY --data 001
2|REG_NONE takes no --data|add HKLM\\a --value v --type REG_NONE --data x
2|must not be empty|add HKLM\\a --value v --type REG_MULTI_SZ --data a --data ""
2|only REG_MULTI_SZ|add HKLM\\a --value v --data a --data b
2|need --value|add HKLM\\a --data x
2|needs an argument|query HKLM --value
2|unknown option|query HKLM --recursive
2|export takes KEY and FILE|export HKLM
1|cannot find|query HKLM\\Missing
1|cannot find|query HKLM\\SOFTWARE --value missing
1|cannot find|delete HKLM\\Missing
1|root key cannot be deleted|delete HKCU
1|cannot find|export HKLM\\Missing -
1|No such file|import /nonexistent/file.txt
EOF
# Keys and values beyond the system's limits: refused with the limit named, nothing written.
deep=$(printf '\\a%.0s' $(seq 513))
expect_error 2 "more than 255 characters" add "HKLM\\$(printf 'k%.0s' $(seq 256))"
expect_error 2 "more than 512 levels" add "HKLM$deep"
expect_error 2 "more than 16383 characters" add 'HKLM\a' --value "$(printf 'v%.0s' $(seq 16384))"
printf 'Velk Registry 1\n[HKLM\\New]\n[HKLM%s]\n' "$deep" >"$work/deep.txt"
expect_error 1 "line 3: a key path has more than 512 levels" import "$work/deep.txt"
snapshot after
cmp -s "$work/before" "$work/after" || fail "refused commands changed the registry"

# Export, delete, import: the same registry again.
expect_ok export 'HKLM\SOFTWARE' "$work/exported.txt"
expect_ok delete 'HKLM\SOFTWARE'
expect_error 1 "cannot find" query 'HKLM\SOFTWARE'
expect_ok import "$work/exported.txt"
snapshot reimported
cmp -s "$work/before" "$work/reimported" || fail "export and import did not round-trip"

# Import is all or nothing: a fault on the last line leaves everything as it was.
cat >"$work/bad.txt" <<'EOF'
Velk Registry 1

[-HKLM\SOFTWARE\Velk]

[HKCU\Software\New]
"Fine"=dword:00000001
"Broken"=dword:xyz
EOF
expect_error 1 "line 7" import "$work/bad.txt"
snapshot after_bad
cmp -s "$work/before" "$work/after_bad" || fail "a failed import changed HKLM"
expect_error 1 "cannot find" query 'HKCU\Software\New'

# A good file from standard input: deletion of a value and a key, new values.
printf 'Velk Registry 1\n[HKLM\\SOFTWARE\\Velk\\DataServer]\n"Port"=-\n[-HKLM\\SOFTWARE\\Velk\\DataServer\\DataProviders]\n[HKCU\\Software\\New]\n"Fine"=dword:00000001\n' |
  "$velkreg" import - || fail "import from standard input"
expect_error 1 "cannot find" query "$key" --value Port
expect_error 1 "cannot find" query "$key\\DataProviders"
expect_output '"Fine"=dword:00000001' query 'HKCU\Software\New' --value fine

expect_ok delete "$key" --value Blob
expect_error 1 "cannot find" query "$key" --value Blob

if [ "$failures" -gt 0 ]; then
  echo "$failures failure(s)" >&2
  exit 1
fi
echo "velkreg command line: all passed"
