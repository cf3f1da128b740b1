#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the build into a staging folder as a packager would, and checks what a player gets:
# the file list, the programs and the demo as installed, the launcher's copy of the demo, the
# desktop files, the icons and the manuals; then builds the Debian package and reads it back.
# Usage: install_test.sh BUILD_DIR VERSION WITH_WINDOW(ON|OFF) SOURCE_DIR [HARDENED(ON|OFF)]
#        [WITH_WEB(ON|OFF)]
# HARDENED is OFF for a build with the sanitizers, which leave out the hardening of a package.
# WITH_WEB is ON for a build given a web build, whose player template is installed.
set -euo pipefail
build=$1
version=$2
with_window=$3
source=$4
hardened=${5:-ON}
with_web=${6:-OFF}

needed=(cmake cpack dpkg-deb man gzip cmp lintian)
if [ "$with_window" = ON ]; then
    needed+=(desktop-file-validate appstreamcli rsvg-convert identify compare)
fi
missing=()
for tool in "${needed[@]}"; do
    command -v "$tool" >/dev/null || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "skipped: needs ${missing[*]} (scripts/test installs them)" >&2
    exit 77
fi

# The package's dates are checked against the commit, so none may come from the caller.
unset SOURCE_DATE_EPOCH
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# --- Installing into a staging folder -------------------------------------------------------
root=$work/root
DESTDIR=$root cmake --install "$build" --prefix /usr >"$work/install.log"
usr=$root/usr

expected=$work/expected-files
{
    cat <<EOF
./usr/games/narravox-demo
./usr/games/narravox-ply
./usr/games/narravox-term
./usr/share/doc/narravox/CHANGELOG.md
./usr/share/doc/narravox/README.md
./usr/share/doc/narravox/changelog.gz
./usr/share/doc/narravox/copyright
./usr/share/doc/narravox/demo-map.svg
./usr/share/doc/narravox/examples/demo.nvx
./usr/share/doc/narravox/file-formats.md
./usr/share/doc/narravox/scenario-language.md
./usr/share/man/man1/narravox-ply.1.gz
./usr/share/man/man6/narravox-demo.6.gz
./usr/share/man/man6/narravox-term.6.gz
./usr/share/man/man6/narravox.6.gz
./usr/share/narravox/demo/Commands.ply
./usr/share/narravox/demo/Read1st!.txt
./usr/share/narravox/demo/Scenario.ply
./usr/share/narravox/editors/README.md
./usr/share/narravox/editors/textmate/narravox.tmLanguage.json
./usr/share/narravox/editors/vim/ftdetect/narravox.vim
./usr/share/narravox/editors/vim/ftplugin/narravox.vim
./usr/share/narravox/editors/vim/syntax/narravox.vim
./usr/share/narravox/editors/vscode/language-configuration.json
./usr/share/narravox/editors/vscode/package.json
./usr/share/narravox/editors/vscode/syntaxes/narravox.tmLanguage.json
EOF
    if [ "$with_web" = ON ]; then
        echo ./usr/share/narravox/web/player-template.html
    fi
    if [ "$with_window" = ON ]; then
        cat <<EOF
./usr/games/narravox
./usr/share/applications/org.narravox.Narravox.desktop
./usr/share/icons/hicolor/128x128/apps/narravox.png
./usr/share/icons/hicolor/256x256/apps/narravox.png
./usr/share/icons/hicolor/32x32/apps/narravox.png
./usr/share/icons/hicolor/48x48/apps/narravox.png
./usr/share/icons/hicolor/64x64/apps/narravox.png
./usr/share/icons/hicolor/scalable/apps/narravox.svg
./usr/share/metainfo/org.narravox.Narravox.metainfo.xml
EOF
    fi
} | LC_ALL=C sort >"$expected"
(cd "$root" && find . ! -type d | LC_ALL=C sort) >"$work/installed-files"
diff -u "$expected" "$work/installed-files" || fail "the installed files are not the expected ones"

# Debian keeps a game's programs in /usr/games.
path_of() {
    echo "$usr/games/$1"
}
for program in narravox-demo narravox-ply narravox-term $([ "$with_window" = ON ] && echo narravox); do
    [ -x "$(path_of "$program")" ] || fail "$program is not executable"
