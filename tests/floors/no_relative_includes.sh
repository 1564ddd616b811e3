#!/bin/sh
# A floor's include directory hides the floors above it, but a path that
# steps back out of a folder ("../", in quotes or angle brackets) would walk
# around it, and so would a floor's header named in angle brackets (looked
# for on the system paths too): floors include each other only as
# "floor/header.h", and never with "..".
# $1: the source root; then the floors' folders.
cd "$1" || exit 2
shift
folders="$*"
floors=$(printf '%s' "$folders" | tr ' ' '|')
found=0
if grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<][^">]*\.\.' $folders; then
  echo "includes with '..' found above"
  found=1
fi
if grep -rnE "^[[:space:]]*#[[:space:]]*include[[:space:]]*<($floors)/" $folders; then
  echo "floor headers included in angle brackets found above"
  found=1
fi
exit $found
