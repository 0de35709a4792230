#!/usr/bin/env bash
# Makes the pictures in docs/ again: the window tests save a picture of the
# window they drive.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/debug}
cmake --build "$build" --target tst_login tst_mainwindow tst_registration tst_form16 -j2
if [ "$(id -u)" -eq 0 ]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi
export AGENT_SCREENSHOT_DIR="$PWD/docs" QT_QPA_PLATFORM=offscreen \
  ASAN_OPTIONS=new_delete_type_mismatch=0:detect_leaks=0
"$build/tests/app/ui/tst_login" loginWindowPicture
"$build/tests/app/ui/tst_mainwindow" mainWindowPicture "manualRechargeEndToEnd:game card" \
  taobaoShopEndToEnd
"$build/tests/app/ui/tst_registration" registrationWindowPicture
"$build/tests/inventory/tst_form16" bulkImportInTwoClicks
echo "docs/login-window.png, main-window.png, manual-recharge.png, registration-window.png," \
  "card-store.png, shop-monitor.png written"
