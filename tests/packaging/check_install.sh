#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks what a desktop needs of it: the menu entry and
# the file types pass their validators, the manual pages render and carry the --help texts, the
# completion is valid bash and offers the commands.
#   check_install.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: check_install.sh BUILD_DIR}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
share=$prefix/share
fail() { echo "FAIL: $*" >&2; exit 1; }

test -x "$prefix/bin/zorv" || fail "zorv not installed"
man1=$share/man/man1
test -s "$man1/zorv.1" || fail "zorv.1 missing"
groff -man -Tutf8 -ww -z "$man1/zorv.1" 2>&1 | { ! grep . ; } || fail "zorv.1 has troff warnings"
rendered=$(MANWIDTH=200 man -l "$man1/zorv.1" 2>/dev/null)
grep -qF "zorv export FILE [--mode all|changes|scenes]" <<<"$rendered" || fail "zorv.1 lacks the --help text"
grep -qF "$("$prefix/bin/zorv" burn --help | head -n 1)" <<<"$rendered" || fail "zorv.1 lacks the burn --help text"

completion=$share/bash-completion/completions/zorv
bash -n "$completion" || fail "completion is not valid bash"
offered=$(bash -c "source '$completion'; COMP_WORDS=(zorv ex); COMP_CWORD=1; _zorv; echo \${COMPREPLY[*]}")
[ "$offered" = "export extract-audio" ] || fail "completion of 'zorv ex' gave '$offered'"
offered=$(bash -c "source '$completion'; COMP_WORDS=(zorv burn --ite); COMP_CWORD=2; _zorv; echo \${COMPREPLY[*]}")
[ "$offered" = "--items" ] || fail "completion of 'zorv burn --ite' gave '$offered'"

if [ -x "$prefix/bin/zorv-pro" ]; then
    command -v desktop-file-validate >/dev/null || fail "desktop-file-validate missing (scripts/setup.sh installs desktop-file-utils)"
    desktop=$share/applications/zorv-pro.desktop
    desktop-file-validate "$desktop" || fail "desktop entry does not validate"
    grep -qx "Categories=AudioVideo;Video;Player;" "$desktop" || fail "desktop categories"
    mime=$share/mime/packages/zorv-pro.xml
    xmllint --noout "$mime" || fail "MIME XML is not well-formed"
    # The MIME database accepts the file and maps the camcorder extensions to its types.
    update-mime-database "$share/mime" 2>&1 | { ! grep -i "error\|warning" ; } || fail "update-mime-database complained"
    for pair in "dv video/x-dv" "m2t video/x-hdv-m2t" "mts video/x-avchd-mts" "m2ts video/x-avchd-mts"; do
        set -- $pair
        grep -q "^$2:\*\.$1$" "$share/mime/globs" || fail "*.$1 is not $2"
        grep -q "$2" "$desktop" || fail "the desktop entry does not open $2"
    done
    xmllint --noout "$share/icons/hicolor/scalable/apps/zorv-pro.svg" || fail "icon is not well-formed SVG"
    test -s "$man1/zorv-pro.1" || fail "zorv-pro.1 missing"
    groff -man -Tutf8 -ww -z "$man1/zorv-pro.1" 2>&1 | { ! grep . ; } || fail "zorv-pro.1 has troff warnings"
    MANWIDTH=200 man -l "$man1/zorv-pro.1" 2>/dev/null | grep -qF "$("$prefix/bin/zorv-pro" --help | sed -n 3p)" \
        || fail "zorv-pro.1 lacks the --help text"
fi
echo "install checks passed"
