#!/bin/sh
# Checks the desktop files and the Debian package as the distribution's own tools do, then starts the packaged
# program from an unpacked copy.  Arguments: the source folder and the build folder.
set -eu
fuentes=$1
build=$2
fallo() { echo "FALLO: $*" >&2; exit 1; }

desktop-file-validate "$fuentes/paquete/org.talvirenca.Talvirenca.desktop"
appstreamcli validate --no-net "$fuentes/paquete/org.talvirenca.Talvirenca.metainfo.xml"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# A package of its own in a folder of its own, so parallel tests and `make paquete` never meet.
(cd "$build" && cpack -G DEB -B "$tmp/cpack" >/dev/null)
deb="$tmp/cpack/talvirenca_1.1-1_amd64.deb"
[ -f "$deb" ] || fallo "no se ha hecho $deb"

# Errors fail the check; the warnings that remain are explained in the README.
lintian --tag-display-limit 0 "$deb" >"$tmp/lintian.txt" 2>&1 || true
if grep -q '^E:' "$tmp/lintian.txt"; then cat "$tmp/lintian.txt" >&2; fallo "lintian encuentra errores"; fi

# The maintainer is the one the build names, and nothing in the package comes from the machine that built it.
mantenedor=$(sed -n 's/^TALVIRENCA_MANTENEDOR:STRING=//p' "$build/CMakeCache.txt")
[ -n "$mantenedor" ] || fallo "la compilación no nombra mantenedor"
[ "$(dpkg-deb -f "$deb" Maintainer)" = "$mantenedor" ] || fallo "Maintainer: $(dpkg-deb -f "$deb" Maintainer)"
dpkg-deb -x "$deb" "$tmp/revisar"
dpkg-deb -e "$deb" "$tmp/revisar/DEBIAN"
zcat "$tmp/revisar/usr/share/doc/talvirenca/changelog.Debian.gz" | grep -qF -- " -- $mantenedor  " ||
    fallo "el registro de cambios no nombra a $mantenedor"
for propio in "$(git -C "$fuentes" config user.email 2>/dev/null || true)" "$(hostname)" "$(id -un)@"; do
    [ -n "$propio" ] && [ "$propio" != "@" ] || continue
    if grep -rqF -- "$propio" "$tmp/revisar/DEBIAN" "$tmp/revisar/usr/share/doc"; then
        fallo "el paquete lleva «$propio», de la máquina que lo ha hecho"
    fi
done

dpkg-deb -c "$deb" | awk '{print $6}' >"$tmp/contenido.txt"
for f in ./usr/bin/talvirenca ./usr/bin/talvirenca-importar ./usr/share/man/man1/talvirenca-importar.1.gz \
         ./usr/bin/talvirenca-trasladar ./usr/share/man/man1/talvirenca-trasladar.1.gz \
         ./usr/share/applications/org.talvirenca.Talvirenca.desktop \
         ./usr/share/metainfo/org.talvirenca.Talvirenca.metainfo.xml \
         ./usr/share/icons/hicolor/scalable/apps/talvirenca.svg \
         ./usr/share/icons/hicolor/48x48/apps/talvirenca.png \
         ./usr/share/icons/hicolor/256x256/apps/talvirenca.png \
         ./usr/share/man/man1/talvirenca.1.gz \
         ./usr/share/doc/talvirenca/copyright \
         ./usr/share/doc/talvirenca/changelog.Debian.gz; do
    grep -qx "$f" "$tmp/contenido.txt" || fallo "el paquete no contiene $f"
done
# Nothing of the build or the tests goes into the package.
if grep -E 'test_|bench|soporte|escritor' "$tmp/contenido.txt"; then fallo "el paquete lleva archivos de pruebas"; fi

dpkg-deb -x "$deb" "$tmp/raiz"
file "$tmp/raiz/usr/share/icons/hicolor/48x48/apps/talvirenca.png" | grep -q '48 x 48' || fallo "icono de 48 mal hecho"
file "$tmp/raiz/usr/share/icons/hicolor/256x256/apps/talvirenca.png" | grep -q '256 x 256' || fallo "icono de 256 mal hecho"
version=$(QT_QPA_PLATFORM=offscreen "$tmp/raiz/usr/bin/talvirenca" --version)
[ "$version" = "talvirenca 1.1" ] || fallo "--version escribe «$version»"
QT_QPA_PLATFORM=offscreen "$tmp/raiz/usr/bin/talvirenca" --help | head -1 | grep -q '^Uso: talvirenca' || fallo "--help"
for orden in talvirenca-importar talvirenca-trasladar; do
    version=$(QT_QPA_PLATFORM=offscreen "$tmp/raiz/usr/bin/$orden" --version)
    [ "$version" = "$orden 1.1" ] || fallo "$orden --version escribe «$version»"
done
for pagina in talvirenca talvirenca-importar talvirenca-trasladar; do
    zcat "$tmp/raiz/usr/share/man/man1/$pagina.1.gz" | LC_ALL=C.UTF-8 man --warnings -l - >/dev/null 2>"$tmp/man.txt" || true
    if [ -s "$tmp/man.txt" ]; then cat "$tmp/man.txt" >&2; fallo "la página de manual $pagina tiene errores"; fi
done
# Every warning of lintian is fixed, or overridden with its reason in the package.
if grep -q '^W:' "$tmp/lintian.txt"; then cat "$tmp/lintian.txt" >&2; fallo "lintian avisa"; fi
echo "paquete correcto: $(wc -l <"$tmp/contenido.txt") entradas"
