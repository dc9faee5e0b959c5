#!/usr/bin/env bash
# Installs what building QOR, qor-host and the sample applets needs (Debian 12), when any of it is
# missing: enough for the demo. Quiet: one line per step, nothing at all when everything is there.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup-packages.sh"

ensure_packages build cmake ninja-build g++ pkg-config libxml2-dev libicu-dev
