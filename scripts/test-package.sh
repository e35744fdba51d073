#!/usr/bin/env bash
# The Windows zip: scripts/package.sh makes it in a throw-away folder, unpacks it into an
# empty folder and starts Tessaly.exe from there under Wine with nothing else beside it.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(mktemp -d /tmp/tessaly-dist.XXXXXX)
trap 'rm -rf "$out"' EXIT
./scripts/package.sh "$out"