done
for file in "$usr"/share/narravox/demo/*; do
    [ "$(stat -c %a "$file")" = 644 ] || fail "$file has mode $(stat -c %a "$file"), not 644"
done

# --- The installed programs -----------------------------------------------------------------
for program in narravox-demo narravox-ply narravox-term $([ "$with_window" = ON ] && echo narravox); do
    answer=$(env -u DISPLAY -u WAYLAND_DISPLAY "$(path_of "$program")" --version) ||
        fail "$program --version failed"
    [ "$answer" = "$program $version" ] ||
        fail "$program --version said \"$answer\", not \"$program $version\""
done

demo=$usr/share/narravox/demo
demo_sum=$(cd "$demo" && ls -la --time-style=+ . && sha256sum ./*)

moves=$work/moves.txt
printf 'осмотреться\nсохранить\nпроба\n' >"$moves"
# Where the installed term plays the installed demo, the save is made in a scratch folder: the
# game saves in its working folder, and the installed one must stay as it was.
scratch=$work/scratch
mkdir "$scratch"
cp "$demo"/* "$scratch"/
"$usr/games/narravox-term" --game "$scratch" --batch --columns 80 --lines 24 <"$moves" \
    >"$work/direct.txt" 2>"$work/direct.err" || fail "narravox-term on the installed demo failed"
printf 'осмотреться\n' | "$usr/games/narravox-term" --game "$demo" --batch >"$work/installed.txt" \
    2>/dev/null || fail "narravox-term --game on the installed demo folder failed"
for transcript in "$work/direct.txt" "$work/installed.txt"; do
    grep -q '^>осмотреться$' "$transcript" || fail "$transcript does not echo the command"
    grep -q 'Вы на старом деревянном причале' "$transcript" ||
        fail "$transcript does not show the first location"
done

# --- The launcher ---------------------------------------------------------------------------
home=$work/home
mkdir "$home"
launch() {
    env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_DATA_HOME HOME="$home" "$@"
}
copy=$home/.local/share/narravox/demo

answer=$(launch "$usr/games/narravox-demo" --no-start) || fail "narravox-demo --no-start failed"
[ "$answer" = "$copy" ] || fail "narravox-demo --no-start said \"$answer\", not \"$copy\""
for file in Commands.ply Scenario.ply 'Read1st!.txt'; do
    cmp -s "$demo/$file" "$copy/$file" || fail "the first run did not copy $file"
done
# The page that the warning box sends every player to is the one in the source, readable as
# UTF-8 in a text editor.
cmp -s "$source/games/demo/Read1st!.txt" "$demo/Read1st!.txt" ||
    fail "the installed Read1st!.txt is not the demo's"
iconv -f UTF-8 -t UTF-8 "$demo/Read1st!.txt" >/dev/null 2>&1 ||
    fail "the installed Read1st!.txt is not UTF-8"

# With no display, the launcher plays in the terminal in the copy: here in batch mode, because
# its input is a file. The save must land in the copy.
launch "$usr/games/narravox-demo" --columns 80 --lines 24 <"$moves" >"$work/launched.txt" \
    2>"$work/launched.err" || fail "narravox-demo without a display failed"
cmp -s "$work/direct.txt" "$work/launched.txt" ||
    fail "narravox-demo did not play the demo as narravox-term does"
[ -f "$copy/проба.nvs" ] || fail "the game saved through the launcher is not in $copy"

# A later start refreshes the game files and leaves the saves and everything else alone.
cp "$copy/проба.nvs" "$work/save.nvs"
echo "stale" >"$copy/Commands.ply"
rm "$copy/Scenario.ply"
echo "notes" >"$copy/notes.txt"
launch "$usr/games/narravox-demo" --no-start >/dev/null || fail "the second run failed"
for file in Commands.ply Scenario.ply; do
    cmp -s "$demo/$file" "$copy/$file" || fail "the second run did not refresh $file"
done
cmp -s "$work/save.nvs" "$copy/проба.nvs" || fail "the second run changed the saved game"
[ "$(cat "$copy/notes.txt")" = notes ] || fail "the second run changed another file"
leftovers=$(find "$copy" -mindepth 1 ! -name Commands.ply ! -name Scenario.ply \
    ! -name 'Read1st!.txt' ! -name проба.nvs ! -name notes.txt)
[ -z "$leftovers" ] || fail "the launcher left files behind: $leftovers"
# The saved game loads again in the refreshed copy.
printf 'загрузить\nпроба\n' | launch "$usr/games/narravox-demo" >"$work/loaded.txt" 2>&1 ||
    fail "loading the saved game through the launcher failed"

xdg=$work/xdg
answer=$(launch env XDG_DATA_HOME="$xdg" "$usr/games/narravox-demo" --no-start) ||
    fail "narravox-demo with XDG_DATA_HOME failed"
[ "$answer" = "$xdg/narravox/demo" ] || fail "XDG_DATA_HOME was not used: \"$answer\""
[ -f "$xdg/narravox/demo/Scenario.ply" ] || fail "nothing was copied into XDG_DATA_HOME"
answer=$(launch env XDG_DATA_HOME=relative/path "$usr/games/narravox-demo" --no-start)
[ "$answer" = "$copy" ] || fail "a relative XDG_DATA_HOME was not ignored: \"$answer\""

# A launcher whose demo is missing says so instead of starting a game without files.
mkdir -p "$work/broken/bin"
cp "$usr/games/narravox-demo" "$work/broken/bin/"
if launch "$work/broken/bin/narravox-demo" --no-start >/dev/null 2>"$work/broken.err"; then
    fail "narravox-demo without an installed demo succeeded"
fi
grep -q 'the demo game is missing' "$work/broken.err" || fail "no message for a missing demo"

[ "$(cd "$demo" && ls -la --time-style=+ . && sha256sum ./*)" = "$demo_sum" ] ||
    fail "the installed demo folder was changed"

# --- A display that cannot be opened -------------------------------------------------------
# Over SSH or in a stale tmux, DISPLAY names a display that does not open, and Qt's X11 plugin
# aborts on it: the launcher plays in the terminal instead and says why in one line, and the
# window program ends with a message and a failure status rather than a signal.
if [ "$with_window" = ON ]; then
    dead_display=""
    for number in $(seq 150 249); do
        if [ ! -e "/tmp/.X11-unix/X$number" ] && [ ! -e "/tmp/.X$number-lock" ]; then
            dead_display=:$number
            break
        fi
    done
    printf 'осмотреться\n' >"$work/look.txt"
    "$usr/games/narravox-term" --game "$scratch" --batch --columns 80 --lines 24 \
        <"$work/look.txt" >"$work/look-direct.txt" 2>"$work/look-direct.err" ||
        fail "narravox-term failed on one move"
    if launch env -u QT_QPA_PLATFORM DISPLAY="$dead_display" "$usr/games/narravox-demo" \
        --columns 80 --lines 24 <"$work/look.txt" >"$work/dead.txt" 2>"$work/dead.err"; then
        cmp -s "$work/look-direct.txt" "$work/dead.txt" ||
            fail "narravox-demo on the display $dead_display did not play in the terminal"
        # One line of its own, then what the game says on standard error (its boxes).
        {
            echo "narravox-demo: cannot open the display \"$dead_display\"; playing in the terminal"
            cat "$work/look-direct.err"
        } >"$work/dead-expected.err"
        diff -u "$work/dead-expected.err" "$work/dead.err" ||
            fail "narravox-demo on the display $dead_display did not say why in one line"
    else
        fail "narravox-demo on the display $dead_display failed: $(head -3 "$work/dead.err")"
    fi

    status=0
    (cd "$scratch" && env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY DISPLAY="$dead_display" \
        timeout 30 "$usr/games/narravox" </dev/null >/dev/null 2>"$work/window.err") || status=$?
    [ "$status" = 1 ] ||
        fail "narravox on the display $dead_display ended with status $status, not 1"
    [ "$(cat "$work/window.err")" = "narravox: cannot open the display \"$dead_display\"; narravox-term plays the game in a terminal" ] ||
        fail "narravox on the display $dead_display said \"$(cat "$work/window.err")\""

    # A platform chosen in the environment is Qt's to open, and no reason to refuse.
    env QT_QPA_PLATFORM=offscreen DISPLAY="$dead_display" "$usr/games/narravox" --check-display ||
        fail "narravox --check-display refused the offscreen platform"
fi

# --- Manual pages ---------------------------------------------------------------------------
for page in "$usr"/share/man/man*/*.gz; do
    name=$(basename "$page" .gz)
    name=${name%.*}
    rendered=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>"$work/man.err") ||
        fail "man -l $page failed"
    [ ! -s "$work/man.err" ] || fail "man -l $page warns: $(head -3 "$work/man.err")"
    grep -q "^NAME" <<<"$rendered" || fail "$page has no NAME section"
    grep -q "^ *$name - " <<<"$rendered" || fail "$page does not name $name"
    grep -q "Narravox $version" <<<"$rendered" || fail "$page does not show version $version"
    if zgrep -q '@[A-Z_]*@' "$page"; then
        fail "$page has an unfilled placeholder"
    fi
