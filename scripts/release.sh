#!/usr/bin/env bash
# Builds the release of the current commit into dist/:
#
#   plugin_lumivane_login-<version>-windows-x86_64.zip     the static .exe
#   plugin_lumivane_login-<version>-linux-x86_64.tar.gz    the static Linux program
#   SHA256SUMS                                             over both
#
# each archive holding one folder of the same name with the program,
# README.txt and the third-party notices. The version is the one in
# CMakeLists.txt.
#
# The build starts from the commit itself (git archive), never from the
# working tree, so uncommitted changes do not reach a release. The same
# commit gives the same bytes on any machine with the same Debian 12
# toolchain, in any folder and at any time: times come from the commit
# (SOURCE_DATE_EPOCH), build paths are mapped out of the programs
# (LUMIVANE_REPRODUCIBLE), the programs are linked without symbol table
# and debug information (LUMIVANE_STRIP), the PE header carries no link time, and the
# archives list their members in a fixed order with fixed times, owners
# and modes. scripts/test-release.sh checks both.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
root=$(repo_root)
ensure_packages git cmake ninja-build g++ g++-mingw-w64-x86-64-posix zip

commit=$(git -C "$root" rev-parse HEAD)
SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct "$commit")
export SOURCE_DATE_EPOCH
# zip writes local time; the archives must not depend on the machine's zone.
export TZ=UTC LC_ALL=C
if [ -n "$(git -C "$root" status --porcelain --untracked-files=no)" ]; then
  echo "note: the working tree has uncommitted changes; the release is built from commit ${commit:0:12} without them"
fi

work=$(mktemp -d /tmp/lumivane-release-XXXXXX)
trap 'rm -rf "$work"' EXIT
src="$work/src"
mkdir -p "$src"
git -C "$root" archive --format=tar "$commit" | tar -x -C "$src"

# build DIR [CMAKE ARGS...]: the program alone, Release, without tests.
build() {
  local dir=$1
  shift
  cmake -S "$src" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMIVANE_TESTS=OFF \
    -DLUMIVANE_REPRODUCIBLE=ON -DLUMIVANE_STRIP=ON "$@" >"$dir.log" 2>&1 || { cat "$dir.log" >&2; return 1; }
  cmake --build "$dir" -j2 --target plugin_lumivane_login >>"$dir.log" 2>&1 || { cat "$dir.log" >&2; return 1; }
}
echo "building commit ${commit:0:12} (SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH): linux-x86_64"
build "$work/linux"
echo "building commit ${commit:0:12}: windows-x86_64"
build "$work/windows" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64-x86_64.cmake"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$work/linux/CMakeCache.txt")
[ -n "$version" ] || { echo "no project version in CMakeLists.txt" >&2; exit 1; }
answer=$("$work/linux/plugin_lumivane_login" --version)
[ "$answer" = "plugin_lumivane_login $version" ] || { echo "the program says '$answer', the project $version" >&2; exit 1; }

# notice PACKAGE_FILE OUT: the copyright file of the Debian package that
# provides PACKAGE_FILE (a runtime library the toolchain links in).
notice() {
  local file package
  file=$(readlink -f "$1")
  package=$(dpkg -S "$file" | sed -n '1s/:.*//p')
  [ -n "$package" ] && [ -f "/usr/share/doc/$package/copyright" ] ||
    { echo "no Debian copyright file for $1 (package '$package')" >&2; return 1; }
  cp "/usr/share/doc/$package/copyright" "$2"
}

# The QR encoder's notice is kept in release/notices; it must name the
# copyright holder that the vendored file names.
qr_source=$(find "$src/src" -name qrcode.js -type f | head -n 1)
qr_holder=$(grep -m 1 '^Copyright' "$src/release/notices/qrcode-generator.txt")
[ -n "$qr_source" ] && grep -qF "$qr_holder" "$qr_source" ||
  { echo "release/notices/qrcode-generator.txt does not match the vendored QR encoder" >&2; exit 1; }

# stage TARGET PROGRAM: the folder that becomes one archive.
stage() {
  local name="plugin_lumivane_login-$version-$1" program=$2
  local dir="$work/stage/$name"
  mkdir -p "$dir/notices"
  cp "$program" "$dir/"
  sed "s/@VERSION@/$version/g" "$src/release/README.txt" >"$dir/README.txt"
  cp "$src/release/notices/qrcode-generator.txt" "$dir/notices/"
  cp /usr/share/common-licenses/GPL-3 "$dir/notices/GPL-3.txt"
  echo "$name"
}

linux=$(stage linux-x86_64 "$work/linux/plugin_lumivane_login")
notice "$(g++ -print-file-name=libstdc++.a)" "$work/stage/$linux/notices/gcc-runtime.txt"
notice "$(gcc -print-file-name=libc.a)" "$work/stage/$linux/notices/glibc.txt"
cp /usr/share/common-licenses/LGPL-2.1 "$work/stage/$linux/notices/LGPL-2.1.txt"

mingw=x86_64-w64-mingw32-g++-posix
windows=$(stage windows-x86_64 "$work/windows/plugin_lumivane_login.exe")
notice "$($mingw -print-file-name=libstdc++.a)" "$work/stage/$windows/notices/gcc-runtime.txt"
notice "$($mingw -print-file-name=libmingwex.a)" "$work/stage/$windows/notices/mingw-w64-runtime.txt"

# Every member gets fixed modes and the commit's time, whatever the umask
# and the clock; the archives write the owner as 0.
find "$work/stage" -type d -exec chmod 755 {} +
find "$work/stage" -type f -exec chmod 644 {} +
chmod 755 "$work/stage/$linux/plugin_lumivane_login" "$work/stage/$windows/plugin_lumivane_login.exe"
find "$work/stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

out="$work/dist"
mkdir -p "$out"
(
  cd "$work/stage"
  tar --sort=name --format=gnu --mtime="@$SOURCE_DATE_EPOCH" --owner=0 --group=0 --numeric-owner \
    -cf - "$linux" | gzip -9 -n >"$out/$linux.tar.gz"
  # -X: no extra fields (owners, extended times); -D: no folder entries;
  # members in name order.
  find "$windows" -type f | sort | zip -X -D -9 -q "$out/$windows.zip" -@
)
(cd "$out" && sha256sum "$windows.zip" "$linux.tar.gz" >SHA256SUMS)

rm -rf "$root/dist"
mv "$out" "$root/dist"
echo "release $version of commit ${commit:0:12} in $root/dist:"
(cd "$root/dist" && ls -l --time-style=+ "$windows.zip" "$linux.tar.gz" | awk '{print "  " $NF " (" $5 " bytes)"}' && sed 's/^/  /' SHA256SUMS)
