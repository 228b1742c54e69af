#!/bin/sh
# The manual page renders without a single warning of groff and names the
# program in its BEZEICHNUNG (NAME) section, as whatis and apropos read it.
page=$1
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
[ -z "$warnings" ] || { echo "$warnings"; exit 1; }
lexgrog "$page" | grep -q ': "velmora - ' || { lexgrog "$page"; exit 1; }
