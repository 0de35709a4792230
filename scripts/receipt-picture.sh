#!/usr/bin/env bash
# Makes docs/receipt.png: the receipt the printing test prints to PDF, its
# first page cut to the receipt at 150 dpi.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/debug}
cmake --build "$build" --target tst_receipts -j2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
AGENT_SCREENSHOT_DIR="$out" QT_QPA_PLATFORM=offscreen \
  ASAN_OPTIONS=new_delete_type_mismatch=0:detect_leaks=0 \
  "$build/tests/orders/tst_receipts" printsCopiesToPdf
pdftoppm -png -r 150 -f 1 -l 1 -x 0 -y 0 -W 330 -H 520 -singlefile "$out/receipt.pdf" docs/receipt
echo "docs/receipt.png written"
