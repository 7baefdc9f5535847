#!/usr/bin/env bash
# `cmake --install` into a staging directory: every file where the FHS and the
# freedesktop specifications put it, and valid.
set -euo pipefail
for t in desktop-file-validate appstreamcli identify; do
    command -v "$t" >/dev/null || { echo "SKIP: $t is not installed (bash scripts/setup)"; exit 77; }
done
stage=$(mktemp -d "${TMPDIR:-/tmp}/painel-install-XXXXXX")
trap 'rm -rf "$stage"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR=$stage/tree cmake --install "$PAINEL_BINARY_DIR" --prefix /usr >"$stage/install.log"
root=$stage/tree/usr

expected=(
    bin/PainelPesagram
    bin/painel-diagnostico
    share/applications/painel-pesagram.desktop
    share/metainfo/org.painelmonitoramento.PainelPesagram.metainfo.xml
    share/doc/painel-pesagram/README.md
)
for size in 16 32 48 64 128 256; do
    expected+=("share/icons/hicolor/${size}x${size}/apps/painel-pesagram.png")
done
actual=$(cd "$root" && find . -type f | sed 's|^\./||' | sort)
[ "$actual" = "$(printf '%s\n' "${expected[@]}" | sort)" ] ||
    fail "installed files differ: $(diff <(printf '%s\n' "${expected[@]}" | sort) <(echo "$actual"))"

for p in PainelPesagram painel-diagnostico; do
    [ -x "$root/bin/$p" ] || fail "$p is not executable"
done
for size in 16 32 48 64 128 256; do
    got=$(identify -format '%wx%h' "$root/share/icons/hicolor/${size}x${size}/apps/painel-pesagram.png")
    [ "$got" = "${size}x${size}" ] || fail "the ${size}x${size} icon is $got"
done

desktop=$root/share/applications/painel-pesagram.desktop
desktop-file-validate "$desktop" || fail "desktop entry not valid"
grep -qx 'Name=Pesagram - Painel de Monitoramento' "$desktop" || fail "desktop Name"
grep -qx 'Comment=Painel de monitoramento das balanças' "$desktop" || fail "desktop Comment"
grep -qx 'Exec=PainelPesagram' "$desktop" || fail "desktop Exec"
grep -qx 'Icon=painel-pesagram' "$desktop" || fail "desktop Icon"
grep -qx 'Categories=Network;Monitor;' "$desktop" || fail "desktop Categories"

appstreamcli validate --no-net "$root/share/metainfo/org.painelmonitoramento.PainelPesagram.metainfo.xml" ||
    fail "metainfo not valid"
appstreamcli validate-tree --no-net "$stage/tree" || fail "install tree not valid for AppStream"

"$root/bin/painel-diagnostico" --help | grep -q -- '--arquivo' || fail "painel-diagnostico --help"
echo "install: ${#expected[@]} files in place and valid"
