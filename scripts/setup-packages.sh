# Sourced by the set-up scripts: installs Debian packages quietly, one line per step.
#   ensure_packages WHAT PACKAGE...
# installs the PACKAGEs that are missing and prints nothing when none is. apt's own output goes to
# build/setup.log and is shown only when a step fails; the failure ends the calling script.

setup_log="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/setup.log"

# Runs one step with its output in the log: "setup: TEXT ... done", or the log's end and exit 1.
setup_step() {
    local text=$1
    shift
    printf 'setup: %s ... ' "$text"
    if "$@" >>"$setup_log" 2>&1; then
        echo done
    else
        echo failed
        echo "---- last lines of $setup_log" >&2
        tail -n 25 "$setup_log" >&2
        exit 1
    fi
}

ensure_packages() {
    local what=$1
    shift
    local missing=() package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$package")
    done
    [ ${#missing[@]} -gt 0 ] || return 0

    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null || {
            echo "setup: the $what packages ${missing[*]} are missing; install them as root" >&2
            exit 1
        }
        sudo=(sudo)
    fi
    mkdir -p "$(dirname "$setup_log")"
    if [ -z "${setup_index_updated:-}" ]; then
        : >"$setup_log"
        setup_step "updating the package index" "${sudo[@]}" apt-get update -q
        setup_index_updated=1
    fi
    setup_step "installing the $what packages: ${missing[*]}" \
        "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -q "${missing[@]}"
}
