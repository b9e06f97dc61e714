#!/bin/sh
# Installs the Debian packages Brenvik needs to build, run and test. Run as root.
set -e
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends \
  build-essential cmake pkg-config clang libclang-rt-14-dev \
  liballegro4-dev libloadpng4-dev libgtk-3-dev \
  googletest libgtest-dev libgmock-dev libbenchmark-dev \
  opense-basic \
  xvfb xauth xdotool imagemagick x11-utils x11-xkb-utils xkb-data sox python3 \
  libasound2-plugins alsa-utils
