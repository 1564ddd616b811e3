#!/bin/sh
# The include check on small source trees, one line each: the include a
# store file makes, and whether the check must refuse it.
# $1: the include check script.
check=$1
status=0
while IFS='|' read -r verdict include; do
  root=$(mktemp -d)
  mkdir -p "$root/base" "$root/store" "$root/view" "$root/gui" "$root/interpreter"
  printf '%s\n' "$include" > "$root/store/registry.cpp"
  if "$check" "$root" >/dev/null 2>&1; then got=accepted; else got=refused; fi
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
refused|  #  include <view/context.h>
refused|#include <../interpreter/session.h>
CASES
exit $status