done

# --- Desktop entry, AppStream, icons --------------------------------------------------------
if [ "$with_window" = ON ]; then
    entry=$usr/share/applications/org.narravox.Narravox.desktop
    desktop-file-validate "$entry" || fail "desktop-file-validate refuses $entry"
    exec_line=$(grep '^Exec=' "$entry")
    [ -x "$usr/games/${exec_line#Exec=}" ] || fail "$exec_line is not an installed program"
    icon_line=$(grep '^Icon=' "$entry")
    [ -f "$usr/share/icons/hicolor/48x48/apps/${icon_line#Icon=}.png" ] ||
        fail "$icon_line has no 48x48 icon"

    metainfo=$usr/share/metainfo/org.narravox.Narravox.metainfo.xml
    appstreamcli validate --no-net --pedantic "$metainfo" || fail "appstreamcli refuses $metainfo"
    grep -q "<release version=\"$version\" date=\"[0-9-]*\"/>" "$metainfo" ||
        fail "$metainfo does not name release $version"

    icons=$usr/share/icons/hicolor
    for size in 32 48 64 128 256; do
        png=$icons/${size}x$size/apps/narravox.png
        shape=$(identify -format '%w %h %k' "$png")
        [ "$shape" = "$size $size 2" ] ||
            fail "$png is \"$shape\", not $size by $size in two colours"
        # librsvg, which desktops use for SVG icons, must draw the same picture as the PNG.
        rsvg-convert -w "$size" -h "$size" "$icons/scalable/apps/narravox.svg" -o "$work/svg.png"
        differing=$(compare -metric AE "$work/svg.png" "$png" null: 2>&1 || true)
        [ "$differing" = 0 ] ||
            fail "the SVG drawn at $size pixels differs from the PNG in $differing pixels"
    done
