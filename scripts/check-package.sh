#!/usr/bin/env bash
# Builds the Debian package (scripts/package.sh) and checks it: the desktop
# entry and the AppStream metadata as packaged, lintian (errors fail, warnings
# are printed), then installs it on this machine with apt-get, runs the
# installed programs, and purges it again with whatever its installation
# added. Exits 1 when any check failed.
set -uo pipefail
cd "$(dirname "$0")/.."

failures=()
check() {  # check NAME COMMAND...: runs it, notes a failure
  local name=$1; shift
  echo "-- $name"
  if "$@"; then echo "-- $name: ok"; else echo "-- $name: FAILED"; failures+=("$name"); fi
}

deb=$(bash scripts/package.sh | sed -n 's/^package: //p')
if [ -z "$deb" ] || [ ! -f "$deb" ]; then
  echo "check-package: scripts/package.sh made no package" >&2
  exit 1
fi
deb=$(realpath "$deb")
version=$(dpkg-deb -f "$deb" Version)
echo "-- $deb: $(stat -c %s "$deb") bytes, version $version"
echo "-- Depends: $(dpkg-deb -f "$deb" Depends)"

tree=$(mktemp -d)
before=$(mktemp)
after=$(mktemp)
installing=0
cleanup() {
  # The package, and only what its installation brought along.
  if [ "$installing" = 1 ] && [ -s "$before" ]; then
    dpkg-query -W -f='${Package}\n' | sort >"$after"
    # shellcheck disable=SC2046
    apt-get purge -y -qq $(comm -13 "$before" "$after") redovivevorev >/dev/null ||
      echo "check-package: could not purge redovivevorev" >&2
  fi
  rm -rf "$tree" "$before" "$after"
}
trap cleanup EXIT

# What the package holds, as it holds it.
dpkg-deb -x "$deb" "$tree"
check "desktop-file-validate" desktop-file-validate "$tree"/usr/share/applications/redovivevorev.desktop
check "appstreamcli validate" appstreamcli validate --no-net "$tree"/usr/share/metainfo/*.metainfo.xml
check "lintian" lintian --fail-on error --display-info "$deb"

# Installed on this machine: everything it depends on is already here
# (scripts/setup.sh), so nothing is downloaded.
dpkg-query -W -f='${Package}\n' | sort >"$before"
installing=1
if ! DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null; then
  echo "check-package: apt-get install $deb failed" >&2
  exit 1
fi
[ -x /usr/bin/redovivevorev ] && [ -x /usr/bin/qxctl ] && [ -x /usr/bin/qx-looper-sim ] ||
  failures+=("installed programs")

qxctl_version() {
  local out status
  out=$(/usr/bin/qxctl --version 2>&1); status=$?
  echo "$out"
  [ "$status" -eq 0 ] || { echo "exit status $status"; return 1; }
  grep -qw -- "$version" <<<"$out" || { echo "no version $version in it"; return 1; }
}
check "/usr/bin/qxctl --version" qxctl_version

man_page() {
  local page
  page=$(man -w qxctl) || return 1
  echo "$page"
  [ "$page" = /usr/share/man/man1/qxctl.1.gz ]
}
check "man -w qxctl" man_page

sim_help() { /usr/bin/qx-looper-sim --help | head -2; }
check "/usr/bin/qx-looper-sim --help" sim_help

# The completion as bash-completion loads it on demand.
completion() {
  local words
  words=$(bash -c '
    . /usr/share/bash-completion/bash_completion
    _completion_loader qxctl
    COMP_WORDS=(qxctl settings set noise-gate ""); COMP_CWORD=4
    COMP_LINE="qxctl settings set noise-gate "; COMP_POINT=${#COMP_LINE}
    _qxctl qxctl "" noise-gate
    echo "${COMPREPLY[*]}"')
  echo "qxctl settings set noise-gate <TAB>: $words"
  [ "$words" = "Off 9 10 11 12" ]
}
check "qxctl completion" completion

# The window remembers its size and choices: here in a folder of the check's own.
XDG_CONFIG_HOME=$(mktemp -d)
export XDG_CONFIG_HOME

# The window on the built-in simulated looper, off screen, for five seconds:
# still running then (timeout's 124) is the pass.
window_demo() {
  local log status
  log=$(mktemp)
  QT_QPA_PLATFORM=offscreen timeout 5 /usr/bin/redovivevorev --demo >"$log" 2>&1; status=$?
  echo "exit status $status after $(wc -l <"$log") lines of output; the first:"
  head -5 "$log"
  rm -f "$log"
  [ "$status" -eq 124 ]
}
check "redovivevorev --demo, offscreen, 5 s" window_demo

# SIGTERM closes the window: status 0, where a crash on the way out would
# show as the signal's status (timeout's 124 above hides how it ended).
window_close() {
  local status
  QT_QPA_PLATFORM=offscreen timeout --preserve-status --kill-after=5 2 /usr/bin/redovivevorev --demo >/dev/null 2>&1
  status=$?
  echo "exit status $status"
  [ "$status" -eq 0 ]
}
check "redovivevorev --demo ended by SIGTERM" window_close
rm -rf "$XDG_CONFIG_HOME"

if [ ${#failures[@]} -gt 0 ]; then
  echo "check-package: failed: ${failures[*]}"
  exit 1
fi
echo "check-package: $deb passed"
