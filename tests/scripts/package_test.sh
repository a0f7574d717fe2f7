#!/usr/bin/env bash
# Makes the Debian package from a built tree with CPack and checks it: the
# files it installs, the dependencies dpkg-shlibdeps found, and lintian's
# verdict (no errors, no warnings) where lintian is installed.
# Usage: package_test.sh BUILD-DIR
set -uo pipefail
build=$1
. "$(dirname "$0")/require_tools.sh"
require_tools package_test cpack dpkg-deb dpkg-shlibdeps
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

(cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/klx-saver_*_amd64.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || { cat "$work/cpack.log"; echo "FAIL: cpack made no package"; exit 1; }
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

# The listing is read whole first: "grep -q" on a pipe may stop dpkg-deb
# early, which pipefail counts as a failure.
listing=$(dpkg-deb --contents "$deb")
contents=$(awk '{ print $6 }' <<<"$listing")
for path in ./usr/bin/klx-saver ./usr/libexec/xscreensaver/klx-saver ./usr/share/xscreensaver/config/klx-saver.xml \
    ./usr/share/applications/klx-saver-settings.desktop ./usr/share/icons/hicolor/scalable/apps/klx-saver.svg \
    ./usr/share/man/man6/klx-saver.6.gz ./usr/share/doc/klx-saver/copyright ./usr/share/doc/klx-saver/changelog.gz; do
  grep -qxF "$path" <<<"$contents" || fail "the package lacks $path"
done
grep -q "xscreensaver/klx-saver -> ../../bin/klx-saver" <<<"$listing" ||
  fail "the hack is not a link to the program"
depends=$(dpkg-deb -f "$deb" Depends)
echo "depends: $depends"
for package in libsdl2-2.0-0 libepoxy0 libgtk-3-0 libjpeg62-turbo libgl1 libopenal1 libvorbisfile3; do
  grep -q "$package" <<<"$depends" || fail "the package does not depend on $package"
done

# The installed program runs: the password mode starts and ends at once.
dpkg-deb -x "$deb" "$work/root"
XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" KLX_NO_MESSAGE_BOXES=1 \
  "$work/root/usr/bin/klx-saver" /a 1 || fail "the packaged program exited with $?"
grep -q "Конец лога" <<<"$(iconv -f CP1251 -t UTF-8 "$work/data/VELMORA Studio/KLXLog.txt")" ||
  fail "the packaged program's log is not complete"

if command -v lintian >/dev/null; then
  report=$(timeout 300 lintian --allow-root "$deb" 2>&1)
  echo "lintian: ${report:-clean}"
  if grep -q "^[EW]: " <<<"$report"; then fail "lintian reports errors or warnings"; fi
else
  echo "package_test: lintian is not installed: not run"
fi

[ "$failures" -eq 0 ] || exit 1
echo "package_test: all checks passed"
