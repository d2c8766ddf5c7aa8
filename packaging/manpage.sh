#!/usr/bin/env bash
# Writes the manual page of ondro-cli from its own --help texts, so the page
# never drifts from what the program says. Usage: manpage.sh ONDRO_CLI OUTPUT
set -euo pipefail
cli=$1
out=$2

# roff text: backslashes and dashes escaped, no line starting with a control character.
roff() { sed -e 's/\\/\\e/g' -e 's/-/\\-/g' -e "s/^\([.']\)/\\\\\&\1/"; }

help=$("$cli" --help)
version=$("$cli" --version | awk '{print $NF}')
summary=$(printf '%s\n' "$help" | sed -n 2p | sed 's/\. .*//')
commands=$(printf '%s\n' "$help" | awk '/^Commands:/{on=1; next} on && /^$/{exit} on {print $1}')
# The block after a heading ("Options:", "Exit status: ...") up to the next blank line.
block() { printf '%s\n' "$1" | awk -v h="$2" 'index($0, h) == 1 {on=1} on && /^$/ {exit} on {print}'; }

{
  printf '.TH ONDRO\\-CLI 1 "" "ondro-cli %s" "User Commands"\n' "$version"
  printf '.SH NAME\nondro\\-cli \\- %s\n' "$(printf '%s' "$summary" | roff)"
  printf '.SH SYNOPSIS\n.B ondro\\-cli\n[\\fIoptions\\fR] \\fICOMMAND\\fR [\\fIARGUMENTS\\fR]\n'
  printf '.SH DESCRIPTION\n'
  printf '%s\n' "$help" | awk '/^"ondro-cli COMMAND --help"/{on=1; next} /^Exit status:/{exit} on' | roff |
    sed -e 's/^$/.PP/'
  printf '.SH COMMANDS\n'
  for c in $commands; do
    text=$("$cli" "$c" --help)
    printf '.SS "%s"\n' "$(printf '%s\n' "$text" | sed -n 1p | sed 's/^Usage: //' | roff)"
    printf '%s\n' "$text" | sed -n 2p | roff
    # Paragraphs after the first (the query language) are laid out as the help prints them.
    more=$(printf '%s\n' "$text" | awk 'NR > 3 && (/^Entries are printed/ || /^Exit status:/) {exit} NR > 3 {print}' |
      sed -e :a -e '/^\n*$/{$d;N;ba' -e '}')
    if [ -n "$more" ]; then
      printf '.PP\n.nf\n%s\n.fi\n' "$(printf '%s\n' "$more" | roff)"
    fi
    opts=$(block "$text" "Options:" | sed 1d | grep -v -e '--help' || true)
    if [ -n "$opts" ]; then
      printf '.PP\n.nf\n%s\n.fi\n' "$(printf '%s\n' "$opts" | roff)"
    fi
  done
  printf '.SH OPTIONS\n.nf\n%s\n.fi\n' "$(block "$help" "Options:" | sed 1d | roff)"
  printf '.SH EXIT STATUS\n%s\n' "$(block "$help" "Exit status:" | sed 's/^Exit status: //' | roff)"
  printf '.SH FILES\n.TP\n.I ~/.local/share/ondro/zembra.lst\nthe catalogue, shared with the desktop program\n'
  printf '.SH SEE ALSO\n.BR ondro (1)\n'
} > "$out"
