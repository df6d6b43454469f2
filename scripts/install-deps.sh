#!/usr/bin/env bash
# Installs the Debian packages a command needs. Safe to run again.
#   scripts/install-deps.sh run    building and running the Linux launcher
#   scripts/install-deps.sh test   everything the tests need besides (the default)
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
purpose="${1:-test}"
packages=(
  build-essential cmake ninja-build pkg-config gettext librsvg2-bin
  libgtk-3-dev libwebkit2gtk-4.1-dev libx11-dev libxcb1-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev libboost-dev
)
case "$purpose" in
  run) ;;
  test)
    packages+=(
      git g++-mingw-w64-x86-64-posix mingw-w64-tools
      wine64 xvfb xauth x11-utils imagemagick weston
      clang-14 libclang-rt-14-dev
      locales dbus-daemon at-spi2-core procps
      dpkg-dev file desktop-file-utils appstream
    )
    ;;
  *) echo "usage: $0 [run|test]" >&2; exit 2 ;;
esac
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi

# The tests' locale with a decimal comma, for checking that number handling does not follow the locale.
if [ "$purpose" = test ] && ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi
