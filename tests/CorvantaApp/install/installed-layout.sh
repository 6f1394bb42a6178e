#!/usr/bin/env bash
# The install layout: `cmake --install` into a temporary prefix lays out the programs, the shipped
# node (unchanged: its digest is the one compiled in), the widget plug-in, the desktop entry, the
# icons, the AppStream metadata, the manual pages, the copyright file and the changelog, and
# nothing in /etc; the desktop tools accept the entry and the metadata; and the Debian package
# holds the same files, with the runtime dependencies computed from the binaries and none of the
# build tools, and no conffile.
set -euo pipefail
build=$1
app_id=$2
node_sha256=$3  # empty when the build ships no node
screenshot=$4   # the dashboard screenshot the metadata names

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "installed-layout: $*" >&2
  exit 1
}

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || fail "install: $(cat "$work/install.log")"

expected=(
  bin/corvanta bin/corvanta-widget-host bin/corvanta-verify
  lib/corvanta/widgets/corvanta-widgets.so
  share/doc/corvanta/copyright share/doc/corvanta/changelog.gz
  share/man/man1/corvanta.1.gz share/man/man1/corvanta-widget-host.1.gz
  share/lintian/overrides/corvanta
  "share/applications/$app_id.desktop"
  "share/metainfo/$app_id.metainfo.xml"
  "share/icons/hicolor/scalable/apps/$app_id.svg"
)
for size in 16 22 24 32 48 64 128 256 512; do
  expected+=("share/icons/hicolor/${size}x${size}/apps/$app_id.png")
done
if [[ -n $node_sha256 ]]; then
  expected+=(libexec/corvanta/Node/bitcoind)
  # The node travels with its own notices and those of the libraries built into it.
  for notice in COPYING README leveldb.LICENSE crc32c.LICENSE secp256k1.COPYING minisketch.LICENSE \
    ctaes.COPYING sha256_sse4.LICENSE; do
    expected+=("share/doc/corvanta/bitcoind/$notice")
  done
fi
# The ledger checker comes with its manual page.
if [[ -f $prefix/bin/corvanta-verify ]]; then
  expected+=(bin/corvanta-verify share/man/man1/corvanta-verify.1.gz)
fi
for file in "${expected[@]}"; do
  [[ -f $prefix/$file ]] || fail "$file is not installed"
done
for program in bin/corvanta bin/corvanta-widget-host bin/corvanta-verify; do
  [[ -x $prefix/$program ]] || fail "$program is not executable"
done
# Nothing beside what is expected (no test or build tool slipped in).
installed=$(cd "$prefix" && find . -type f | sed 's|^\./||' | sort)
unexpected=$(comm -13 <(printf '%s\n' "${expected[@]}" | sort) <(printf '%s\n' "$installed"))
[[ -z $unexpected ]] || fail "unexpected files installed: $unexpected"

if [[ -n $node_sha256 ]]; then
  actual=$(sha256sum "$prefix/libexec/corvanta/Node/bitcoind" | cut -d' ' -f1)
  [[ $actual == "$node_sha256" ]] || fail "the installed node's digest $actual is not the shipped $node_sha256"
fi
# Each icon is the size its folder says.
for size in 16 48 512; do
  file "$prefix/share/icons/hicolor/${size}x${size}/apps/$app_id.png" | grep -q "$size x $size" ||
    fail "the ${size} px icon is not ${size}x${size}"
done

desktop-file-validate "$prefix/share/applications/$app_id.desktop" ||
  fail "desktop-file-validate refuses the desktop entry"
grep -q '^TryExec=corvanta$' "$prefix/share/applications/$app_id.desktop" ||
  fail "the desktop entry has no TryExec, so it would outlive the program"
