#!/usr/bin/env bash
# run_unprivileged.sh <test program> [arguments...]
# Root ignores permission bits, so a test of read-only files passes as root
# whatever the code does. Run as root, this runs a copy of the program as the
# unprivileged user nobody, with a prefix of its own; run as anyone else it
# has nothing to add and reports the test as skipped (77).
set -euo pipefail
program=$1
shift
[ "$(id -u)" -eq 0 ] || { echo "not root: the ordinary run already is unprivileged"; exit 77; }

work=$(mktemp -d /tmp/vantrel-unprivileged-XXXXXX)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
cp "$program" "$work/"
mkdir "$work/home"
chown 65534:65534 "$work/home"
# A suppressions file that the user cannot read would stop the sanitizers.
if [[ "${LSAN_OPTIONS:-}" =~ suppressions=([^:]+) ]] && [ -f "${BASH_REMATCH[1]}" ]; then
  cp "${BASH_REMATCH[1]}" "$work/lsan.supp"
  LSAN_OPTIONS=${LSAN_OPTIONS/${BASH_REMATCH[1]}/$work/lsan.supp}
fi
cd "$work/home"
exec setpriv --reuid=65534 --regid=65534 --clear-groups \
  env HOME="$work/home" VANTREL_PREFIX="$work/home/prefix" LSAN_OPTIONS="${LSAN_OPTIONS:-}" \
  "$work/$(basename "$program")" "$@"
