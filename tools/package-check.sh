#!/usr/bin/env bash
# Checks a built Debian package as a user's machine would meet it.
#
#   tools/package-check.sh dist/veltrop_VERSION_ARCH.deb
#
# lintian (no errors, no warnings), desktop-file-validate on both menu entries
# and appstreamcli on the metainfo, all read from the package itself; then,
# as root, installs it with dpkg -i, starts the installed veltrop-demo on a
# virtual display until its window shows, closes the window, checks that the
# demo stopped its simulated web, and purges the package, checking that none
# of its files is left.
set -euo pipefail

if [[ $# -ne 1 || ! -f $1 ]]; then
    echo "usage: $0 PACKAGE.deb" >&2
    exit 2
fi
deb=$(readlink -f "$1")
package=$(dpkg-deb -f "$deb" Package)
if [[ $(id -u) -ne 0 ]]; then
    echo "$0: installing the package needs root" >&2
    exit 1
fi

work=$(mktemp -d)
pids=()
cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null || true
        wait "${pids[i]}" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

echo "== lintian"
# --fail-on warning: a warning fails the check as an error does.
lintian --fail-on error,warning --info "$deb"

echo "== desktop entries and metainfo"
dpkg-deb -x "$deb" "$work/tree"
entries=("$work"/tree/usr/share/applications/*.desktop)
[[ ${#entries[@]} -eq 2 ]] || { echo "expected 2 desktop entries, found ${#entries[@]}" >&2; exit 1; }
desktop-file-validate "${entries[@]}"
# List files open in the program from the file manager: their type, and the
# menu entry that takes one.
mimefile="$work"/tree/usr/share/mime/packages/example.pellamys_veltrop.Veltrop.xml
[[ -f $mimefile ]] || { echo "the package lacks the list files' MIME type" >&2; exit 1; }
grep -q 'type="application/x-veltrop-list"' "$mimefile" || { echo "the MIME type is not application/x-veltrop-list" >&2; exit 1; }
grep -qx 'MimeType=application/x-veltrop-list;' "$work"/tree/usr/share/applications/example.pellamys_veltrop.Veltrop.desktop ||
    { echo "the desktop entry does not declare the list files' type" >&2; exit 1; }
for metainfo in "$work"/tree/usr/share/metainfo/*.xml; do
    # --no-net: the screenshot's address is not fetched.
    output=$(appstreamcli validate --no-net "$metainfo" 2>&1) || { echo "$output"; exit 1; }
    echo "$output"
    if grep -qE '^(E|W):' <<<"$output"; then
        echo "appstreamcli reported errors or warnings" >&2
        exit 1
    fi
done

echo "== dpkg -i"
if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    echo "$package is installed already: purging it first"
    dpkg --purge "$package"
fi
dpkg -i "$deb"
dpkg -L "$package" >"$work/files"

echo "== veltrop-cli"
for file in /usr/bin/veltrop-cli /usr/share/man/man1/veltrop-cli.1.gz /usr/share/man/man5/veltrop-sources.5.gz \
    /usr/share/bash-completion/completions/veltrop-cli; do
    grep -qx "$file" "$work/files" || { echo "the package lacks $file" >&2; exit 1; }
done
veltrop-cli --version
veltrop-cli --help >/dev/null
veltrop-cli rank --help >/dev/null
[[ $(veltrop-cli sources | wc -l) -eq 30 ]] || { echo "veltrop-cli sources does not list 30 sources" >&2; exit 1; }
if ldd /usr/bin/veltrop-cli | grep -qi qt; then
    echo "veltrop-cli links Qt" >&2
    exit 1
fi

echo "== veltrop-demo on a virtual display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
for ((n = 0; n < 100; n++)); do
    [[ -s $work/display ]] && break
    sleep 0.1
done
[[ -s $work/display ]] || { echo "Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(tr -d '[:space:]' <"$work/display")"

# From an empty folder, so nothing of a build tree is at hand.
(cd "$work" && exec /usr/bin/veltrop-demo) >"$work/demo.log" 2>&1 &
demo=$!
pids+=("$demo")
window=$(timeout 30 xdotool search --sync --onlyvisible --name "^Pellamy's Veltrop v1\.4\$" | head -n 1) || true
if [[ -z $window ]]; then
    echo "the installed demo's window did not show within 30 s" >&2
    cat "$work/demo.log" >&2
    exit 1
fi
simweb=$(pgrep -P "$demo" -x veltrop-simweb || true)
echo "window $window shown; simulated web running as process ${simweb:-?}"
[[ -n $simweb ]] || { echo "the demo runs no veltrop-simweb" >&2; exit 1; }

# Without a window manager there is no close button: the window's X client
# is disconnected, as xkill does, which ends the program.
xdotool windowkill "$window"
for ((n = 0; n < 100; n++)); do
    kill -0 "$demo" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$demo" 2>/dev/null; then
    echo "veltrop-demo still runs 10 s after its window closed" >&2
    exit 1
fi
wait "$demo" 2>/dev/null || true
if kill -0 "$simweb" 2>/dev/null; then
    echo "the simulated web still runs after the demo ended" >&2
    exit 1
fi
echo "window closed; the demo ended and stopped its simulated web"

echo "== dpkg --purge"
dpkg --purge "$package"
left=()
while IFS= read -r path; do
    # Folders shared with other files, such as /usr/bin, stay; a file, a link
    # or an emptied folder of the package's own does not.
    if [[ -L $path || (-e $path && ! -d $path) ]]; then
        left+=("$path")
    elif [[ -d $path && -z $(ls -A "$path") ]]; then
        left+=("$path/")
    fi
done <"$work/files"
if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q .; then
    left+=("dpkg still knows $package")
fi
if [[ ${#left[@]} -gt 0 ]]; then
    printf 'left after the purge: %s\n' "${left[@]}" >&2
    exit 1
fi
echo "purged: nothing of $package is left"