# The manual pages are gzip'd roff that man renders without a warning; the copyright file is in
# the machine-readable format and names our licence and each one we ship.
for page in "$prefix"/share/man/man1/*.1.gz; do
  warnings=$(gzip -dc "$page" | LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l - 2>&1 >/dev/null) ||
    fail "man cannot render $(basename "$page")"
  [[ -z $warnings ]] || fail "$(basename "$page"): $warnings"
done
copyright=$prefix/share/doc/corvanta/copyright
head -n1 "$copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$' ||
  fail "the copyright file is not in the machine-readable format"
for license in Expat BSD-3-Clause BSD-3-Clause~Intel OFL-1.1 Apache-2.0 bitstream-vera; do
  grep -q "^License: $license$" "$copyright" || fail "the copyright file has no $license text"
done
grep -q '^Copyright: .*The Corvanta developers$' "$copyright" || fail "the copyright file does not name us"
appstreamcli validate --no-net "$prefix/share/metainfo/$app_id.metainfo.xml" >"$work/appstream.log" 2>&1 ||
  fail "appstreamcli refuses the metadata: $(cat "$work/appstream.log")"
# The metadata states the screenshot's real size.
size=$(file "$screenshot" | grep -o '[0-9]* x [0-9]*' | head -n1)
grep -q "width=\"${size% x *}\" height=\"${size#* x }\"" "$prefix/share/metainfo/$app_id.metainfo.xml" ||
  fail "the metadata does not give the screenshot's size ($size)"
for lang in fr de es it pt; do
  grep -q "^Comment\[$lang\]=" "$prefix/share/applications/$app_id.desktop" || fail "no Comment[$lang]"
  grep -q "^Keywords\[$lang\]=" "$prefix/share/applications/$app_id.desktop" || fail "no Keywords[$lang]"
  grep -q "<summary xml:lang=\"$lang\">" "$prefix/share/metainfo/$app_id.metainfo.xml" || fail "no summary in $lang"
done

# The package, from the same install rules.
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/package" >"$work/cpack.log" 2>&1 ||
  fail "cpack: $(cat "$work/cpack.log")"
package=$(ls "$work"/package/corvanta_*.deb)
install_prefix=$(sed -n 's/^set(CPACK_INSTALL_PREFIX "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
[[ -n $install_prefix ]] || install_prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
packaged=$(dpkg-deb --fsys-tarfile "$package" | tar -t | grep -v '/$' | sed "s|^\./${install_prefix#/}/||" | sort)
[[ $packaged == "$installed" ]] ||
  fail "the package's files differ from the install: $(diff <(echo "$installed") <(echo "$packaged"))"
dpkg-deb -e "$package" "$work/control"
[[ ! -e $work/control/conffiles ]] || fail "the package has conffiles: $(cat "$work/control/conffiles")"
grep -q 'rm_conffile /etc/xdg/autostart/corvanta-widget-host.desktop' "$work/control/postinst" ||
  fail "an upgrade would keep the old system-wide autostart entry"
depends=$(dpkg-deb -f "$package" Depends)
for needed in libc6 libqt6quick6 libcurl4 qml6-module-qtquick-controls fonts-dejavu-core; do
  [[ $depends == *"$needed"* ]] || fail "the package does not depend on $needed: $depends"
done
if grep -Eq '(^|[ ,])(cmake|ninja-build|g\+\+|gcc|[a-z0-9.+-]+-dev)([ ,(]|$)' <<<"$depends"; then
  fail "the package depends on a build tool: $depends"
fi
if [[ -n $node_sha256 ]]; then
  dpkg-deb -x "$package" "$work/unpacked"
  actual=$(sha256sum "$work/unpacked/${install_prefix#/}/libexec/corvanta/Node/bitcoind" | cut -d' ' -f1)
  [[ $actual == "$node_sha256" ]] || fail "the packaged node was changed (digest $actual)"
fi
echo "installed-layout: $(wc -l <<<"$installed") files installed and packaged;" \
  "package $(du -k "$package" | cut -f1) KiB; Depends: $depends"
