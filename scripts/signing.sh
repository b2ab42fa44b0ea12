# Authenticode signing of the release's files, sourced by scripts/release.sh.
# The key is named by the environment, one of three ways:
#   VORNELL_SIGN_PKCS12=FILE          a PKCS#12 file; its password in VORNELL_SIGN_PASSWORD
#   VORNELL_SIGN_PKCS11_MODULE=LIB    a hardware token's PKCS#11 module, with
#     VORNELL_SIGN_PKCS11_KEY=URI     the key on it (pkcs11:token=...;object=...),
#     VORNELL_SIGN_CERTS=FILE         the certificate and its chain (PEM), and the
#                                     token's PIN in VORNELL_SIGN_PASSWORD
#   VORNELL_SIGN_COMMAND=CMD          a signing command of the vendor's own, run as
#                                     sh -c "$VORNELL_SIGN_COMMAND" sign FILE: it signs
#                                     FILE in place, time-stamped by VORNELL_TIMESTAMP_URL
# A signed release needs VORNELL_TIMESTAMP_URL (an RFC 3161 time-stamp server).
# Every signed file is verified before it is used: against the system's roots,
# or VORNELL_SIGN_CAFILE and VORNELL_TSA_CAFILE where given (a private root).

# Prints the key's source (pkcs12, pkcs11, command, or none), or fails with the
# reason when the variables do not make one whole key.
signing_mode() {
  local sources=0 mode=none
  [ -z "${VORNELL_SIGN_PKCS12:-}" ] || { sources=$((sources + 1)); mode=pkcs12; }
  [ -z "${VORNELL_SIGN_PKCS11_MODULE:-}" ] || { sources=$((sources + 1)); mode=pkcs11; }
  [ -z "${VORNELL_SIGN_COMMAND:-}" ] || { sources=$((sources + 1)); mode=command; }
  if [ "$sources" -gt 1 ]; then
    echo "signing: name one key: VORNELL_SIGN_PKCS12, VORNELL_SIGN_PKCS11_MODULE or VORNELL_SIGN_COMMAND" >&2
    return 1
  fi
  case "$mode" in
    pkcs12)
      [ -f "$VORNELL_SIGN_PKCS12" ] || { echo "signing: no PKCS#12 file $VORNELL_SIGN_PKCS12" >&2; return 1; } ;;
    pkcs11)
      [ -f "$VORNELL_SIGN_PKCS11_MODULE" ] || { echo "signing: no PKCS#11 module $VORNELL_SIGN_PKCS11_MODULE" >&2; return 1; }
      [ -n "${VORNELL_SIGN_PKCS11_KEY:-}" ] || { echo "signing: VORNELL_SIGN_PKCS11_KEY names no key" >&2; return 1; }
      [ -f "${VORNELL_SIGN_CERTS:-}" ] || { echo "signing: VORNELL_SIGN_CERTS names no certificate file" >&2; return 1; } ;;
  esac
  # An unstamped signature dies with its certificate: a release that must be
  # installable for years is stamped, or not signed at all.
  if [ "$mode" != none ] && [ -z "${VORNELL_TIMESTAMP_URL:-}" ]; then
    echo "signing: a signed release needs a time-stamp server in VORNELL_TIMESTAMP_URL" >&2
    return 1
  fi
  echo "$mode"
}

# Checks FILE's signature, chain and time stamp.
signing_verify() {
  local file="$1" args=() report
  [ -z "${VORNELL_SIGN_CAFILE:-}" ] || args+=(-CAfile "$VORNELL_SIGN_CAFILE")
  [ -z "${VORNELL_TSA_CAFILE:-}" ] || args+=(-TSA-CAfile "$VORNELL_TSA_CAFILE")
  if ! report=$(osslsigncode verify "${args[@]}" -in "$file" 2>&1); then
    printf '%s\n' "$report" | tail -n 5 >&2
    echo "signing: the signature of $file does not verify" >&2
    return 1
  fi
  grep -q '^Timestamp Server Signature verification: ok' <<<"$report" ||
    { echo "signing: $file carries no valid time stamp" >&2; return 1; }
}

# Signs FILE in place (a program, a DLL or an MSI) and verifies it.
sign_file() {
  local file="$1" mode
  mode=$(signing_mode) || return 1
  case "$mode" in
    none) return 0 ;;
    command)
      VORNELL_TIMESTAMP_URL="$VORNELL_TIMESTAMP_URL" sh -c "$VORNELL_SIGN_COMMAND" sign "$file" ||
        { echo "signing: the signing command failed on $file" >&2; return 1; } ;;
    pkcs12 | pkcs11)
      local key=(-pkcs12 "${VORNELL_SIGN_PKCS12:-}")
      [ "$mode" = pkcs12 ] || key=(-pkcs11module "$VORNELL_SIGN_PKCS11_MODULE" -key "$VORNELL_SIGN_PKCS11_KEY"
                                   -certs "$VORNELL_SIGN_CERTS")
      # The password through a pipe, never on a command line others can list.
      osslsigncode sign "${key[@]}" -readpass <(printf '%s' "${VORNELL_SIGN_PASSWORD:-}") \
        -h sha256 -n Vornell -comm -ts "$VORNELL_TIMESTAMP_URL" -in "$file" -out "$file.signed" >/dev/null ||
        { rm -f "$file.signed"; echo "signing: osslsigncode could not sign $file" >&2; return 1; }
      mv -f "$file.signed" "$file" ;;
  esac
  signing_verify "$file"
}