fi

# --- The Debian package ---------------------------------------------------------------------
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" >"$work/cpack.log" ||
    { cat "$work/cpack.log" >&2; fail "cpack -G DEB failed"; }
debs=("$work"/deb/narravox_"$version"_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    fail "cpack made no narravox_${version}_*.deb"
else
    deb=${debs[0]}
    # The package's narravox-ply publishes a game with the player template the package holds,
    # the same page as the build's own.
    if [ "$with_web" = ON ]; then
        dpkg-deb -x "$deb" "$work/from-deb"
        "$work/from-deb/usr/games/narravox-ply" publish "$source/games/demo/demo.nvx" \
            -o "$work/deb-demo.html" || fail "the package's narravox-ply cannot publish the demo"
        "$build/tools/ply/narravox-ply" publish "$source/games/demo/demo.nvx" \
            -o "$work/build-demo.html" || fail "the build's narravox-ply cannot publish the demo"
        cmp -s "$work/deb-demo.html" "$work/build-demo.html" ||
            fail "the demo published by the package differs from the build's"
        grep -q 'id="narravox-game"' "$work/deb-demo.html" ||
            fail "the page published by the package holds no game"
    fi
    field() {
        dpkg-deb -f "$deb" "$1"
    }
    [ "$(field Package)" = narravox ] || fail "Package is \"$(field Package)\""
    [ "$(field Version)" = "$version" ] || fail "Version is \"$(field Version)\""
    [ "$(field Section)" = games ] || fail "Section is \"$(field Section)\""
    [ "$(field Maintainer)" = "The Narravox developers <developers@narravox.org>" ] ||
        fail "Maintainer is \"$(field Maintainer)\""
    [ "$(field Architecture)" = "$(dpkg --print-architecture)" ] ||
        fail "Architecture is \"$(field Architecture)\""
    depends=$(field Depends)
    wanted=(libc6 libstdc++6 libncursesw6)
    if [ "$with_window" = ON ]; then
        wanted+=(libqt6widgets6 libqt6gui6 libqt6core6 qt6-qpa-plugins qt6-translations-l10n)
    fi
    depends_names=$(tr ',' '\n' <<<"$depends" | sed 's/^ *//; s/[ (].*//')
    for package in "${wanted[@]}"; do
        grep -Fxq "$package" <<<"$depends_names" || fail "Depends does not name $package: $depends"
    done
    dpkg-deb -I "$deb" >"$work/deb-info" || fail "dpkg-deb -I failed"
    grep -q '^ Description: interpreter for Russian-language text adventures$' "$work/deb-info" ||
        fail "the package has no description: $(cat "$work/deb-info")"

    # The package holds exactly what `cmake --install` puts in place, with the same modes.
    dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $1, $6 }' | LC_ALL=C sort -k2 >"$work/deb-files"
    (cd "$root" && find . ! -type d -printf '%M %p\n' | LC_ALL=C sort -k2) >"$work/staged-files"
    diff -u "$work/staged-files" "$work/deb-files" ||
        fail "the package's files differ from the installed ones"
    if dpkg-deb -c "$deb" | awk '{ print $2 }' | grep -qv '^root/root$'; then
        fail "the package has files not owned by root"
    fi

    # Debian's own checker, at its most demanding, finds nothing; the tags that stay are listed
    # with their reasons in packaging/lintian-accepted.
    status=0
    lintian -I --pedantic --tag-display-limit 0 "$deb" >"$work/lintian.txt" 2>&1 || status=$?
    # 1 means that errors were found, which the tags below report; more means lintian failed.
    [ "$status" -le 1 ] || fail "lintian failed: $(cat "$work/lintian.txt")"
    accepted=$(sed -n 's/^\([a-z0-9-]*\) .*/\1/p' "$source/packaging/lintian-accepted" 2>/dev/null || true)
    if [ "$hardened" = OFF ]; then
        accepted+=$'\nhardening-no-bindnow\nhardening-no-fortify-functions'
    fi
    while IFS= read -r line; do
        # Lines that are not tags ("running with root privileges ...") are lintian's chatter.
        tag=$(sed -n 's/^[EWIPXO]: [^ ]*: \([a-z0-9-]*\).*/\1/p' <<<"$line")
        if [ -z "$tag" ] || grep -Fxq "$tag" <<<"$accepted"; then
            continue
        fi
        fail "lintian: $line"
    done <"$work/lintian.txt"

    # The files in the package are dated by the commit: the stamp git archive leaves in an
    # exported tree, else git's own record, else the release's date in the changelog.
    release_date=$(sed -n "s/^## \\[$version\\] - \\([0-9-]*\\)$/\\1/p" "$source/CHANGELOG.md")
    release_time=$(date -u -d "$release_date 00:00:00 UTC" +%s)
    stamp=$(cat "$source/packaging/commit-time")
    if [[ $stamp =~ ^[0-9]+$ ]]; then
        commit_time=$stamp
    elif [ -e "$source/.git" ] && command -v git >/dev/null; then
        commit_time=$(git -C "$source" log -1 --format=%ct)
    else
        commit_time=$release_time
    fi
    dates() {
        dpkg-deb --fsys-tarfile "$1" | TZ=UTC tar -tv --full-time | awk '{ print $4 " " $5 }' |
            sort -u
    }
    [ "$(dates "$deb")" = "$(TZ=UTC date -d "@$commit_time" '+%F %T')" ] ||
        fail "the package's files are dated $(dates "$deb" | head -3 | tr '\n' ' '), not by the commit"

    # The same package made again a second later, in another folder, is the same bytes.
    sleep 1
    cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb-again" >/dev/null ||
        fail "the second cpack failed"
    cmp -s "$deb" "$work/deb-again/${deb##*/}" || fail "two packages of the same build differ"

    # In a tree with neither git nor the stamp, the release's date stands in for the commit's;
    # a stamp from git archive wins.
    mkdir -p "$work/exported/none/packaging" "$work/exported/stamp/packaging"
    printf '$Format:%%ct$\n' >"$work/exported/none/packaging/commit-time"
    echo 1700000000 >"$work/exported/stamp/packaging/commit-time"
    for tree in none stamp; do
        cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb-$tree" \
            -D CPACK_NARRAVOX_SOURCE_DIR="$work/exported/$tree" >/dev/null ||
            fail "cpack for a tree with the stamp \"$tree\" failed"
    done
    [ "$(dates "$work/deb-none/${deb##*/}")" = "$(TZ=UTC date -d "@$release_time" '+%F %T')" ] ||
        fail "without git the package is not dated by the release: $(dates "$work/deb-none/${deb##*/}")"
    [ "$(dates "$work/deb-stamp/${deb##*/}")" = "2023-11-14 22:13:20" ] ||
        fail "the stamp of git archive did not date the package: $(dates "$work/deb-stamp/${deb##*/}")"
fi

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "ok: installation, launcher, manuals, desktop files and the Debian package"
