#!/bin/sh
# Looks into the Debian package that "make package" built: its control data
# and the files it would install. Skipped (77) when no package was built.
set -u
build=$1
deb=$(ls "$build"/TAVLIN-*.deb 2>/dev/null | head -n 1)
if [ -z "$deb" ] || ! command -v dpkg-deb >/dev/null; then
  echo "no package built (make package) or no dpkg-deb: skipped"
  exit 77
fi
fail=0
check() { # what, pattern, text
  if ! printf '%s\n' "$3" | grep -Eq -- "$2"; then echo "missing $1: $2"; fail=1; fi
}
info=$(dpkg-deb --info "$deb") || { echo "dpkg-deb --info failed"; exit 1; }
check control '^ Package: tavlin-studio$' "$info"
check control '^ Architecture: amd64$|^ Architecture: [a-z0-9]+$' "$info"
check control '^ Depends: .*libqt6widgets6' "$info"
check control '^ Depends: .*libpng16' "$info"
check control '^ Depends: .*libavcodec' "$info"
check control '^ Description: ' "$info"
contents=$(dpkg-deb --contents "$deb") || { echo "dpkg-deb --contents failed"; exit 1; }
for f in ./opt/TAVLIN/tavlin-studio ./opt/TAVLIN/tavlin ./opt/TAVLIN/tavlin-setup ./opt/TAVLIN/license.txt \
         ./opt/TAVLIN/tavlin.png ./opt/TAVLIN/res/res.txt ./opt/TAVLIN/res/dialog.txt ./opt/TAVLIN/res/menu.txt \
         ./opt/TAVLIN/doc/index.html ./opt/TAVLIN/pages/ ./opt/TAVLIN/tmp/ ./opt/TAVLIN/template/ \
         ./usr/share/applications/tavlin-studio.desktop ./usr/share/mime/packages/tavlin-project.xml \
         ./usr/share/icons/hicolor/256x256/apps/tavlin-studio.png; do
  check file "^[-dl]r.* $f( |\$)" "$contents"
done
check launcher '^l.* \./usr/bin/tavlin-studio -> /opt/TAVLIN/tavlin-studio$' "$contents"
check launcher '^l.* \./usr/bin/tavlin -> /opt/TAVLIN/tavlin$' "$contents"
check program '^-rwxr-xr-x root/root .* \./opt/TAVLIN/tavlin-studio$' "$contents"
# Nothing in the package may be writable by everyone.
if printf '%s\n' "$contents" | grep -E '^[-d].......w' ; then echo "world-writable entries"; fail=1; fi
# Nothing of the build tree (tests, benchmarks) comes along.
if printf '%s\n' "$contents" | grep -E '_tests|bench_'; then echo "test programs packaged"; fail=1; fi
exit $fail
