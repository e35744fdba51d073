#!/usr/bin/env bash
# Installs what is needed, builds every build and runs every test. Exits non-zero when
# any build or test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh

echo "== native build and unit tests"
cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native

for extra in scripts/test-*.sh; do
  [ -e "$extra" ] || continue
  echo "== $extra"
  bash "$extra"
done
echo "All builds and tests passed."
