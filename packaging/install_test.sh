#!/bin/sh
# Installs the build into a scratch DESTDIR and checks what a Linux user relies on: programs in
# bin/, libraries and modules in lib/velk/ that the installed programs load, the service
# registering the installed modules, the desktop entries, icons and the polkit action.
set -eu
build=${1:?usage: install_test.sh BUILD-DIR}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=/usr/local
root="$scratch/root"

fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR="$root" cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1 ||
  { cat "$scratch/install.log"; fail "cmake --install"; }
grep -q "Staged in DESTDIR" "$scratch/install.log" || fail "a staged install must not register the service"

for file in bin/velk bin/velkctl bin/velkreg bin/velk-sim bin/velk-display bin/velksaver \
            bin/velk-configure lib/velk/libvelkplatform.so lib/velk/velktime.so \
            lib/velk/velktime_ui.so share/applications/velk-media-players.desktop \
            share/applications/velkconfig.desktop share/icons/hicolor/scalable/apps/velk-media-players.svg \
            share/icons/hicolor/scalable/apps/velk-config.svg; do
  [ -e "$root$prefix/$file" ] || fail "$prefix/$file is not installed"
done
policy="$root/usr/share/polkit-1/actions/org.velk.velkconfig.policy"
[ -e "$policy" ] || fail "the polkit action is not where polkit reads actions"
grep -q "<annotate key=\"org.freedesktop.policykit.exec.path\">$prefix/bin/velkconfig</annotate>" "$policy" ||
  fail "the polkit action does not name the installed velkconfig"
grep -q "^Exec=pkexec $prefix/bin/velkconfig$" "$root$prefix/share/applications/velkconfig.desktop" ||
  fail "the configuration tool's entry does not start it through pkexec"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root$prefix"/share/applications/*.desktop || fail "desktop entries"
fi

# The installed programs run from their run path, not from the build tree.
LD_LIBRARY_PATH= "$root$prefix/bin/velkreg" --help >/dev/null 2>&1 || fail "installed velkreg does not run"
# The installed service registers the installed modules.
export VELK_REGISTRY_DIR="$scratch/registry" VELK_SYSTEMD_UNIT_DIR="$scratch/units"
mkdir -p "$VELK_REGISTRY_DIR" "$VELK_SYSTEMD_UNIT_DIR"
"$root$prefix/bin/velk" --regserver >"$scratch/register.log" 2>&1 ||
  { cat "$scratch/register.log"; fail "installed velk --regserver"; }
"$root$prefix/bin/velkreg" query 'HKCR\CLSID\{D4759F97-ABB6-4DBA-8ECD-9B2B0CEE91DE}\InprocServer32' |
  grep -q "$root$prefix/lib/velk/velktime.so" || fail "the installed time provider is not registered"
echo "installed and registered under $prefix"
