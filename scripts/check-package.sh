#!/usr/bin/env bash
# Makes the Debian package from the release build (after scripts/test.sh), installs it with apt,
# which pulls in the libraries its computed dependencies name, and runs the installed programs:
# kinovane-convert on the installed sample, whose events table must be the expected one, and
# kinovane --version and --help. lintian checks the package against Debian's rules first.
# Run as root, on a machine where installing it is wanted (CI).
set -euo pipefail
cd "$(dirname "$0")/.."
export DEBIAN_FRONTEND=noninteractive

echo "== package"
rm -f build/kinovane_*.deb
(cd build && cpack -G DEB)
deb=$(ls build/kinovane_*.deb)
dpkg-deb --field "$deb" Package Version Architecture Depends
# Debian's own rules for a package: no error may stand.
apt-get install -y lintian
lintian --fail-on error "$deb"
apt-get install -y "./$deb"

echo "== installed programs"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && kinovane-convert /usr/share/kinovane/samples/walk.bvh --quiet \
    --c3d walk.c3d --events-csv events.csv)
cmp "$work/events.csv" tests/data/expected/walk-events.csv
test -s "$work/walk.c3d"
xvfb-run -a kinovane --version
(cd "$work" && kinovane --help | grep -q "Usage: kinovane")
for file in /usr/share/applications/kinovane.desktop /usr/share/mime/packages/kinovane.xml \
    /usr/share/icons/hicolor/scalable/apps/kinovane.svg /usr/share/man/man1/kinovane.1.gz \
    /usr/share/man/man1/kinovane-convert.1.gz /usr/share/kinovane/profiles/ipi.profile.xml; do
    test -s "$file" || { echo "missing $file"; exit 1; }
done
echo "package installed and working: $deb"
