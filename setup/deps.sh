#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
set -euo pipefail

packages=(
    cmake g++ make libgtest-dev googletest libbenchmark-dev python3 libgl-dev libglu1-mesa-dev
    clang libclang-rt-dev llvm  # sanitizers and libFuzzer for the native tests; llvm-symbolizer names the lines
    libegl-dev libegl-mesa0 libgl1-mesa-dri  # brimwave: EGL without a display, Mesa's llvmpipe
    g++-mingw-w64-i686 g++-mingw-w64-i686-posix
    wine wine32:i386
    xvfb xauth ffmpeg
    nsis  # makensis, which builds the installer
    libstb-dev  # stb_image_write for the host's PNG frames, header-only
    pkg-config libsdl2-dev libpulse-dev  # the native program's window, GL context, input and live audio
    xdotool evilwm  # its window tests: keys, clicks and full screen under a window manager
    lintian  # checks the Debian package
    libgl1:i386 libglx-mesa0:i386 libgl1-mesa-dri:i386 libglu1-mesa:i386
    # The listening tests' private sound server (native and under wine), and
    # the client library that wine's 32-bit pulse driver loads (wine32 pulls it in already).
    pulseaudio pulseaudio-utils libpulse0:i386
    # The same tests on a private PipeWire session: its pulse server, session manager and bus.
    pipewire pipewire-pulse wireplumber dbus-user-session
    # The GStreamer element: its base class and headers, gst-inspect and
    # gst-launch, the Python test driver, and the elements its tests, the
    # README's video line and its benchmark use (x264enc, avenc_aac).
    libgstreamer-plugins-base1.0-dev gstreamer1.0-tools python3-gst-1.0
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly gstreamer1.0-libav
    # brimwave --render -o: any song decoded, resampled, and encoded to H.264/AAC MP4 or GIF in-process.
    libavformat-dev libavcodec-dev libswresample-dev libswscale-dev
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "-- installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    # wine32 is an i386 package.
    dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

"$(dirname "$0")/i386-emulation.sh"
