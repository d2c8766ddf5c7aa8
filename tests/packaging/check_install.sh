#!/usr/bin/env bash
# Installs the built program into a temporary root and checks what a desktop
# needs of it: a valid desktop entry, AppStream metadata, the file type, the
# icons and the manual page; then builds the Debian package, unpacks it
# without installing it and runs ondro-cli from there.
# Usage: check_install.sh BUILD_DIR
set -euo pipefail
build=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
failures=0
check() { # check DESCRIPTION COMMAND...
  if "${@:2}" >"$root/log" 2>&1; then echo "PASS   : $1"; else echo "FAIL!  : $1"; cat "$root/log"; failures=$((failures + 1)); fi
}

cmake --install "$build" --prefix "$root/usr" >/dev/null
share=$root/usr/share
check "desktop entry is valid" desktop-file-validate "$share/applications/org.example.ondro.desktop"
if command -v appstreamcli >/dev/null; then
  check "AppStream metadata is valid" appstreamcli validate --no-net "$share/metainfo/org.example.ondro.metainfo.xml"
else
  echo "SKIP   : appstreamcli is not installed"
fi
check "the file type of libraries is known" \
  bash -c "update-mime-database '$share/mime' && grep -q 'application/x-ondro-library' '$share/mime/globs2' && grep -q '\\*.odl' '$share/mime/globs2'"
for size in 16x16 32x32 48x48 256x256 scalable; do
  check "icon $size is installed" bash -c "ls '$share/icons/hicolor/$size/apps/' | grep -q '^org.example.ondro\\.'"
done
check "the manual page names every command" \
  bash -c "for c in \$('$root/usr/bin/ondro-cli' --help | awk '/^Commands:/{on=1;next} on&&/^\$/{exit} on{print \$1}'); do grep -q \"\$c\" '$share/man/man1/ondro-cli.1' || exit 1; done && head -1 '$share/man/man1/ondro-cli.1' | grep -q '^.TH ONDRO'"

if command -v dpkg-shlibdeps >/dev/null; then
  (cd "$build" && cpack -G DEB -B "$root/package" >/dev/null)
  deb=$(ls "$root"/package/*.deb)
  check "the package depends on the libraries it links" bash -c "dpkg-deb -f '$deb' Depends | grep -q 'libqt6widgets6'"
  dpkg-deb -x "$deb" "$root/unpacked"
  check "ondro-cli runs from the unpacked package" bash -c "'$root/unpacked/usr/bin/ondro-cli' --version | grep -q '^ondro-cli '"
else
  echo "SKIP   : dpkg-shlibdeps (dpkg-dev) is not installed"
fi

[ "$failures" -eq 0 ] && echo "packaging checks: all passed" || echo "packaging checks: $failures failed"
exit $((failures > 0))
