#!/usr/bin/env bash
# Installs every Debian package that the build, the tests and the programs need.
# Idempotent: when everything is present it only checks and returns.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  # jackd2 goes in the same line as librtmidi-dev (the simulated looper's):
  # installed alone, RtMidi pulls JACK1
  librtmidi-dev jackd2 libjack-jackd2-dev libasound2-dev
  nlohmann-json3-dev libcli11-dev
  qt6-base-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev
  iproute2 procps
  # the Debian package (scripts/package.sh) and its checks (scripts/check-package.sh):
  # dpkg-shlibdeps, the icon's PNG, the validators, man-db for `man -w`,
  # bash-completion to try the completion; the package's own Depends and
  # Recommends beyond the libraries above, so installing it adds nothing else
  dpkg-dev librsvg2-bin desktop-file-utils appstream lintian man-db bash-completion
  qt6-qpa-plugins qt6-wayland
  # the window's tests also run under a comma-decimal locale
  locales
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  # jackd2 asks about realtime priority; answer once, quietly
  echo "jackd2 jackd/tweak_rt_limits boolean false" | debconf-set-selections 2>/dev/null || true
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# de_DE.UTF-8 for those tests, generated once.
if ! locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; then
  echo "setup: generating the de_DE.UTF-8 locale"
  sed -i 's/^# *\(de_DE\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -qx 'de_DE\.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi
