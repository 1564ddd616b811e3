#!/bin/sh
# A floor's include directory hides the floors above it, but a path relative
# to the including file would walk around it: no floor includes with "../".
# $1: the source root.
cd "$1" || exit 2
if grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]*\.\./' base store view gui interpreter; then
  echo "relative includes found above"
  exit 1
fi
exit 0
