#!/usr/bin/env bash
# Runs the file and registry tests of a build as an ordinary user: the superuser may write
# read-only files and change any file's attributes, which hides the
# permission behaviour users meet. Meant for the superuser; it takes a user
# id that no account has, so the tests own nothing on the machine.
#   bash scripts/unprivileged-tests.sh BUILD_DIR
# Prints "unprivileged: P passed, F failed" last; exits non-zero on a failure.
set -uo pipefail
build=${1:?usage: unprivileged-tests.sh BUILD_DIR}
tests="platform_win32_files_test platform_win32_fileops_test platform_win32_find_test platform_win32_sharing_test
       platform_win32_paths_test runtime_dyxsubs_files_io_test runtime_dyxsubs_files_ops_test
       runtime_dyxsubs_files_paths_test runtime_dyxsubs_registry_test"

if [ "$(id -u)" -ne 0 ]; then
  echo "unprivileged: not the superuser, the normal run covers it"
  echo "unprivileged: 0 passed, 0 failed"
  exit 0
fi

uid=61000
while getent passwd "$uid" >/dev/null || getent group "$uid" >/dev/null; do uid=$((uid + 1)); done

# The build folder may lie where the user can't reach it (under /root, or a
# folder only its owner may enter): the test programs, linked statically
# against the library, are copied out, with the programs they start, which
# they look for beside themselves.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 0755 "$work"
mkdir -p "$work/bin" "$work/home"
chown "$uid:$uid" "$work/home"
for helper in platform/programs/vantrel-restart/vantrel-restart; do
  [ -x "$build/$helper" ] && cp "$build/$helper" "$work/bin/"
done

passed=0
failed=0
for name in $tests; do
  program="$build/tests/$name"
  if [ ! -x "$program" ]; then
    echo "unprivileged: $name was not built"
    failed=$((failed + 1))
    continue
  fi
  cp "$program" "$work/bin/"
  if (cd "$work/home" && setpriv --reuid="$uid" --regid="$uid" --clear-groups --inh-caps=-all \
        env -i PATH=/usr/bin:/bin HOME="$work/home" TMPDIR="$work/home" LANG=C.UTF-8 \
        VANTREL_PREFIX="$work/home/prefix-$name" QT_QPA_PLATFORM=offscreen \
        "$work/bin/$name" --gtest_brief=1) >"$work/$name.log" 2>&1; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "=== unprivileged (uid $uid): $name failed"
    tail -n 60 "$work/$name.log"
  fi
done
echo "unprivileged: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
