#!/bin/sh
# Installs the build into a temporary DESTDIR and checks the installed tree: the program, its
# report definition, the menu entry (valid), the icon and the manual page; and that the
# installed program answers --help and finds its report definition in the data folder.
set -eu
build=$1
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
DESTDIR="$dest" cmake --install "$build" --prefix /usr >/dev/null
for f in usr/bin/envio-documentos usr/libexec/envio-documentos/envio-lector-jet \
         usr/share/envio-documentos/9Fac0019.rpt \
         usr/share/applications/envio-documentos.desktop \
         usr/share/icons/hicolor/scalable/apps/envio-documentos.svg \
         usr/share/man/man1/envio-documentos.1; do
  [ -f "$dest/$f" ] || { echo "missing after install: /$f" >&2; exit 1; }
done
desktop-file-validate "$dest/usr/share/applications/envio-documentos.desktop"
grep -q '^Exec=envio-documentos %f$' "$dest/usr/share/applications/envio-documentos.desktop"
"$dest/usr/bin/envio-documentos" --help | grep -q -- '--carpeta'
echo "installed tree complete"
