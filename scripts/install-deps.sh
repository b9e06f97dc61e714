#!/bin/sh
# Installs the Debian packages Brenvik needs to build, run and test. As root
# it runs apt-get itself (sudo need not be installed); as any other user it
# runs apt-get through sudo.
set -e
export DEBIAN_FRONTEND=noninteractive
if [ "$(id -u)" = 0 ]; then
  as_root() { "$@"; }
elif command -v sudo >/dev/null 2>&1; then
  as_root() { sudo env DEBIAN_FRONTEND=noninteractive "$@"; }
else
  echo "install-deps.sh: run this as root, or install sudo" >&2
  exit 1
fi
as_root apt-get update
as_root apt-get install -y --no-install-recommends \
  build-essential cmake pkg-config clang libclang-rt-14-dev \
  liballegro4-dev libloadpng4-dev libgtk-3-dev libzip-dev zlib1g-dev \
  googletest libgtest-dev libgmock-dev libbenchmark-dev \
  opense-basic pasmo zmakebas zip gzip fuse-emulator-utils \
  xvfb xauth xdotool imagemagick x11-utils x11-xkb-utils xkb-data sox python3 \
  libasound2-plugins alsa-utils librsvg2-bin
