#!/usr/bin/env bash
# Builds the Debian package, then installs it, upgrades it over itself, removes and purges it on
# this machine, checking the group, the modes, and which files stay. A non-root member of the
# group runs the installed programs, whose trace lands in the installed log directory. Needs
# root, and leaves the machine as it found it (but for the group, which purge keeps).
set -euo pipefail
cd "$(dirname "$0")/../.."

package=cn.orvane.stampctl
app=/opt/apps/$package
base=$app/files
group=stampctl
user=stampctl-pkgtest

if [ "$(id -u)" -ne 0 ]; then
  echo "SKIP: the package test installs a package and needs root"
  exit 0
fi
if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q installed; then
  echo "SKIP: $package is installed here; the test would remove it"
  exit 0
fi

group_existed=false
getent group "$group" >/dev/null && group_existed=true
cleanup() {
  dpkg --purge "$package" >/dev/null 2>&1 || true
  userdel "$user" >/dev/null 2>&1 || true
  $group_existed || groupdel "$group" >/dev/null 2>&1 || true
  rm -rf "$work"
}
work=$(mktemp -d)
chmod 755 "$work"  # the operator runs a program from it
trap cleanup EXIT

fail() { echo "FAIL: $*"; exit 1; }
expect_mode() {  # path, "owner:group mode"
  local actual
  actual=$(stat -c '%U:%G %a' "$1")
  [ "$actual" = "$2" ] || fail "$1 is $actual, not $2"
}
expect_installed_layout() {
  getent group "$group" >/dev/null || fail "no group $group"
  expect_mode "$base/log" "root:$group 2775"
  expect_mode "$base/cut" "root:$group 2775"
  [ -f /lib/udev/rules.d/70-stampctl.rules ] || fail "no udev rule"
  [ "$(readelf -d "$base/sealtool" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')" = '$ORIGIN' ] ||
    fail "sealtool does not look for the library next to itself"
  [[ "$(ldd "$base/sealtool")" == *"libstampctl.so.1 => $base/libstampctl.so.1 "* ]] ||
    fail "sealtool does not find the installed library"
  cmake -DINFO="$app/info" -P tests/package/check_info.cmake || fail "bad info manifest"
}
# What an operator runs: the command-line tool when the package has it, else a small program
# of our own on the installed library. Both talk to the simulated machine.
run_as_operator() {
  if [ -x "$base/stampctl" ]; then
    runuser -u "$user" -- /usr/bin/stampctl --simulator status
  else
    runuser -u "$user" -- env STAMPCTL_SIMULATOR=1 "$work/consumer"
  fi
}

deb=$(scripts/package.sh | tail -n 1)
echo "built $deb"

[ ! -e "$app" ] || fail "$app exists before the package is installed"
useradd --system --no-create-home --shell /usr/sbin/nologin --user-group "$user"
if ! dpkg-deb -c "$deb" | grep -q "${base#/}/stampctl$"; then
  cc -o "$work/consumer" tests/consumer/consumer.c -I. -Lbuild/package/stampctl \
     -l:libstampctl.so.1 -Wl,-rpath,"$base"
fi
dpkg -i "$deb" >/dev/null
usermod --append --groups "$group" "$user"
# At once: on a shared build machine, other programs on the library may start the day's trace
# file as soon as the directory exists.
run_as_operator
expect_installed_layout
trace=$(grep -l "_connMachine return:0" "$base"/log/*) ||
  fail "the operator's trace is not in $base/log: $(ls -l "$base"/log; tail -n 3 "$base"/log/*)"
# Whoever starts the day's file, every other member appends to it.
[ "$(stat -c '%G %a' "$trace")" = "$group 664" ] || fail "$trace: $(stat -c '%U:%G %a' "$trace")"
runuser -u "$user" -- touch "$base/cut/photo.jpg" || fail "an operator cannot write photos"
echo "installed: group, modes, udev rule, RUNPATH, manifest, operator's trace and photo"

dpkg -i "$deb" >/dev/null
expect_installed_layout
[ -f "$trace" ] && [ -f "$base/cut/photo.jpg" ] || fail "the upgrade lost traces or photos"
run_as_operator >/dev/null
echo "upgraded over itself: layout kept, traces and photos kept"

dpkg --remove "$package" >/dev/null 2>&1
[ ! -e "$base/sealtool" ] && [ ! -e /lib/udev/rules.d/70-stampctl.rules ] || fail "remove left programs"
[ -f "$trace" ] && [ -f "$base/cut/photo.jpg" ] || fail "remove lost the site's traces or photos"
echo "removed: programs gone, traces and photos kept"

dpkg --purge "$package" >/dev/null
[ ! -e "$app" ] || fail "purge left $app: $(find "$app" | head -5)"
getent group "$group" >/dev/null || fail "purge removed the group $group"
echo "purged: $app gone, group $group kept"
echo "PASS"
