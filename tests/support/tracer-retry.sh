#!/bin/sh
# Runs one sanitized test process. LeakSanitizer's tracer now and then
# crashes while it stops a process that used Mesa's threads; that crash says
# nothing about the program, so the run is repeated. A real leak report, or
# any other failure, is passed on as it is.
out=$(mktemp) || exit 1
trap 'rm -f "$out"' EXIT
for attempt in 1 2 3; do
  "$@" >"$out" 2>&1
  status=$?
  grep -q "Tracer caught signal" "$out" || break
  echo "LeakSanitizer's tracer crashed (run $attempt of 3)" >&2
done
cat "$out"
exit $status
