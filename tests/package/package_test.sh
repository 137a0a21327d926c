#!/usr/bin/env bash
# The Debian package as a user gets it: built with CPack from the build tree (no rebuild), listed
# with dpkg-deb -c, extracted with dpkg-deb -x into a temporary root. The programs there answer
# --version without a display, the manual pages render without a warning, the desktop entry is
# valid, the completion loads, and the dependencies come from the programs' libraries.
# Usage: package_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fehler=0
fail() { echo "FAIL: $*" >&2; fehler=1; }

if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$tmp/out" >"$tmp/cpack.log" 2>&1; then
    cat "$tmp/cpack.log" >&2
    fail "cpack"
    exit 1
fi
deb="$tmp/out/tlx1steuerung_${version}_$(dpkg --print-architecture).deb"
[[ -f $deb ]] || { ls "$tmp/out" >&2; fail "no $deb"; exit 1; }

dpkg-deb -c "$deb" >"$tmp/inhalt"
for pfad in usr/bin/tlx1steuerung usr/bin/tlx1ctl usr/bin/tlx1sim \
            usr/share/applications/tlx1steuerung.desktop \
            usr/share/icons/hicolor/scalable/apps/tlx1steuerung.svg \
            usr/share/man/man1/tlx1steuerung.1.gz usr/share/man/man1/tlx1ctl.1.gz \
            usr/share/man/man1/tlx1sim.1.gz usr/share/bash-completion/completions/tlx1ctl \
            usr/share/doc/tlx1steuerung/handbuch.md usr/share/doc/tlx1steuerung/CHANGELOG.md \
            usr/share/doc/tlx1steuerung/bilder/hauptfenster.png \
            usr/share/tlx1steuerung/handbuch.md usr/share/tlx1steuerung/bilder/hauptfenster.png; do
    grep -q " \./$pfad\$" "$tmp/inhalt" || fail "$pfad is not in the package"
done

abhaengig=$(dpkg-deb -f "$deb" Depends)
for paket in libc6 libstdc++6 libqt6widgets6; do
    [[ $abhaengig == *"$paket"* ]] || fail "Depends lacks $paket: $abhaengig"
done

dpkg-deb -x "$deb" "$tmp/root"
for programm in tlx1steuerung tlx1ctl tlx1sim; do
    ausgabe=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$tmp/root/usr/bin/$programm" --version) ||
        fail "$programm --version failed"
    [[ $ausgabe == "$programm $version" ]] || fail "$programm --version printed '$ausgabe'"
done

for seite in tlx1steuerung tlx1ctl tlx1sim; do
    warnungen=$(MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l "$tmp/root/usr/share/man/man1/$seite.1.gz" 2>&1 >/dev/null)
    [[ -z $warnungen ]] || fail "man $seite: $warnungen"
done

desktop-file-validate "$tmp/root/usr/share/applications/tlx1steuerung.desktop" || fail "desktop-file-validate"
bash -c "source '$tmp/root/usr/share/bash-completion/completions/tlx1ctl' && complete -p tlx1ctl" >/dev/null ||
    fail "the completion does not load"

[[ $fehler == 0 ]] && echo "package test: $(basename "$deb") ok"
exit $fehler
