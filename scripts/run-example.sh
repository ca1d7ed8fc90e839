#!/usr/bin/env bash
# Installs what the pricing tool needs, builds it, and prices the bundled
# example note with greeks, printing the report.
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/install-packages.sh
install_packages build-essential cmake nlohmann-json3-dev libcli11-dev libquantlib0-dev libboost-dev

cmake -S . -B build/example -DCMAKE_BUILD_TYPE=Release -DMORVIK_TESTS=OFF -DMORVIK_BENCH=OFF >/dev/null
cmake --build build/example -j "$(nproc)" --target morvik-price >/dev/null

build/example/tools/morvik-price examples/two_stock_stepdown.json --greeks "$@"
