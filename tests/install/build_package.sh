#!/bin/sh
# Builds the Debian package of a configured and built tree, then unpacks it
# into a root of its own, as the package tests expect to find them.
#   build_package.sh BUILD_DIR OUT_DIR
set -eu
build_dir=$1
out_dir=$2
rm -rf "$out_dir"
mkdir -p "$out_dir"
cpack -G DEB --config "$build_dir/CPackConfig.cmake" -B "$out_dir"
for package in "$out_dir"/*.deb; do
  dpkg-deb -x "$package" "$out_dir/root"
done
