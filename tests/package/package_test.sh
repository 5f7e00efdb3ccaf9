#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the .deb from the build tree given and checks it as a user's apt would meet it: its
# files, the libraries it depends on, lintian's verdict, and the program it installs, run from
# an unpacked root.
# usage: package_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
    fail "cpack: $(cat "$work/cpack.log")"
debs=("$work"/selvar_"$version"_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "no single selvar_${version}_ARCH.deb in: $(ls "$work")"
deb=${debs[0]}
[ "$(basename "$deb")" = "selvar_${version}_$(dpkg --print-architecture).deb" ] ||
    fail "file name $(basename "$deb")"

contents=$(dpkg-deb -c "$deb" | awk '{print $NF}')
for path in usr/bin/selvar usr/share/man/man1/selvar.1.gz usr/share/applications/selvar.desktop \
    usr/share/icons/hicolor/scalable/apps/selvar.svg usr/lib/udev/rules.d/60-selvar-adapters.rules \
    usr/share/doc/selvar/copyright usr/share/doc/selvar/changelog.gz usr/share/doc/selvar/README.md \
    "usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/selvar/selvar_measure_module.so"; do
    grep -qx "\./$path" <<<"$contents" || fail "$path is not in the package"
done
! grep -q '^\./usr/local' <<<"$contents" || fail "files under /usr/local"
# Every example the source tree has, as the README and the manual page point users to them.
examples=$(cd "$(dirname "$0")/../../examples" && find . -type f ! -path '*/__pycache__/*' | sort)
[ -n "$examples" ] || fail "no examples in the source tree"
while read -r example; do
    grep -qx "\./usr/share/doc/selvar/examples/${example#./}" <<<"$contents" ||
        fail "examples/${example#./} is not in the package"
done <<<"$examples"

depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libqt6network6 libqt6svg6 libftdi1-2 libqt6multimedia6 libqt6charts6; do
    grep -q "\b$library\b" <<<"$depends" || fail "Depends lacks $library: $depends"
done
[ "$(dpkg-deb -f "$deb" Section)" = electronics ] || fail "section $(dpkg-deb -f "$deb" Section)"
changelog_version=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/selvar/changelog.gz |
    gzip -dc | sed -n '1s/^selvar (\([^)]*\)).*/\1/p')
[ "$changelog_version" = "$version" ] || fail "the changelog's latest entry is $changelog_version"

# Errors and warnings both fail: every warning is either fixed or kept out of the package.
lintian "$deb" >"$work/lintian.log" 2>&1 || true
cat "$work/lintian.log"
! grep -qE '^[EW]: ' "$work/lintian.log" || fail "lintian reports errors or warnings"

# --version answers before the window system is touched, so no display is needed.
dpkg -x "$deb" "$work/unpacked"
answer=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen "$work/unpacked/usr/bin/selvar" --version)
[ "$answer" = "selvar $version" ] || fail "the installed program says '$answer'"
# The installed program finds its measurement module where the package put it.
env -u DISPLAY -u WAYLAND_DISPLAY "$work/unpacked/usr/bin/selvar" --list-audio >"$work/audio.txt" ||
    fail "--list-audio from the installed layout failed"
grep -q '^Outputs' "$work/audio.txt" || fail "--list-audio listed: $(cat "$work/audio.txt")"
# The installed README reads for the installed program: no path that exists only in a checkout or
# a build tree, no marker of the parts left out, and whatever it links to or shows is installed.
readme=$work/unpacked/usr/share/doc/selvar/README.md
! grep -nE '(^|[^[:alnum:]_./-])(build|scripts|bench|tests|src|python)/|<!--|-->' "$readme" ||
    fail "the installed README names paths of a checkout (above)"
grep -q '^## Remote control' "$readme" || fail "the installed README lacks its remote control"
for target in $(grep -oE '\]\([^)#]+' "$readme" | cut -c3- | grep -v '://'); do
    [ -e "$(dirname "$readme")/$target" ] || fail "the installed README links to $target, not installed"
done
echo "package $(basename "$deb") checked"
