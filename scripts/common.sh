# Shared set-up for run.sh, test.sh and bench.sh: install what is missing, configure, build.
# Sourced, not run.

BUILD_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev libzip-dev zlib1g-dev libdeflate-dev libssl-dev fonts-liberation)
TEST_PACKAGES=(unzip zip python3 7zip xvfb xauth openbox trayer xdotool x11-utils imagemagick strace desktop-file-utils clang-format fuse3 python3-fusepy
    e2fsprogs)
# package.sh: dpkg-dev and file build the package and git gives its changelog; lintian, appstream and
# python3-debian check it (tests/install/check-package.sh).
PACKAGE_PACKAGES=(dpkg-dev file git lintian appstream python3-debian)

say() { printf 'tessaly: %s\n' "$*" >&2; }

# ensure_packages PKG... : installs the missing Debian packages with apt-get (as root or through
# sudo); otherwise names them and the one command that installs them, and stops.
ensure_packages() {
    local missing=() pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
            sudo=(sudo)
        elif command -v sudo >/dev/null 2>&1 && [ -t 0 ]; then
            sudo=(sudo)
        else
            say "missing Debian packages: ${missing[*]}"
            say "install them with: sudo apt-get install -y ${missing[*]}"
            exit 1
        fi
    fi
    say "installing ${missing[*]}"
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 update -qq >/dev/null &&
        "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null ||
        { say "apt-get could not install: ${missing[*]}"; exit 1; }
}

# build_tree DIR [CMAKE ARGS...] : configures (once) and builds the project in DIR.
build_tree() {
    local dir=$1
    shift
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null || exit 1
    fi
    cmake --build "$dir" --parallel "$(nproc)" || exit 1
}
