#!/usr/bin/env bash
# The release as a vendor makes it, with a throw-away root, keys and
# time-stamp server made here: each kind of key signs a program that verifies
# against that root, stamped, and a signature that does not is refused; then
# one whole release is checked file by file, and its unsigned program, built
# in another folder, against the build folder's: the same bytes.
#   tests/package/release_test.sh WIN64_BUILD_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
win64=$(realpath "$1")
tmp=$(mktemp -d)
trap 'kill "${TSA_PID:-}" 2>/dev/null; rm -rf "$tmp"' EXIT
export no_proxy=127.0.0.1 NO_PROXY=127.0.0.1
passed=0 failed=0
check() {  # check WHAT COMMAND...
  if "${@:2}"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $1"; fi
}
fails() { ! "$@"; }

pki="$tmp/pki"
mkdir -p "$pki"
printf '%s\n' '[req]' 'distinguished_name=dn' '[dn]' '[ca]' 'basicConstraints=critical,CA:TRUE' \
  'keyUsage=critical,keyCertSign' '[code]' 'extendedKeyUsage=codeSigning' '[tsa]' \
  'extendedKeyUsage=critical,timeStamping' >"$pki/ext.cnf"
cert() {  # cert NAME EXTENSIONS [ISSUER]; a root without an issuer
  local req=(openssl req -newkey rsa:2048 -nodes -subj "/CN=Vornell test $1" -config "$pki/ext.cnf" -keyout "$pki/$1.key")
  if [ -z "${3:-}" ]; then
    "${req[@]}" -x509 -days 2 -extensions "$2" -out "$pki/$1.pem" 2>/dev/null
  else
    "${req[@]}" 2>/dev/null | openssl x509 -req -CA "$pki/$3.pem" -CAkey "$pki/$3.key" -CAcreateserial -days 2 \
      -extfile "$pki/ext.cnf" -extensions "$2" -out "$pki/$1.pem" 2>/dev/null
  fi
}
cert root ca && cert code code root && cert tsa tsa root && cert other ca && cert stranger code other
cat "$pki/code.pem" "$pki/root.pem" >"$pki/chain.pem"
openssl pkcs12 -export -inkey "$pki/code.key" -in "$pki/code.pem" -passout pass:s3cret -out "$pki/code.p12"
echo 01 >"$pki/serial"
printf '%s\n' '[tsa]' 'default_tsa=t' '[t]' "serial=$pki/serial" "signer_cert=$pki/tsa.pem" "signer_key=$pki/tsa.key" \
  'signer_digest=sha256' 'default_policy=1.2.3.4.1' 'digests=sha256' 'ess_cert_id_alg=sha256' >"$pki/tsa.cnf"
coproc TSA { exec python3 "$root/tests/package/tsa_server.py" "$pki/tsa.cnf"; }
read -r -t 20 port <&"${TSA[0]}"
export VORNELL_TIMESTAMP_URL="http://127.0.0.1:$port" VORNELL_SIGN_CAFILE="$pki/root.pem" VORNELL_TSA_CAFILE="$pki/root.pem"

stamped() {
  osslsigncode verify -CAfile "$pki/root.pem" -TSA-CAfile "$pki/root.pem" -in "$1" 2>/dev/null |
    grep -q '^Timestamp Server Signature verification: ok'
}
signs() {  # signs NAME VARIABLE=VALUE...: sign_file on a copy of the program under those variables
  cp "$win64/Vornell.exe" "$tmp/$1.exe"
  env "${@:2}" bash -c 'source "$0"; sign_file "$1"' "$root/scripts/signing.sh" "$tmp/$1.exe" 2>/dev/null
}
signs_stamped() { signs "$@" && stamped "$tmp/$1.exe"; }
by_command() { echo "osslsigncode sign -certs $pki/$1.pem -key $pki/$1.key $2 -in \"\$1\" -out \"\$1.s\" >/dev/null && mv \"\$1.s\" \"\$1\""; }
check "a PKCS#12 file signs" signs_stamped p12 VORNELL_SIGN_PKCS12="$pki/code.p12" VORNELL_SIGN_PASSWORD=s3cret
export SOFTHSM2_CONF="$tmp/softhsm2.conf"
mkdir "$tmp/tokens" && echo "directories.tokendir = $tmp/tokens" >"$SOFTHSM2_CONF"
softhsm2-util --init-token --free --label vornell --pin 1234 --so-pin 5678 >/dev/null
openssl pkcs8 -topk8 -nocrypt -in "$pki/code.key" -out "$pki/code.pk8"
softhsm2-util --import "$pki/code.pk8" --token vornell --label signer --id 01 --pin 1234 >/dev/null
check "a PKCS#11 token signs" signs_stamped p11 VORNELL_SIGN_PKCS11_MODULE=/usr/lib/softhsm/libsofthsm2.so \
  VORNELL_SIGN_PKCS11_KEY="pkcs11:token=vornell;object=signer" VORNELL_SIGN_CERTS="$pki/chain.pem" VORNELL_SIGN_PASSWORD=1234
