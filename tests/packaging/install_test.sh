#!/usr/bin/env bash
# Installs the build into a fresh prefix, checks the desktop files and starts
# the installed program: once normally, once from a read-only location.
# Needs a display (run under xvfb-run).
set -euo pipefail
build="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
prefix="$work/prefix"

cmake --install "$build" --prefix "$prefix" >/dev/null
test -x "$prefix/bin/cubiform"

desktop="$prefix/share/applications/com.example.Cubiform.desktop"
desktop-file-validate "$desktop"
grep -qx 'Exec=cubiform %f' "$desktop"
grep -qx 'MimeType=application/x-cubiform-project;' "$desktop"
test -f "$prefix/share/icons/hicolor/scalable/apps/com.example.Cubiform.svg"
appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/com.example.Cubiform.metainfo.xml" >/dev/null
update-mime-database "$prefix/share/mime" >/dev/null 2>&1
grep -qx 'application/x-cubiform-project' "$prefix/share/mime/types"
test -f "$prefix/share/cubiform/Help/Default.htm"

# The installed command line renders the demo without any display.
env -u DISPLAY "$prefix/bin/cubiform" --version | grep -q '^Cubiform Classic 1.2$'
env -u DISPLAY "$prefix/bin/cubiform" render "$build/examples/demo/demo.pcf" -o "$work/demo.png"
test -s "$work/demo.png"

# Runs the installed window for a moment as the given user; it must still be
# running when stopped (status 124 from timeout), not have failed.
run_window() {
  local home="$1"; shift
  set +e
  env -i PATH=/usr/bin:/bin DISPLAY="$DISPLAY" XAUTHORITY="${XAUTHORITY:-}" HOME="$home" \
      XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$home/run" \
      "$@" timeout 4 "$prefix/bin/cubiform" >"$home/out.txt" 2>&1
  local rc=$?
  set -e
  if [ $rc -ne 124 ]; then
    echo "installed program ended with status $rc:"; cat "$home/out.txt"; exit 1
  fi
}

home="$work/home"
mkdir -p "$home/run" && chmod 700 "$home/run"
run_window "$home"
# Nothing is made beside the program, even where it could be.
test ! -e "$prefix/bin/Output" && test ! -e "$prefix/bin/Projects"

# Read-only install: it starts all the same, making no folders of its own.
chmod -R a-w "$prefix"
ro_home="$work/ro-home"
mkdir -p "$ro_home/run"
if [ "$(id -u)" -eq 0 ]; then
  # root may write anywhere: run as an unprivileged user to see a read-only place
  if [ -n "${XAUTHORITY:-}" ]; then
    cp "$XAUTHORITY" "$ro_home/Xauthority"
    export XAUTHORITY="$ro_home/Xauthority"
  fi
  chown -R nobody "$ro_home"
  chmod 700 "$ro_home/run"
  run_window "$ro_home" setpriv --reuid=nobody --regid=nogroup --clear-groups
else
  chmod 700 "$ro_home/run"
  run_window "$ro_home"
fi
chmod -R u+w "$prefix"
test ! -e "$prefix/bin/Output"
test ! -e "$ro_home/data/Tralen/Cubiform/Output"
test ! -e "$ro_home/data/Tralen/Cubiform/Projects"
if grep -qiE 'error|warning|fail' "$ro_home/out.txt"; then
  echo "alarming output from a read-only install:"; cat "$ro_home/out.txt"; exit 1
fi
echo "install check passed"
