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
check cli-includes-above "includes app/, a folder at or above cli"
check history-links-session "qel_history links qel_session, a folder at or above its own layer"

# qel_refuse_reach follows links through other libraries, private links of
# static libraries included, in a project with real targets.
reach() { # case, link of the middle library, expected refusal (empty: must pass)
  mkdir -p "$work/$1"
  cat >"$work/$1/CMakeLists.txt" <<EOT
cmake_minimum_required(VERSION 3.25)
project(reach NONE)
include($root/cmake/QelLayers.cmake)
add_library(qel_meter INTERFACE)
add_library(Qt6::SerialPort INTERFACE IMPORTED)
target_link_libraries(qel_meter INTERFACE Qt6::SerialPort)
add_library(qel_reports INTERFACE)
add_library(qel_history INTERFACE)
set_property(TARGET qel_history APPEND PROPERTY INTERFACE_LINK_LIBRARIES "$2")
add_library(qel_dashboard INTERFACE)
target_link_libraries(qel_dashboard INTERFACE qel_history)
qel_refuse_reach(qel_dashboard ${3:+$3})
EOT
}
reach_check() { # case, expected refusal (empty: must pass)
  out=$(cmake -S "$work/$1" -B "$work/$1/build" 2>&1)
  rc=$?
  out=$(tr -s ' \n' '  ' <<<"$out")
  if [ -z "$2" ]; then
    [ $rc -eq 0 ] || { echo "FAIL $1: refused: $out"; status=1; }
  elif [ $rc -eq 0 ] || ! grep -qF -- "$2" <<<"$out"; then
    echo "FAIL $1: expected a refusal saying '$2', got rc=$rc: $out"; status=1
  fi
}
reach reach-private '$<LINK_ONLY:qel_meter>' "qel_meter Qt6::SerialPort"
reach_check reach-private "qel_dashboard reaches qel_meter, which it must never link"
reach reach-library 'qel_meter' "Qt6::SerialPort"
reach_check reach-library "qel_dashboard reaches Qt6::SerialPort, which it must never link"
reach reach-clear 'qel_reports' "qel_meter Qt6::SerialPort"
reach_check reach-clear ""
exit $status
