#!/usr/bin/env bash
# Renews the pictures of the operator manual (docs/bilder/) from the test suite's screenshots: the
# panels as the Qt view test shows them, and the main window connected to the simulator.
# Environment: TLX1_BUILD_DIR (default: build).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TLX1_BUILD_DIR:-$root/build}"
bilder="$root/docs/bilder"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export QT_QPA_PLATFORM=offscreen

TLX1_SCREENSHOT_DIR="$tmp" "$build/tests/qt/qt_tests" --gtest_filter='*Screenshots*' >"$tmp/qt.log" ||
    { cat "$tmp/qt.log" >&2; exit 1; }
mkdir -p "$bilder"
cp "$tmp/konfig_1x.png" "$bilder/skalierung.png"
cp "$tmp/about_1x.png" "$bilder/info.png"
cp "$tmp/schnittstellen_1x.png" "$bilder/schnittstellen.png"
TLX1_SCREENSHOT_LIVE="$bilder/hauptfenster.png" "$build/tests/app_qt_device/app_qt_device_tests" >"$tmp/live.log" ||
    { cat "$tmp/live.log" >&2; exit 1; }
echo "handbuch-bilder: $(ls "$bilder" | tr '\n' ' ')"
