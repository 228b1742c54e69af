#!/usr/bin/env bash
# The Debian package of this build.
#   deb_package.sh build   <build dir> <out dir> <version>: cpack -G DEB, then
#       its files and control data (dependencies found by dpkg-shlibdeps)
#   deb_package.sh install <build dir> <out dir> <version>: dpkg installs it
#       into a throwaway root, and removes and purges it without a trace
#   deb_package.sh fresh   <source dir> <out dir> <version> [compiler launcher]:
#       a build folder configured afresh and never built, then cpack -G DEB
#       in it: cpack builds what the package needs first
# Exit status: 0 passed, 1 failed, 77 skipped (a tool missing, or not root).
set -u
mode=$1 build=$2 out=$(realpath -m "$3") version=$4

skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }

package() {
  local debs=("$out"/velmora_"$version"_*.deb)
  [ -e "${debs[0]}" ] || fail "no package in $out"
  echo "${debs[0]}"
}

need_packaging_tools() {
  for tool in cpack dpkg-deb dpkg-shlibdeps; do
    command -v "$tool" >/dev/null || skip "$tool is not installed (dpkg-dev)"
  done
}

build_package() {
  need_packaging_tools
  rm -rf "$out" && mkdir -p "$out" || fail "cannot make $out"
  (cd "$build" && cpack -G DEB -B "$out") >"$out/cpack.log" 2>&1 || { cat "$out/cpack.log"; fail "cpack failed"; }
  check_package
}

# No build type: the quickest compile, for the package only proves that
# cpack builds what it holds; ccache, where the outer build uses it, helps.
fresh_package() {
  need_packaging_tools
  local source=$build launcher=${5:-} fresh=$out/build
  rm -rf "$out" && mkdir -p "$out" || fail "cannot make $out"
  local configure=(cmake -S "$source" -B "$fresh" -DVELMORA_TESTS=OFF -DVELMORA_BENCH=OFF)
  command -v ninja >/dev/null && configure+=(-G Ninja)
  [ -z "$launcher" ] || configure+=(-DCMAKE_CXX_COMPILER_LAUNCHER="$launcher")
  "${configure[@]}" >"$out/configure.log" 2>&1 || { cat "$out/configure.log"; fail "configure failed"; }
  [ ! -e "$fresh/src/app/velmora" ] || fail "the fresh folder was built before cpack"
  (cd "$fresh" && cpack -G DEB -B "$out") >"$out/cpack.log" 2>&1 || { tail -30 "$out/cpack.log"; fail "cpack failed"; }
  check_package
}

check_package() {
  local deb contents info
  deb=$(package) || exit 1
  contents=$(dpkg-deb -c "$deb") || fail "dpkg-deb -c failed"
  for file in ./usr/bin/velmora \
      ./usr/libexec/velmora/velmora-verlauf \
      ./usr/share/applications/io.velmora.Velmora.desktop \
      ./usr/share/metainfo/io.velmora.Velmora.metainfo.xml \
      ./usr/share/man/man1/velmora.1.gz \
      ./usr/share/doc/velmora/copyright \
      ./usr/share/icons/hicolor/16x16/apps/velmora.png \
      ./usr/share/icons/hicolor/256x256/apps/velmora.png \
      ./usr/share/icons/hicolor/scalable/apps/velmora.svg; do
    grep -q " $file\$" <<<"$contents" || fail "the package lacks $file"
  done
  ! grep -qE '_test|_bench|/include/|\.a$' <<<"$contents" || fail "the package carries build or test files"
  info=$(dpkg-deb -I "$deb") || fail "dpkg-deb -I failed"
  local depends
  depends=$(sed -n 's/^ Depends: //p' <<<"$info")
  local names
  names=$(sed 's/ ([^)]*)//g; s/, /\n/g' <<<"$depends") # one package name a line
  for dependency in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6dbus6 libqt6charts6 libxcb1 \
      qt6-qpa-plugins fonts-dejavu-extra libtdb1; do
    grep -qxF "$dependency" <<<"$names" || fail "Depends lacks $dependency: $depends"
  done
  grep -qx " Version: $version" <<<"$info" || fail "not version $version"
  grep -qx " Architecture: $(dpkg --print-architecture)" <<<"$info" || fail "wrong architecture"
  echo "$deb: $(wc -l <<<"$contents") entries; Depends: $depends"
}

install_package() {
  command -v dpkg >/dev/null || skip "dpkg is not installed"
  [ "$(id -u)" -eq 0 ] || skip "dpkg needs root to install, even into a throwaway root"
  local deb root
  deb=$(package) || exit 1
  root=$(mktemp -d) || fail "no temporary directory"
  trap 'rm -rf "$root"' EXIT
  mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers" &&
    touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available" || fail "cannot prepare $root"
  # The root has none of the dependencies and no tools of its own.
  local dpkg_root=(dpkg --root="$root" --force-depends --force-bad-path --force-script-chrootless)
  "${dpkg_root[@]}" -i "$deb" >"$root.log" 2>&1 || { cat "$root.log"; rm -f "$root.log"; fail "dpkg -i failed"; }
  rm -f "$root.log"
  "${dpkg_root[@]}" -s velmora | grep -qx "Status: install ok installed" || fail "not installed"
  for file in usr/bin/velmora usr/libexec/velmora/velmora-verlauf usr/share/applications/io.velmora.Velmora.desktop \
      usr/share/man/man1/velmora.1.gz; do
    [ -s "$root/$file" ] || fail "$file was not installed"
  done
  [ -x "$root/usr/bin/velmora" ] && [ -x "$root/usr/libexec/velmora/velmora-verlauf" ] ||
    fail "the programs are not executable"
  "${dpkg_root[@]}" -r velmora >/dev/null 2>&1 || fail "dpkg -r failed"
  "${dpkg_root[@]}" -P velmora >/dev/null 2>&1 || fail "dpkg -P failed"
  local left
  left=$(find "$root" -path "$root/var" -prune -o \( -type f -o -type l \) -print)
  [ -z "$left" ] || fail "left behind: $left"
  ! "${dpkg_root[@]}" -s velmora >/dev/null 2>&1 || fail "still known to dpkg after purge"
  echo "installed, removed and purged cleanly in $root"
}

case "$mode" in
  build) build_package ;;
  fresh) fresh_package "$@" ;;
  install) install_package ;;
  *) fail "unknown mode $mode" ;;
esac
