#!/usr/bin/env bash
# Builds the Windows programs twice, from the work tree and from a copy of it, and signs them with a throw-away certificate; prints "N passed, N failed".
#
# Usage: windows/tests/rebuild_and_sign.sh BUILD_DIR
#   Build A is the work tree's, into BUILD_DIR (relative to the work tree, as for
#   scripts/build-windows.sh); it is signed into BUILD_DIR/signed, which the Wine tests then run.
#   Build B is a copy of the tree (with its git history) in a temporary folder whose path has
#   another length, started at least 60 s after A with another TZ and umask. A and B must be
#   byte-identical; the signing round trips must give back the same bytes.
# Environment: SIGNED_READY (a file made as soon as BUILD_DIR/signed is ready, so that tests can
# run on it while build B goes on), BUILD_B_NICENESS (nice value of build B; default 0).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
build_a=$repo/${1:?usage: rebuild_and_sign.sh BUILD_DIR}
host=x86_64-w64-mingw32
# shellcheck source=windows/tests/results.sh
source "$here/results.sh"

work=$(mktemp -d)
tsa_pid=""
trap '[ -z "$tsa_pid" ] || kill "$tsa_pid" 2>/dev/null; rm -rf "$work"' EXIT
copy=$work/copy-of-the-tree
[ ${#copy} -ne ${#repo} ] || copy=${copy}-b
build_b=$copy/build-win

# The copy is taken before build A starts, so that both see the same files.
mkdir -p "$copy"
git -C "$repo" ls-files -z --cached --others --exclude-standard |
  tar -C "$repo" --null --files-from=- --ignore-failed-read -cf - | tar -C "$copy" -xf -
cp -a "$repo/.git" "$copy/"

pe_headers() { "$host-objdump" -p "$1" | sed -n '1,/^The Data Directory/p'; }

# Shows how two files differ: for pictures and programs the differing offsets, for programs also
# their PE headers side by side; for text files the changed lines.
show_difference() {
  case $1 in
    *.exe | *.bmp)
      echo "  sizes $(stat -c %s "$1") and $(stat -c %s "$2"); $(cmp -l "$1" "$2" 2>/dev/null | wc -l) bytes differ, first (offset, octal bytes):"
      cmp -l "$1" "$2" 2>/dev/null | head -n 20 | awk '{ printf "    0x%08x  %s  %s\n", $1 - 1, $2, $3 }' || true
      ;;
    *) diff -u "$1" "$2" || true ;;
  esac
  case $1 in
    *.exe)
      echo "  PE headers of both (- first, + second):"
      diff -U 100 <(pe_headers "$1") <(pe_headers "$2") | tail -n +3 || true
      ;;
  esac
}

expect_same_file() {
  if cmp -s "$2" "$3"; then
    pass "$1"
  else
    fail "$1: $2 and $3 differ"
    show_difference "$2" "$3"
  fi
}

echo "== build A: the work tree, TZ=QST11 (11 h behind UTC), umask 022"
started_a=$SECONDS
(umask 022 && cd "$repo" && TZ=QST11 bash scripts/build-windows.sh "$build_a")
epoch=$(sed -n 's/^SOURCE_DATE_EPOCH: \([0-9]*\).*/\1/p' "$build_a/out/BUILDINFO")

echo "== signing build A with a throw-away code-signing certificate"
keys=$work/keys
mkdir -p "$keys"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Quorvane test publisher" \
  -addext keyUsage=critical,digitalSignature -addext extendedKeyUsage=critical,codeSigning \
  -keyout "$keys/signer.key" -out "$keys/signer.pem" 2>/dev/null
export SIGN_CERT=$keys/signer.pem SIGN_KEY=$keys/signer.key
rm -rf "$build_a/signed"
expect "build A is signed" bash "$repo/scripts/sign-windows.sh" sign "$build_a/out" "$build_a/signed"
signing_time=$(TZ=UTC0 LC_ALL=C date -d "@$epoch" '+%b %e %H:%M:%S %Y GMT')
for program in checker checkerw notifier; do
  if osslsigncode verify -CAfile "$SIGN_CERT" -in "$build_a/signed/$program.exe" >"$work/verify.log" 2>&1 &&
    grep -q "Signing time: $signing_time" "$work/verify.log"; then
    pass "osslsigncode verify passes for the signed $program.exe, signed at SOURCE_DATE_EPOCH ($signing_time)"
  else
    fail "osslsigncode verify passes for the signed $program.exe, signed at SOURCE_DATE_EPOCH ($signing_time)"
    cat "$work/verify.log"
  fi
  rm -f "$work/unsigned.exe"
  osslsigncode remove-signature -in "$build_a/signed/$program.exe" -out "$work/unsigned.exe" >/dev/null || true
  expect_same_file "removing the signature of $program.exe gives back the unsigned program" \
    "$build_a/out/$program.exe" "$work/unsigned.exe"
done
cp "$SIGN_KEY" "$copy/signer.key"
if ! SIGN_KEY=$copy/signer.key bash "$copy/scripts/sign-windows.sh" sign "$build_a/out" "$work/refused" \
  2>"$work/refused.log" >/dev/null && grep -q 'SIGN_KEY lies inside the work tree' "$work/refused.log"; then
  pass "a key inside the work tree is refused"
else
  fail "a key inside the work tree is refused"
  cat "$work/refused.log"
fi
rm -f "$copy/signer.key"
[ -z "${SIGNED_READY:-}" ] || touch "$SIGNED_READY"

