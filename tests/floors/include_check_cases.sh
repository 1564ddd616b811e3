#!/bin/sh
# The include check on small source trees, one line each: the include a
# store file makes, and whether the check must refuse it.
# $1: the include check script; then the floors' folders.
check=$1
shift
status=0
while IFS='|' read -r verdict include; do
  root=$(mktemp -d)
  for floor in "$@"; do mkdir -p "$root/$floor"; done
  printf '%s\n' "$include" > "$root/store/registry.cpp"
  if "$check" "$root" "$@" >/dev/null 2>&1; then got=accepted; else got=refused; fi
  rm -rf "$root"
  if [ "$got" != "$verdict" ]; then
    echo "expected $verdict, got $got: $include"
    status=1
  fi
done <<'CASES'
accepted|#include "store/printer.h"
accepted|#include "base/locks.h"
accepted|#include <gtk/gtk.h>
accepted|#include <polylib/polylib64.h>
refused|#include "../gui/resources.h"
refused|#include "store/../gui/resources.h"
refused|#include <store/../gui/resources.h>
refused|#include <gui/resources.h>
refused|#include <calculus/operations.h>
accepted|#include "worker/contained_run.h"
refused|  #  include <view/context.h>
refused|#include <../interpreter/session.h>
CASES
exit $status
