# packages.sh -- sourced by run.sh and test.sh: installs the Debian packages a step needs when they are missing.

# missing_packages PACKAGE... : prints those not installed.
missing_packages() {
    local package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            echo "$package"
        fi
    done
}

# ensure_packages PACKAGE... : as root, apt-get installs what is missing; otherwise prints the line to run.
ensure_packages() {
    local missing
    mapfile -t missing < <(missing_packages "$@")
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing Debian packages. Install them with:" >&2
        echo "  sudo apt-get update && sudo apt-get install -y --no-install-recommends ${missing[*]}" >&2
        exit 1
    fi
    echo "Installing ${missing[*]}" >&2
    # Once a run: the lists are fresh enough for its later installs.
    if [ -z "${OLVO_APT_UPDATED:-}" ]; then
        apt-get update -qq
        export OLVO_APT_UPDATED=1
    fi
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# The program and olvo-picture, which ships with it: their build, Mesa's OpenGL, and X core fonts, without which
# (and without zenity) SDL can't draw a message box on X11 and every box of the program would become a line on
# stderr.
BUILD_PACKAGES=(cmake ninja-build g++ pkg-config libsdl2-dev libx11-dev libgl-dev libglu1-mesa-dev libegl-dev
                libgl1-mesa-dri libegl-mesa0 xfonts-base libstb-dev)
# The Debian package: CPack finds its dependencies with dpkg-shlibdeps and file.
PACKAGE_PACKAGES=(dpkg-dev file)
# The fuzz targets: clang with its fuzzer runtime, and the shared code's GL headers.
FUZZ_PACKAGES=(cmake ninja-build clang libclang-rt-14-dev libgl-dev libglu1-mesa-dev libegl-dev python3)
# The Windows cross-builds, 32- and 64-bit (release.sh's ZIPs).
WINDOWS_PACKAGES=(cmake ninja-build g++-mingw-w64-i686 g++-mingw-w64-x86-64)
# The program for the browser (emscripten; ./run.sh web, release.sh's site).
WEB_PACKAGES=(cmake ninja-build emscripten python3)
# Unit, GL and end-to-end tests on Linux (a virtual X display, keys, screenshots, what a program holds, a window
# manager, the screen saver's state), the Debian package's checkers and benchmarks.
TEST_PACKAGES=(libgtest-dev libbenchmark-dev python3 xvfb xdotool x11-utils x11-xserver-utils imagemagick
               procps libxres1 libxfixes3 libxtst6 openbox libxss1 desktop-file-utils lintian appstream)
# The Windows unit tests (GoogleTest from its sources) and the 64-bit program's tests under 64-bit Wine, the Wine
# end-to-end tests' X servers, window manager and tools, and wrestool for the exes' resources. Installed without
# recommends, so Wine's GL and X libraries are named here.
WINDOWS_TEST_PACKAGES=(googletest wine64 libgl1 libglx-mesa0 libgl1-mesa-dri libxrandr2 libxrender1 libxi6 libxxf86vm1
                       libxcursor1 libxfixes3 libxinerama1 libxcomposite1 fonts-wine xvfb xdotool x11-utils
                       x11-xserver-utils imagemagick xserver-xorg-core xserver-xorg-video-dummy openbox python3
                       libxres1 libxtst6 icoutils)
# The browser build's tests in headless Chromium, driven from Debian's python3 over the DevTools protocol.
WEB_TEST_PACKAGES=(chromium python3-websocket)
