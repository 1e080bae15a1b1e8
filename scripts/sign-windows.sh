#!/usr/bin/env bash
# Signs checker.exe, checkerw.exe and notifier.exe (Authenticode, osslsigncode), or gives an independent rebuild a signed release's signatures.
#
# Usage: scripts/sign-windows.sh sign [-ts URL] UNSIGNED_DIR SIGNED_DIR
#        scripts/sign-windows.sh attach UNSIGNED_DIR RELEASE_DIR SIGNED_DIR
#
# UNSIGNED_DIR is the out/ folder of scripts/build-windows.sh. Both commands write the signed
# programs, icon.bmp, BUILDINFO and SHA256SUMS into SIGNED_DIR.
#
# sign: the key and the certificate never come from the work tree. Either key files:
#     SIGN_CERT  the certificate (PEM), followed by its chain up to the root
#     SIGN_KEY   the private key file
#   or a PKCS#11 token:
#     SIGN_PKCS11_MODULE  the token's PKCS#11 module (.so)
#     SIGN_KEY            a pkcs11: URI of the key on the token; SIGN_CERT as above
#   and SIGN_PASS_FILE, when set, holds the key's pass phrase or the token's PIN.
#   The signing time is SOURCE_DATE_EPOCH (the caller's, else the one in UNSIGNED_DIR/BUILDINFO),
#   so signing the same build again gives the same bytes (RSA signatures have no random part).
#   -ts URL adds an RFC 3161 time stamp from that time-stamping server as a countersignature, so
#   that the signature still verifies after the certificate has expired. The time stamp is new
#   at every signing (its time and serial number), so signing again then gives other bytes.
#
# attach: RELEASE_DIR holds the signed programs of a release. Each one's signature is detached
#   (SIGNED_DIR/<program>.exe.sig) and attached to the rebuilt program; the command fails unless
#   the result is byte for byte the signed program of the release. A time stamp is part of the
#   detached signature and comes along.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
programs=(checker checkerw notifier)

die() { echo "sign-windows: $*" >&2; exit 1; }

# Key material inside the work tree would be committed sooner or later.
require_outside_tree() {
  local name=$1 path
  path=$(realpath -e "${!name}") || die "$name names no file: ${!name}"
  case $path in
    "$root"/*) die "$name lies inside the work tree ($path); keep keys and certificates outside it" ;;
  esac
}

# icon.bmp and BUILDINFO go along unchanged; SHA256SUMS lists the signed files.
finish_folder() {
  local unsigned=$1 signed=$2
  cp -f "$unsigned/icon.bmp" "$unsigned/BUILDINFO" "$signed/"
  (cd "$signed" && sha256sum checker.exe checkerw.exe notifier.exe icon.bmp >SHA256SUMS)
  cat "$signed/SHA256SUMS"
}

sign() {
  local timestamp_url="" unsigned signed epoch program
  local key_args=()
  if [ "${1:-}" = -ts ]; then
    [ -n "${2:-}" ] || die "-ts needs the address of a time-stamping server"
    timestamp_url=$2
    shift 2
  fi
  [ $# -eq 2 ] || die "usage: sign [-ts URL] UNSIGNED_DIR SIGNED_DIR"
  unsigned=$1 signed=$2
  epoch=${SOURCE_DATE_EPOCH:-$(sed -n 's/^SOURCE_DATE_EPOCH: \([0-9]*\).*/\1/p' "$unsigned/BUILDINFO")}
  [[ $epoch =~ ^[0-9]+$ ]] || die "no SOURCE_DATE_EPOCH: not set, and none in $unsigned/BUILDINFO"
  if [ -z "${SIGN_CERT:-}" ] || [ -z "${SIGN_KEY:-}" ]; then
    die "SIGN_CERT and SIGN_KEY must name the certificate and the key"
  fi
  require_outside_tree SIGN_CERT
  key_args=(-certs "$SIGN_CERT" -key "$SIGN_KEY")
  if [ -n "${SIGN_PKCS11_MODULE:-}" ]; then
    # osslsigncode reaches the token through OpenSSL's pkcs11 engine.
    bash "$root/scripts/apt-install.sh" libengine-pkcs11-openssl
    key_args+=(-pkcs11module "$SIGN_PKCS11_MODULE")
  else
    require_outside_tree SIGN_KEY
  fi
  if [ -n "${SIGN_PASS_FILE:-}" ]; then
    require_outside_tree SIGN_PASS_FILE
    key_args+=(-readpass "$SIGN_PASS_FILE")
  fi
  if [ -n "$timestamp_url" ]; then
    key_args+=(-ts "$timestamp_url")
  fi
  mkdir -p "$signed"
  for program in "${programs[@]}"; do
    rm -f "$signed/$program.exe"  # osslsigncode does not overwrite
    osslsigncode sign "${key_args[@]}" -h sha256 -time "$epoch" \
      -in "$unsigned/$program.exe" -out "$signed/$program.exe" >/dev/null ||
      die "signing $program.exe failed${timestamp_url:+ (time stamp from $timestamp_url)}"
  done
  finish_folder "$unsigned" "$signed"
  # Another osslsigncode may lay out the same signature differently.
  echo "signed with: osslsigncode $(dpkg-query -W -f='${Version}' osslsigncode), signing time $epoch${timestamp_url:+, time stamp from $timestamp_url}" >>"$signed/BUILDINFO"
}

attach() {
  local unsigned=$1 release=$2 signed=$3 program verdict status=0
  mkdir -p "$signed"
  for program in "${programs[@]}"; do
    rm -f "$signed/$program.exe" "$signed/$program.exe.sig"
    osslsigncode extract-signature -pem -in "$release/$program.exe" -out "$signed/$program.exe.sig" >/dev/null ||
      die "$release/$program.exe carries no signature"
    # osslsigncode also checks the certificate chain against a trust store, which need not hold
    # the signer's root; its verdict is shown, but the byte comparison decides.
    verdict=$(osslsigncode attach-signature -sigin "$signed/$program.exe.sig" \
      -in "$unsigned/$program.exe" -out "$signed/$program.exe" 2>&1) || true
    if cmp -s "$signed/$program.exe" "$release/$program.exe"; then
      echo "sign-windows: $program.exe with the release's signature is byte for byte the signed release"
    else
      echo "sign-windows: $program.exe with the release's signature differs from the signed release" >&2
      printf '%s\n' "$verdict" >&2
      echo "first differences (offset from 1, octal bytes):" >&2
      cmp -l "$signed/$program.exe" "$release/$program.exe" 2>&1 | head -n 20 >&2 || true
      status=1
    fi
  done
  [ "$status" -eq 0 ] || exit 1
  finish_folder "$unsigned" "$signed"
}

bash "$root/scripts/apt-install.sh" osslsigncode
case ${1:-} in
  sign) shift; sign "$@" ;;
  attach) [ $# -eq 4 ] || die "usage: attach UNSIGNED_DIR RELEASE_DIR SIGNED_DIR"; attach "$2" "$3" "$4" ;;
  *) die "usage: sign [-ts URL] UNSIGNED_DIR SIGNED_DIR | attach UNSIGNED_DIR RELEASE_DIR SIGNED_DIR" ;;
esac