check "the vendor's command signs" signs_stamped cmd VORNELL_SIGN_COMMAND="$(by_command code '-ts "$VORNELL_TIMESTAMP_URL"')"
check "a signature from another root is refused" fails signs stranger VORNELL_SIGN_COMMAND="$(by_command stranger '-ts "$VORNELL_TIMESTAMP_URL"')"
check "a signature without a time stamp is refused" fails signs unstamped VORNELL_SIGN_COMMAND="$(by_command code '')"

# One whole release, signed, built in a folder of its own at another time.
package=$(sed -n 's/^VORNELL_PACKAGE_DIR:[A-Z]*=//p' "$win64/CMakeCache.txt")
version=$(sed -n 's/^#define VORNELL_VERSION_TEXT "\(.*\)"$/\1/p' "$root/res/version.h")
dist="$tmp/dist"
env -u SOURCE_DATE_EPOCH VORNELL_SIGN_PKCS12="$pki/code.p12" VORNELL_SIGN_PASSWORD=s3cret "$root/scripts/release.sh" \
  --allow-dirty --package "$package" --out "$dist" --work "$tmp/work" >"$tmp/release.log" 2>&1 || tail -n 20 "$tmp/release.log"
check "the release says it is signed" grep -q "^signed (pkcs12) and time-stamped by $VORNELL_TIMESTAMP_URL" "$tmp/release.log"
want=("SHA256SUMS" "Vornell-$version-x64.zip" "Vornell.exe")
for f in "$package"/*; do want+=("x64/driver/${f##*/}"); done
[ ! -x "$root/scripts/build-msi.sh" ] || want+=("Vornell-$version-x64.msi")
check "dist/ holds what it should, nothing else" test "$(cd "$dist" && find . -type f | cut -c3- | LC_ALL=C sort)" \
  = "$(printf '%s\n' "${want[@]}" | LC_ALL=C sort)"
for f in Vornell.exe "Vornell-$version-x64.msi"; do
  [ ! -e "$dist/$f" ] || check "$f verifies, stamped" stamped "$dist/$f"
done
check "the package is the one built in" diff -r "$package" "$dist/x64/driver"
check "SHA256SUMS is right for every other file" \
  bash -c 'cd "$0" && sha256sum --quiet -c SHA256SUMS && [ "$(wc -l <SHA256SUMS)" -eq "$(find . -type f ! -name SHA256SUMS | wc -l)" ]' "$dist"
check "the zip holds the released files, at the commit's time" python3 -c '
import os, sys, time, zipfile
dist, zip_name, epoch = sys.argv[1:]
with zipfile.ZipFile(os.path.join(dist, zip_name)) as z:
    want = ["Vornell.exe"] + sorted("x64/driver/" + f for f in os.listdir(os.path.join(dist, "x64/driver")))
    sys.exit(z.namelist() != want or any(i.date_time[:5] != time.gmtime(int(epoch))[:5]
             or z.read(i) != open(os.path.join(dist, i.filename), "rb").read() for i in z.infolist()))
' "$dist" "Vornell-$version-x64.zip" "$(git -C "$root" log -1 --format=%ct)"
check "the release's unsigned program is the build folder's, byte for byte" \
  cmp "$tmp/work/vornell-$version/build/win64/Vornell.exe" "$win64/Vornell.exe"
osslsigncode extract-data -h sha256 -in "$win64/Vornell.exe" -out "$tmp/built.der" >/dev/null || true
osslsigncode extract-data -h sha256 -in "$dist/Vornell.exe" -out "$tmp/released.der" >/dev/null || true
check "the signed program's Authenticode digest is the build folder's" cmp -s "$tmp/built.der" "$tmp/released.der"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
