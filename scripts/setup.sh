#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks for building, testing and running.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libxcb1-dev libsqlite3-dev libcurl4-openssl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  locales attr xdg-utils xvfb xauth
  curl
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  # Several checkouts may set up at once: one installer at a time, and apt
  # waits for a dpkg lock held by anything else.
  exec 9>/tmp/vantrel-setup.lock
  flock 9
  $SUDO apt-get -o DPkg::Lock::Timeout=600 update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  flock -u 9
fi

# Free Pascal compiles the source unit that Morlex exports in one test; that
# test is skipped, with a message saying so, only when it can't be installed.
if ! command -v fpc >/dev/null 2>&1; then
  echo "Installing: fp-compiler"
  exec 9>/tmp/vantrel-setup.lock
  flock 9
  $SUDO apt-get -o DPkg::Lock::Timeout=600 update -qq || true
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends fp-compiler >/dev/null \
    || echo "warning: fp-compiler could not be installed; the Free Pascal test of the exported unit will be skipped"
  flock -u 9
fi

# Locales that the date and number tests run under (and a host's Turkish C
# locale, whose case rules differ in ASCII).
need_locale=0
for l in en_US.utf8 de_DE.utf8 tr_TR.iso88599; do
  locale -a 2>/dev/null | grep -qx "$l" || need_locale=1
done
if [ "$need_locale" -eq 1 ]; then
  for l in "en_US.UTF-8 UTF-8" "de_DE.UTF-8 UTF-8" "tr_TR.ISO-8859-9 ISO-8859-9"; do
    grep -qx "$l" /etc/locale.gen 2>/dev/null || echo "$l" | $SUDO tee -a /etc/locale.gen >/dev/null
  done
  $SUDO locale-gen >/dev/null
fi
