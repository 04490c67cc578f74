#!/usr/bin/env bash
# The files the Debian package installs beside the programs, as the build
# made them: desktop entry and store metadata validate, manual pages render
# without warnings, and bash completion offers every command and option
# qel-cli documents. (scripts/package builds and lints the .deb itself.)
set -uo pipefail
src=$1 bin=$2
gen=$bin/packaging
cli=$bin/bin/qel-cli
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }

desktop-file-validate "$src/resources/io.github.qel.Qel.desktop" || fail "desktop entry does not validate"
out=$(appstreamcli validate --no-net "$gen/io.github.qel.Qel.metainfo.xml" 2>&1) || fail "metainfo: $out"
grep -q '<launchable type="desktop-id">io.github.qel.Qel.desktop</launchable>' "$gen/io.github.qel.Qel.metainfo.xml" \
  || fail "metainfo does not launch the desktop entry"

help=$(QT_QPA_PLATFORM=offscreen "$cli" --help)
commands=$(sed -n 's/^  qel-cli \([a-z][a-z-]*\).*/\1/p' <<<"$help" | sort -u)
[ -n "$commands" ] || fail "no commands in qel-cli --help"

for page in qel qel-cli qel-meter-sim; do
  f=$gen/$page.1.gz
  [ -s "$f" ] || { fail "$page.1.gz missing"; continue; }
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$f" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$page.1 renders with warnings: $warnings"
  text=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$f" 2>/dev/null | col -b)
  grep -q "^NAME" <<<"$text" || fail "$page.1 has no NAME section"
  grep -q "^SEE ALSO" <<<"$text" || fail "$page.1 has no SEE ALSO section"
done
cli_page=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$gen/qel-cli.1.gz" 2>/dev/null | col -b)
for c in $commands; do
  grep -q "qel-cli $c" <<<"$cli_page" || fail "the qel-cli manual page lacks the command $c"
done
sim_page=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$gen/qel-meter-sim.1.gz" 2>/dev/null | col -b)
grep -q -- "--component" <<<"$sim_page" || fail "the qel-meter-sim manual page lacks --component"

# Completion, as bash does it: COMP_WORDS and COMP_CWORD set, the function run.
complete_words() {
  bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _qel_cli; printf "%s\n" "${COMPREPLY[@]}"' \
    _ "$gen/qel-cli" "$@"
}
offered=$(complete_words qel-cli "" | sort -u)
for c in $commands; do
  grep -qx "$c" <<<"$offered" || fail "completion does not offer the command $c"
done
[ "$(complete_words qel-cli pr | sort | tr '\n' ' ')" = "print print-graph " ] || fail "qel-cli pr<TAB> is not print, print-graph"
export_opts=$(complete_words qel-cli export --)
for o in --procedure --xlsx --csv; do
  grep -qx -- "$o" <<<"$export_opts" || fail "qel-cli export -- does not offer $o"
done
# Every option a command's usage names is offered after that command.
while read -r c; do
  block=$(awk -v c="$c" '$0 ~ "^  qel-cli " c "( |$)" {on = 1; print; next} /^  qel-cli / || /^$/ {on = 0} on' <<<"$help")
  offered=$(complete_words qel-cli "$c" --)
  for o in $(grep -o -- '--[a-z][a-z0-9-]*' <<<"$block" | sort -u); do
    grep -qx -- "$o" <<<"$offered" || fail "qel-cli $c -- does not offer $o"
  done
done <<<"$commands"
[ "$(complete_words qel-cli sweep --kind "" | sort | tr '\n' ' ')" = "freq volt " ] || fail "--kind does not offer freq, volt"
tmp=$(mktemp -d)
touch "$tmp/lot_1.rpt" "$tmp/lot.pro"
[ "$(complete_words qel-cli export "$tmp/lot_" )" = "$tmp/lot_1.rpt" ] || fail "a report file name does not complete"
rm -rf "$tmp"

[ "$fails" -eq 0 ] && echo "package files: all checks passed"
exit $((fails > 0))
