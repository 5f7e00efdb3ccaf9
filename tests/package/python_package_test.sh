#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the Python driver's .deb and checks it as a user's apt would meet it: its files, what it
# depends on, lintian's verdict, and the driver it installs, imported from an unpacked root.
# usage: python_package_test.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

deb=$("$source_dir/python/packaging/make-deb" "$work") || fail "make-deb failed"
version=$(sed -n '1s/^python3-selvar-control (\([^)]*\)).*/\1/p' "$source_dir/python/packaging/changelog")
[ "$(basename "$deb")" = "python3-selvar-control_${version}_all.deb" ] || fail "file name $(basename "$deb")"
[ "$(dpkg-deb -f "$deb" Architecture)" = all ] || fail "architecture $(dpkg-deb -f "$deb" Architecture)"

contents=$(dpkg-deb -c "$deb" | awk '{print $NF}')
modules=/usr/lib/python3/dist-packages/selvar_control
for path in "$source_dir"/python/selvar_control/*.py; do
    grep -qx "\.$modules/$(basename "$path")" <<<"$contents" || fail "$(basename "$path") is not in the package"
done
for path in copyright changelog.gz; do
    grep -qx "\./usr/share/doc/python3-selvar-control/$path" <<<"$contents" || fail "no $path"
done
! grep -qE '__pycache__|\.pyc$|^\./usr/local' <<<"$contents" || fail "byte code or /usr/local files"

depends=$(dpkg-deb -f "$deb" Depends)
for package in python3-pymeasure python3-pyvisa-py; do
    grep -q "\b$package\b" <<<"$depends" || fail "Depends lacks $package: $depends"
done

# Errors and warnings both fail.
lintian "$deb" >"$work/lintian.log" 2>&1 || true
cat "$work/lintian.log"
! grep -qE '^[EW]: ' "$work/lintian.log" || fail "lintian reports errors or warnings"

# The installed driver imports with Debian's interpreter, and its help documents every property.
dpkg -x "$deb" "$work/unpacked"
help=$(cd "$work" && PYTHONDONTWRITEBYTECODE=1 PYTHONPATH="$work/unpacked$modules/.." /usr/bin/python3 -c '
import pydoc, selvar_control
assert selvar_control.__file__.startswith("'"$work/unpacked"'"), selvar_control.__file__
print(pydoc.render_doc(selvar_control.SelvarControl, renderer=pydoc.plaintext))
print(pydoc.render_doc(selvar_control.SelvarBoard, renderer=pydoc.plaintext))') ||
    fail "the installed driver does not import"
for property in topology mute zcd gain_limit dut1 dut2 left_gain right_gain gang_gain pan_gain \
    left_code right_code readback; do
    grep -A1 -x " |  $property" <<<"$help" | tail -1 | grep -q '[a-z]' ||
        fail "help does not document $property"
done
echo "package $(basename "$deb") checked"
