#!/usr/bin/env bash
# The release as a vendor makes it, with a throw-away root, code-signing key
# and time-stamp server made here: each way of naming a key signs a program
# that verifies against that root only; then one whole release
# (scripts/release.sh, built in another folder) is checked file by file, and
# its unsigned program against the build folder's: the same bytes.
#   tests/package/release_test.sh WIN64_BUILD_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
win64=$(realpath "$1")
tmp=$(mktemp -d)
tsa_pid=""
cleanup() {
  [ -z "$tsa_pid" ] || kill "$tsa_pid" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
export no_proxy="127.0.0.1,localhost" NO_PROXY="127.0.0.1,localhost"

passed=0
failed=0
check() {  # check DESCRIPTION COMMAND...
  local what="$1"
  shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $what"; fi
}
fails() { ! "$@" 2>/dev/null; }

# --- a throw-away public key infrastructure and time-stamp server
pki="$tmp/pki"
mkdir -p "$pki"
cat >"$pki/ext.cnf" <<'EOF'
[req]
distinguished_name = dn
[dn]
[root]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[code]
basicConstraints = CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
authorityKeyIdentifier = keyid
[tsa]
basicConstraints = CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = critical, timeStamping
authorityKeyIdentifier = keyid
EOF
make_root() {  # make_root NAME
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Vornell test $1" -config "$pki/ext.cnf" \
    -extensions root -keyout "$pki/$1.key" -out "$pki/$1.pem" 2>/dev/null
}
make_cert() {  # make_cert NAME ISSUER EXTENSIONS
  openssl req -new -newkey rsa:2048 -nodes -subj "/CN=Vornell test $1" -config "$pki/ext.cnf" \
    -keyout "$pki/$1.key" -out "$pki/$1.csr" 2>/dev/null
  openssl x509 -req -in "$pki/$1.csr" -CA "$pki/$2.pem" -CAkey "$pki/$2.key" -CAcreateserial -days 2 \
    -extfile "$pki/ext.cnf" -extensions "$3" -out "$pki/$1.pem" 2>/dev/null
}
make_root root
make_cert code root code
make_cert tsa root tsa
make_root other
make_cert stranger other code
password='throw-away pass'
openssl pkcs12 -export -inkey "$pki/code.key" -in "$pki/code.pem" -certfile "$pki/root.pem" \
  -passout "pass:$password" -out "$pki/code.p12"
cat "$pki/code.pem" "$pki/root.pem" >"$pki/chain.pem"

echo 01 >"$pki/tsa.serial"
cat >"$pki/tsa.cnf" <<EOF
[tsa]
default_tsa = tsa1
[tsa1]
serial = $pki/tsa.serial
signer_cert = $pki/tsa.pem
certs = $pki/root.pem
signer_key = $pki/tsa.key
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha256, sha384, sha512
accuracy = secs:1
ess_cert_id_alg = sha256
EOF
coproc TSA { exec python3 "$root/tests/package/tsa_server.py" "$pki/tsa.cnf"; }
tsa_pid=$TSA_PID
read -r -t 20 tsa_port <&"${TSA[0]}"
stamp_url="http://127.0.0.1:$tsa_port"

# --- the three ways of naming a key, on copies of the build's program
export VORNELL_TIMESTAMP_URL="$stamp_url" VORNELL_SIGN_CAFILE="$pki/root.pem" VORNELL_TSA_CAFILE="$pki/root.pem"
verifies() { osslsigncode verify -CAfile "$pki/root.pem" -TSA-CAfile "$pki/root.pem" -in "$1" >/dev/null 2>&1; }
stamped() {
  osslsigncode verify -CAfile "$pki/root.pem" -TSA-CAfile "$pki/root.pem" -in "$1" 2>/dev/null |
    grep -q '^Timestamp Server Signature verification: ok'
}
authenticode_data() { osslsigncode extract-data -h sha256 -in "$1" -out "$2" >/dev/null 2>&1; }
copy_program() { cp "$win64/Vornell.exe" "$tmp/$1.exe"; echo "$tmp/$1.exe"; }

exe=$(copy_program pkcs12)
check "a PKCS#12 key signs" env VORNELL_SIGN_PKCS12="$pki/code.p12" VORNELL_SIGN_PASSWORD="$password" \
  bash -c 'source "$1"; sign_file "$2"' sign "$root/scripts/signing.sh" "$exe"
check "the PKCS#12 signature verifies against the throw-away root, stamped" stamped "$exe"
authenticode_data "$win64/Vornell.exe" "$tmp/unsigned.der"
authenticode_data "$exe" "$tmp/signed.der"
check "signing keeps the Authenticode digest of the unsigned program" cmp -s "$tmp/unsigned.der" "$tmp/signed.der"
exe=$(copy_program wrong-password)
check "a wrong PKCS#12 password fails and leaves the program unsigned" \
  fails env VORNELL_SIGN_PKCS12="$pki/code.p12" VORNELL_SIGN_PASSWORD=wrong \
  bash -c 'source "$1"; sign_file "$2"' sign "$root/scripts/signing.sh" "$exe"
check "... byte for byte" cmp -s "$exe" "$win64/Vornell.exe"

# A token, as softhsm plays one.
hsm_module=/usr/lib/softhsm/libsofthsm2.so
export SOFTHSM2_CONF="$tmp/softhsm2.conf"
mkdir -p "$tmp/tokens"
printf 'directories.tokendir = %s\nobjectstore.backend = file\nlog.level = ERROR\n' "$tmp/tokens" >"$SOFTHSM2_CONF"
softhsm2-util --init-token --free --label vornell --pin 1234 --so-pin 5678 >/dev/null
openssl pkcs8 -topk8 -nocrypt -in "$pki/code.key" -out "$pki/code.pk8"
softhsm2-util --import "$pki/code.pk8" --token vornell --label signer --id 01 --pin 1234 >/dev/null
exe=$(copy_program pkcs11)
check "a PKCS#11 token signs" env VORNELL_SIGN_PKCS11_MODULE="$hsm_module" \
  VORNELL_SIGN_PKCS11_KEY="pkcs11:token=vornell;object=signer" VORNELL_SIGN_CERTS="$pki/chain.pem" \
  VORNELL_SIGN_PASSWORD=1234 bash -c 'source "$1"; sign_file "$2"' sign "$root/scripts/signing.sh" "$exe"
check "the token's signature verifies, stamped" stamped "$exe"

# The vendor's own command, here osslsigncode with a key of its own.
vendor="osslsigncode sign -certs $pki/chain.pem -key $pki/code.key -h sha256 -ts \"\$VORNELL_TIMESTAMP_URL\" -in \"\$1\" -out \"\$1.v\" >/dev/null && mv \"\$1.v\" \"\$1\""
exe=$(copy_program command)
check "a signing command of the vendor's own signs" env VORNELL_SIGN_COMMAND="$vendor" \
  bash -c 'source "$1"; sign_file "$2"' sign "$root/scripts/signing.sh" "$exe"
check "the command's signature verifies, stamped" stamped "$exe"
# What the signer's output must pass before it ships.
stranger="osslsigncode sign -certs $pki/stranger.pem -key $pki/stranger.key -h sha256 -ts \"\$VORNELL_TIMESTAMP_URL\" -in \"\$1\" -out \"\$1.v\" >/dev/null && mv \"\$1.v\" \"\$1\""
exe=$(copy_program stranger)
check "a signature that does not chain to the given root is refused" fails env VORNELL_SIGN_COMMAND="$stranger" \
  bash -c 'source "$1"; sign_file "$2"' sign "$root/scripts/signing.sh" "$exe"
unstamped="osslsigncode sign -certs $pki/chain.pem -key $pki/code.key -h sha256 -in \"\$1\" -out \"\$1.v\" >/dev/null && mv \"\$1.v\" \"\$1\""
exe=$(copy_program unstamped)
check "a signature without a time stamp is refused" fails env VORNELL_SIGN_COMMAND="$unstamped" \
  bash -c 'source "$1"; sign_file "$2"' sign "$root/scripts/signing.sh" "$exe"
exe=$(copy_program no-server)
check "a time-stamp server that does not answer fails the signing" \
  fails env VORNELL_SIGN_PKCS12="$pki/code.p12" VORNELL_SIGN_PASSWORD="$password" VORNELL_TIMESTAMP_URL=http://127.0.0.1:9 \
  bash -c 'source "$1"; sign_file "$2"' sign "$root/scripts/signing.sh" "$exe"

# Keys named wrongly are refused before anything is built.
mode_of() { env -u VORNELL_SIGN_PKCS12 -u VORNELL_SIGN_PKCS11_MODULE -u VORNELL_SIGN_COMMAND -u VORNELL_SIGN_CERTS "$@" \
  bash -c 'source "$1"; signing_mode' mode "$root/scripts/signing.sh" 2>/dev/null; }
check "no key: an unsigned release" test "$(mode_of)" = none
check "a key without a time-stamp server is refused" fails mode_of VORNELL_SIGN_PKCS12="$pki/code.p12" VORNELL_TIMESTAMP_URL=
check "two keys are refused" fails mode_of VORNELL_SIGN_PKCS12="$pki/code.p12" VORNELL_SIGN_COMMAND=true
check "a token without its certificate is refused" fails mode_of VORNELL_SIGN_PKCS11_MODULE="$hsm_module" \
  VORNELL_SIGN_PKCS11_KEY=pkcs11:object=signer

# --- one whole release, signed, built in a folder of its own
package=$(sed -n 's/^VORNELL_PACKAGE_DIR:[A-Z]*=//p' "$win64/CMakeCache.txt")
dist="$tmp/dist"
version=$(sed -n 's/^#define VORNELL_VERSION_TEXT "\(.*\)"$/\1/p' "$root/res/version.h")
released=0
env -u SOURCE_DATE_EPOCH VORNELL_SIGN_PKCS12="$pki/code.p12" VORNELL_SIGN_PASSWORD="$password" \
  "$root/scripts/release.sh" --allow-dirty --package "$package" --out "$dist" --work "$tmp/work" \
  >"$tmp/release.log" 2>&1 || released=$?
check "scripts/release.sh succeeds" test "$released" -eq 0
[ "$released" -eq 0 ] || tail -n 30 "$tmp/release.log"
check "it says the release is signed" grep -q "^signed (pkcs12) and time-stamped by $stamp_url" "$tmp/release.log"

expected=("SHA256SUMS" "Vornell-$version-x64.zip" "Vornell.exe")
msi=""
if [ -x "$root/scripts/build-msi.sh" ]; then
  msi="Vornell-$version-x64.msi"
  expected+=("$msi")
fi
for f in "$package"/*; do expected+=("x64/driver/$(basename "$f")"); done
check "dist/ holds the program, the package, the zip and the sums, nothing else" test \
  "$(cd "$dist" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)" = "$(printf '%s\n' "${expected[@]}" | LC_ALL=C sort)"
check "the released program verifies against the throw-away root, stamped" stamped "$dist/Vornell.exe"
[ -z "$msi" ] || check "the MSI verifies, stamped" stamped "$dist/$msi"
check "the package is the one the program was built with" diff -r "$package" "$dist/x64/driver"
check "SHA256SUMS names every other file and each sum is right" \
  bash -c 'cd "$1" && sha256sum --quiet -c SHA256SUMS && test "$(wc -l <SHA256SUMS)" -eq "$(find . -type f ! -name SHA256SUMS | wc -l)"' \
  sums "$dist"
check "the zip holds the program and the package as released, at the commit's time" \
  python3 - "$dist" "Vornell-$version-x64.zip" "$(git -C "$root" log -1 --format=%ct)" <<'EOF'
import os, sys, time, zipfile
dist, name, epoch = sys.argv[1], sys.argv[2], int(sys.argv[3])
stamp = time.gmtime(epoch)[:5]
with zipfile.ZipFile(os.path.join(dist, name)) as z:
    names = z.namelist()
    want = ["Vornell.exe"] + sorted("x64/driver/" + f for f in os.listdir(os.path.join(dist, "x64/driver")))
    ok = names == want
    for info in z.infolist():
        ok = ok and info.date_time[:5] == stamp
        with open(os.path.join(dist, info.filename), "rb") as f:
            ok = ok and z.read(info) == f.read()
sys.exit(0 if ok else 1)
EOF

# Reproducible: another folder, another time, the same bytes.
check "the release's unsigned program is the build folder's, byte for byte" \
  cmp "$tmp/work/vornell-$version/build/win64/Vornell.exe" "$win64/Vornell.exe"
authenticode_data "$dist/Vornell.exe" "$tmp/released.der"
check "the signed download's Authenticode digest is the build folder's" cmp -s "$tmp/released.der" "$tmp/unsigned.der"
check "no folder of either build is in the program" \
  fails grep -aqF -e "$tmp" -e "$root" "$win64/Vornell.exe"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
