#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build, run and test Vornell.
# Installs only what is missing, so a second run costs a second or two.
set -euo pipefail

packages=(cmake make g++ python3 googletest libgtest-dev mingw-w64 wine64 xvfb x11-utils xauth
          fonts-wqy-microhei imagemagick locales clang libclang-rt-14-dev
          osslsigncode msitools wixl python3-olefile openssl softhsm2 libengine-pkcs11-openssl)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# Wine takes its ANSI code page from LC_CTYPE: the Chinese locale must exist.
if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
  echo "setup: generating the zh_CN.UTF-8 and en_US.UTF-8 locales"
  $sudo sed -i -E 's/^# *(zh_CN.UTF-8 UTF-8)/\1/; s/^# *(en_US.UTF-8 UTF-8)/\1/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  grep -q '^en_US.UTF-8 UTF-8' /etc/locale.gen || echo 'en_US.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen >/dev/null
fi
