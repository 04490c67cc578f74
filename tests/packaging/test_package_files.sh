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

# The manual is installed where the program and `man qel` look for it, with
# every page, picture and reference page it links to.
inst=$(mktemp -d)
if cmake --install "$bin" --prefix "$inst/usr" >/dev/null 2>&1; then
  doc=$inst/usr/share/doc/qel
  (cd "$src/docs/manual" && find . -name '*.md' -o -name '*.png') | while read -r f; do
    cmp -s "$src/docs/manual/$f" "$doc/manual/$f" || echo "FAIL: the manual's $f is not installed"
  done | tee "$inst/missing"
  [ -s "$inst/missing" ] && fail "the installed manual is incomplete"
  for ref in $(grep -oh '](\.\./[a-z-]*\.md' "$src"/docs/manual/*.md | sed 's/^](\.\.\///' | sort -u); do
    [ -f "$doc/$ref" ] || fail "the reference page $ref the manual links to is not installed"
  done
else
  fail "cmake --install failed"
fi
rm -rf "$inst"
qel_page=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$gen/qel.1.gz" 2>/dev/null | col -b)
grep -q "/usr/share/doc/qel/manual/README.md" <<<"$qel_page" || fail "man qel does not point to the manual"
grep -q "Help > Qel Manual" <<<"$qel_page" || fail "man qel does not name Help > Qel Manual"

# What the linker does not see is declared: the history's SQLite driver and
# the dashboard's Chart.js needed, the PostgreSQL driver recommended.
deps=$(sed -n 's/^set(CPACK_DEBIAN_PACKAGE_DEPENDS "\(.*\)")/\1/p' "$bin/CPackConfig.cmake")
recs=$(sed -n 's/^set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "\(.*\)")/\1/p' "$bin/CPackConfig.cmake")
for p in libqt6sql6-sqlite libjs-chart.js; do
  grep -qw -- "$p" <<<"$deps" || fail "the package does not depend on $p"
done
grep -qw -- libqt6sql6-psql <<<"$recs" || fail "the package does not recommend libqt6sql6-psql"
[ -f /usr/share/javascript/chart.js/chart.min.js ] || fail "libjs-chart.js has no chart.min.js where the dashboard reads it"

[ "$fails" -eq 0 ] && echo "package files: all checks passed"
exit $((fails > 0))
