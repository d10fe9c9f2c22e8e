#!/usr/bin/env bash
# Installs every Debian package the project needs. Idempotent: it asks apt
# only for what is missing and refreshes the package lists only then.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config
  libsimdjson-dev libicu-dev libssl-dev libcurl4-openssl-dev libcpp-httplib-dev
  libcairo2-dev libpango1.0-dev libturbojpeg0-dev libpng-dev fonts-noto-cjk fonts-noto-cjk-extra fontconfig
  googletest libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev
  libjavascriptcoregtk-4.1-dev libwebkit2gtk-4.1-dev libgcrypt20-dev bubblewrap libsdl2-dev libx11-dev xvfb xauth xdotool imagemagick xdg-utils
  clang libclang-rt-14-dev llvm
  libegl-dev libgles-dev libegl-mesa0 libgl1-mesa-dri
  libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev ffmpeg
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

sudo=""
if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
