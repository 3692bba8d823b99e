# Shared by ./run, ./test and .ci/run: install what is missing, then configure and build.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Packages the programmer needs to build and run; the tests add theirs.
RUN_PACKAGES=(g++ cmake make pkg-config qt6-base-dev qt6-translations-l10n fonts-dejavu-core)
# The install test validates the menu entry and packs the Debian package (dpkg-shlibdeps and
# file find the libraries' packages).
TEST_PACKAGES=(libgtest-dev libgmock-dev googletest libbenchmark-dev xvfb xauth
               desktop-file-utils dpkg-dev file)
# The fuzz target: clang with its libFuzzer and sanitizer runtimes.
TEST_PACKAGES+=(clang libclang-rt-14-dev)

die() {
    echo "error: $*" >&2
    exit 1
}

# Installs the packages that are not installed yet; nothing at all when every one is.
install_missing() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    if [ "${#missing[@]}" -eq 0 ]; then
        return 0
    fi
    command -v apt-get >/dev/null || die "apt-get not found; install by hand: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null || die "run as root or install sudo; missing: ${missing[*]}"
        sudo=(sudo)
    fi
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update || die "apt-get update failed"
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y "${missing[@]}" \
        || die "apt-get install failed: ${missing[*]}"
}

# Configures and builds into $1 with the CMake options that follow.
build_into() {
    local dir="$1"
    shift
    cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" || die "configure failed"
    cmake --build "$dir" -j "$(nproc)" || die "build failed"
}
