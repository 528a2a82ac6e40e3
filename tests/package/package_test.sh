#!/usr/bin/env bash
# Builds the Debian package, installs it, upgrades it over itself, removes and purges it here,
# checking the group, the modes and which files stay; a non-root member of the group runs the
# installed programs. Needs root; leaves the machine as found, but for the group purge keeps.
set -euo pipefail
cd "$(dirname "$0")/../.."
package=cn.orvane.stampctl app=/opt/apps/cn.orvane.stampctl group=stampctl user=stampctl-pkgtest
base=$app/files

[ "$(id -u)" -eq 0 ] || { echo "SKIP: the package test installs a package and needs root"; exit 0; }
if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q installed || [ -e "$app" ]; then
  echo "SKIP: $app is in use here; the test would remove it"; exit 0
fi
had_group=$(getent group "$group" || true)
work=$(mktemp -d)
chmod 755 "$work"  # the operator runs a program from it
cleanup() {
  dpkg --purge "$package" >/dev/null 2>&1 || true
  userdel "$user" >/dev/null 2>&1 || true
  [ -n "$had_group" ] || groupdel "$group" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
expect() { [ "$(stat -c "$1" "$2")" = "$3" ] || fail "$2: $(stat -c "$1" "$2"), not $3"; }
installed_layout() {
  for dir in log cut; do expect '%U:%G %a' "$base/$dir" "root:$group 2775"; done
  [ -f /lib/udev/rules.d/70-stampctl.rules ] && [ -f "$app/info" ] || fail "no udev rule or manifest"
  [[ "$(ldd "$base/sealtool")" == *"libstampctl.so.1 => $base/libstampctl.so.1 "* ]] &&
    [[ "$(readelf -d "$base/sealtool")" == *"runpath: [\$ORIGIN]"* ]] || fail "sealtool's RUNPATH"
  # bash-completion loads a command's completion from the file named after the command.
  bash -c '. /usr/share/bash-completion/completions/stampctl && complete -p stampctl' >/dev/null ||
    fail "no bash completion for stampctl"
}
# The command-line tool when the package has it, else our own program on the installed library.
run_as_operator() {
  if [ -x "$base/stampctl" ]; then runuser -u "$user" -- /usr/bin/stampctl --simulator status
  else runuser -u "$user" -- env STAMPCTL_SIMULATOR=1 "$work/consumer"; fi
}

deb=$(scripts/package.sh | tail -n 1)
# Loaded by Qt at run time, so dpkg-shlibdeps cannot find it: without it sealtool's own dialogs
# speak English.
dpkg-deb -f "$deb" Depends | grep -qw qttranslations5-l10n || fail "no dependency on Qt's translations"
useradd --system --no-create-home --shell /usr/sbin/nologin --user-group "$user"
cc -o "$work/consumer" tests/consumer/consumer.c -I. -Lbuild/package/stampctl -l:libstampctl.so.1 \
   -Wl,-rpath,"$base"
dpkg -i "$deb" >/dev/null
usermod --append --groups "$group" "$user"
# At once: on a shared build machine other programs may start the day's trace file first.
run_as_operator
installed_layout
trace=$(grep -l "_connMachine return:0" "$base"/log/*) || fail "no operator's trace in $base/log"
expect '%G %a' "$trace" "$group 664"  # whoever starts it, every member appends
runuser -u "$user" -- touch "$base/cut/photo.jpg"
echo "installed $deb: group, modes, udev rule, RUNPATH, completion, manifest, operator's trace and photo"

dpkg -i "$deb" >/dev/null
installed_layout
[ -f "$trace" ] && [ -f "$base/cut/photo.jpg" ] && run_as_operator >/dev/null || fail "upgrade"
echo "upgraded over itself: layout, traces and photos kept"

dpkg --remove "$package" >/dev/null 2>&1
[ ! -e "$base/sealtool" ] && [ ! -e /lib/udev/rules.d/70-stampctl.rules ] || fail "remove left programs"
[ -f "$trace" ] && [ -f "$base/cut/photo.jpg" ] || fail "remove lost the site's traces or photos"
echo "removed: programs gone, traces and photos kept"

dpkg --purge "$package" >/dev/null 2>&1
[ ! -e "$app" ] || fail "purge left $(find "$app" | head -3)"
getent group "$group" >/dev/null || fail "purge removed the group"
echo "purged: $app gone, group $group kept"
echo PASS
