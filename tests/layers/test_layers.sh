#!/usr/bin/env bash
# The layer rules of the build refuse a library that reaches up, and let
# through what the folder READMEs allow.
set -u
root=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
check() { # case, expected text of the refusal (empty: must pass)
  out=$(cmake -DROOT="$root" -DWORK="$work" -DCASE="$1" -P "$root/tests/layers/layer_case.cmake" 2>&1)
  rc=$?
  # CMake folds long messages over lines.
  out=$(tr -s ' \n' '  ' <<<"$out")
  if [ -z "$2" ]; then
    [ $rc -eq 0 ] || { echo "FAIL $1: refused: $out"; status=1; }
  elif [ $rc -eq 0 ] || ! grep -qF -- "$2" <<<"$out"; then
    echo "FAIL $1: expected a refusal saying '$2', got rc=$rc: $out"; status=1
  fi
}
check core-links-above "qel_procedure links qel_plotter, a folder at or above its own layer"
check core-links-widgets "a core library never links the widget library qel_components_ui"
check core-includes-above "includes session/, a folder at or above measurement"
check ui-links-above "qel_procedure_ui uses plotter/ui"
check ui-includes-above "qel_procedure_ui uses execution/ui"
check unknown-folder "src/gadgets: add the folder to QEL_LAYERS in cmake/QelLayers.cmake"
check allowed ""
exit $status
