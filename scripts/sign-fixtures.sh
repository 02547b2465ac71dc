#!/usr/bin/env bash
# Makes the signed test files the signature tests read: a throwaway root and two code-signing
# certificates under it, and copies of a test program signed with them, tampered and unsigned.
# Usage: sign-fixtures.sh OUTDIR PROGRAM.exe. Without osslsigncode or openssl it leaves a note
# (OUTDIR/SKIPPED) that the tests report, and succeeds.
set -u
out=$1 program=$2
mkdir -p "$out"
rm -f "$out"/*.exe "$out"/SKIPPED "$out"/stamp
for tool in osslsigncode openssl; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed (scripts/setup.sh installs it): signature fixtures skipped" | tee "$out/SKIPPED"
    touch "$out/stamp"
    exit 0
  fi
done
cd "$out" || exit 1
fail() { echo "signing fixtures failed: $*" | tee SKIPPED; touch stamp; exit 0; }

openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 -keyout root.key -out root.pem \
  -subj "/CN=Wardlet Test Root" -addext "basicConstraints=critical,CA:TRUE" \
  -addext "keyUsage=critical,keyCertSign,cRLSign" >/dev/null 2>&1 || fail "root certificate"
openssl x509 -in root.pem -outform DER -out root.cer || fail "root certificate (DER)"
# A second root the tests never trust.
openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 -keyout stranger-root.key -out stranger-root.pem \
  -subj "/CN=Wardlet Untrusted Root" -addext "basicConstraints=critical,CA:TRUE" \
  -addext "keyUsage=critical,keyCertSign,cRLSign" >/dev/null 2>&1 || fail "second root certificate"
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' > leaf.cnf
leaf() {  # leaf NAME CN [ROOT]
  local root=${3:-root}
  openssl req -newkey rsa:2048 -nodes -sha256 -keyout "$1.key" -out "$1.csr" -subj "/CN=$2" >/dev/null 2>&1 &&
  openssl x509 -req -sha256 -days 3650 -in "$1.csr" -CA "$root.pem" -CAkey "$root.key" \
    -set_serial "0x$(openssl rand -hex 8)" -extfile leaf.cnf -out "$1.pem" >/dev/null 2>&1 &&
  cat "$1.pem" "$root.pem" > "$1-chain.pem"
}
leaf signer "Wardlet Test Signer" || fail "signer certificate"
leaf msname "Microsoft Corporation" || fail "second signer certificate"
leaf stranger "Wardlet Stranger" stranger-root || fail "third signer certificate"
# The signatures carry the whole chain, root included; trust comes only from the Root store.

cp "$program" unsigned.exe
osslsigncode sign -certs signer-chain.pem -key signer.key -h sha256 -n "Wardlet test" -in unsigned.exe -out signed.exe \
  >/dev/null || fail "osslsigncode (signed.exe)"
osslsigncode sign -certs msname-chain.pem -key msname.key -h sha256 -in unsigned.exe -out msname.exe \
  >/dev/null || fail "osslsigncode (msname.exe)"
osslsigncode sign -certs stranger-chain.pem -key stranger.key -h sha256 -in unsigned.exe -out stranger.exe \
  >/dev/null || fail "osslsigncode (stranger.exe)"
# One byte of the first section changed after signing: the signature no longer matches.
cp signed.exe tampered.exe
byte=$(od -An -tu1 -j 1100 -N 1 signed.exe | tr -d ' ')
printf "\\$(printf '%03o' $(( byte ^ 0xFF )))" | dd of=tampered.exe bs=1 seek=1100 conv=notrunc status=none ||
  fail "tampering"
rm -f ./*.key ./*.csr
touch stamp