echo "== signing build A again with the same key on a PKCS#11 token (SoftHSM)"
bash "$repo/scripts/apt-install.sh" softhsm2 opensc >/dev/null
export SOFTHSM2_CONF=$keys/softhsm2.conf
mkdir -p "$keys/tokens"
printf 'directories.tokendir = %s\nobjectstore.backend = file\n' "$keys/tokens" >"$SOFTHSM2_CONF"
echo 1234 >"$keys/pin"
module=/usr/lib/softhsm/libsofthsm2.so
softhsm2-util --init-token --free --label quorvane-test --pin 1234 --so-pin 123456 >/dev/null
openssl pkey -in "$SIGN_KEY" -outform DER -out "$keys/signer.der"
pkcs11-tool --module "$module" --token-label quorvane-test --login --pin 1234 \
  --write-object "$keys/signer.der" --type privkey --id 01 --label signer >/dev/null
SIGN_PKCS11_MODULE=$module SIGN_KEY='pkcs11:token=quorvane-test;object=signer;type=private' \
  SIGN_PASS_FILE=$keys/pin bash "$repo/scripts/sign-windows.sh" sign "$build_a/out" "$work/token-signed" >/dev/null || true
for program in checker checkerw notifier; do
  expect_same_file "the key on a token signs $program.exe exactly as the key file does" \
    "$build_a/signed/$program.exe" "$work/token-signed/$program.exe"
done

echo "== signing build A with an RFC 3161 time stamp from a time-stamping authority on loopback"
# A throw-away TSA: its own certificate (time stamping only) and openssl ts -reply behind HTTP.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Quorvane test time stamps" \
  -addext keyUsage=critical,digitalSignature -addext extendedKeyUsage=critical,timeStamping \
  -keyout "$keys/tsa.key" -out "$keys/tsa.pem" 2>/dev/null
echo 01 >"$keys/tsa.serial"
printf '%s\n' "[ tsa ]" "default_tsa = test_tsa" "[ test_tsa ]" "serial = $keys/tsa.serial" \
  "signer_cert = $keys/tsa.pem" "signer_key = $keys/tsa.key" "signer_digest = sha256" \
  "default_policy = 1.3.6.1.4.1.99999.1" "digests = sha256, sha384, sha512" "accuracy = secs:1" \
  "ess_cert_id_alg = sha256" >"$keys/tsa.cnf"
python3 "$here/timestamp_authority.py" "$keys/tsa.cnf" "$keys/tsa.port" 2>"$work/tsa.log" &
tsa_pid=$!
for _ in $(seq 50); do [ -s "$keys/tsa.port" ] && break; sleep 0.1; done
tsa_url=http://127.0.0.1:$(cat "$keys/tsa.port" 2>/dev/null)
expect "build A is signed with a time stamp" \
  bash "$repo/scripts/sign-windows.sh" sign -ts "$tsa_url" "$build_a/out" "$work/ts-signed"
for program in checker notifier; do
  if osslsigncode verify -CAfile "$SIGN_CERT" -TSA-CAfile "$keys/tsa.pem" -in "$work/ts-signed/$program.exe" \
    >"$work/verify.log" 2>&1 && grep -q "^Countersignatures:" "$work/verify.log" &&
    grep -q "Timestamp time: " "$work/verify.log" &&
    grep -q "Timestamp Server Signature verification: ok" "$work/verify.log"; then
    pass "osslsigncode verify shows the authority's time stamp as a countersignature of $program.exe"
  else
    fail "osslsigncode verify shows the authority's time stamp as a countersignature of $program.exe"
    cat "$work/verify.log" "$work/tsa.log"
  fi
done
kill "$tsa_pid" 2>/dev/null || true
tsa_pid=""

wait_left=$((started_a + 60 - SECONDS))
if [ "$wait_left" -gt 0 ]; then
  echo "== waiting $wait_left s, so that build B starts a minute after build A"
  sleep "$wait_left"
fi
echo "== build B: a copy in $copy, TZ=QKT-14 (14 h ahead of UTC), umask 077"
(umask 077 && cd "$copy" && TZ=QKT-14 nice -n "${BUILD_B_NICENESS:-0}" bash scripts/build-windows.sh "$build_b")

for file in checker.exe checkerw.exe notifier.exe icon.bmp BUILDINFO SHA256SUMS; do
  expect_same_file "build A and build B give the same $file" "$build_a/out/$file" "$build_b/out/$file"
done

echo "== the signatures of build A on build B"
if bash "$repo/scripts/sign-windows.sh" attach "$build_b/out" "$build_a/signed" "$work/b-attached"; then
  pass "build B with build A's detached signatures is byte for byte the signed build A"
else
  fail "build B with build A's detached signatures is byte for byte the signed build A"
fi
if bash "$repo/scripts/sign-windows.sh" attach "$build_b/out" "$work/ts-signed" "$work/b-ts-attached"; then
  pass "build B with build A's time-stamped detached signatures is byte for byte the time-stamped build A"
else
  fail "build B with build A's time-stamped detached signatures is byte for byte the time-stamped build A"
fi
expect "build B is signed" bash "$repo/scripts/sign-windows.sh" sign "$build_b/out" "$work/b-signed"
for program in checker checkerw notifier; do
  expect_same_file "signing build B gives the signed $program.exe of build A" \
    "$build_a/signed/$program.exe" "$work/b-signed/$program.exe"
done

printf 'rebuild and signing took %s s\n' "$((SECONDS - started_a))"
print_counts
[ "$WINE_TESTS_FAILED" -eq 0 ]
