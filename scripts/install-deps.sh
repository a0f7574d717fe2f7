#!/usr/bin/env bash
# Installs every Debian package the project needs. Safe to run again: it
# only calls apt-get when something is missing, and updates the package
# lists once per run. Works as root, or through sudo otherwise.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config
  # JPEG decoding and encoding (library version 62)
  libjpeg62-turbo-dev
  # windows, input and displays (SDL2 over X11; Xlib for child windows);
  # iconv converts the resource texts to Windows-1251
  libsdl2-dev libx11-dev libc-bin
  # OpenGL through libepoxy; Mesa's llvmpipe draws without a GPU (GLX under
  # an X server, EGL with SDL's offscreen driver)
  libepoxy-dev libgl1 libgl1-mesa-dri libegl1 libegl-mesa0
  # the settings and about dialogs; cairo and DejaVu Sans set the titles
  # of the program's pictures
  libgtk-3-dev libcairo2-dev fonts-dejavu-core
  # sound: OpenAL Soft mixes, libvorbisfile decodes Ogg Vorbis (libvorbisenc
  # encodes the tests' sounds)
  libopenal-dev libvorbis-dev
  # tests, benchmarks, fuzzing and the sanitizer build
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  # an independent RAR reader that checks the archives our writer makes
  unar
  # an independent image decoder and encoder for the image codec tests
  imagemagick
  # X servers for the window tests: Xvfb, and Xorg's dummy driver for two
  # displays; xdotool sends keys and mouse moves, xrandr adds the outputs
  xvfb xauth xdotool x11-utils x11-xserver-utils xserver-xorg-core xserver-xorg-video-dummy
  # measures the sound the saver writes through OpenAL Soft's wave output
  sox
  # the saver as a hack of the real XScreenSaver daemon (xscreensaver-gl
  # holds the GL visual probe the daemon needs to start GL hacks), and the
  # Debian package's checks
  xscreensaver xscreensaver-gl lintian
  # img2webp for the README's animated preview (scripts/gallery.sh)
  webp
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#packages[@]} packages are installed"
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  sudo=()
else
  sudo=(sudo)
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update
"${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
