# packages.sh -- sourced by run.sh and test.sh: installs the Debian packages a step needs when they are missing.

# ensure_packages PACKAGE... : as root, apt-get installs what is missing; otherwise prints the line to run.
ensure_packages() {
    local missing=()
    local package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing Debian packages. Install them with:" >&2
        echo "  sudo apt-get update && sudo apt-get install -y --no-install-recommends ${missing[*]}" >&2
        exit 1
    fi
    echo "Installing ${missing[*]}" >&2
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

BUILD_PACKAGES=(cmake ninja-build g++ pkg-config libsdl2-dev libgl-dev libglu1-mesa-dev libegl-dev
                libgl1-mesa-dri libegl-mesa0)
TEST_PACKAGES=(libgtest-dev libbenchmark-dev libstb-dev python3 clang)
