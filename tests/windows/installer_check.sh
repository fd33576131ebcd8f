#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Usage: installer_check.sh SETUP_EXE ZIP LINUX_TKMTOOL SAMPLES_DIR WINE WINESERVER PREFIX
# The installer in a fresh Wine prefix of its own, as a user runs it silently: it installs what
# the zip holds into Program Files\tarvik, registers its uninstaller with the program's icon,
# puts the page for Windows users into the Start menu and its folder on the user's PATH; the
# page's commands for an installed tkmtool work in a new console; the installed tkmtool.exe, given Windows paths with a drive letter, spaces and a
# user called Jürgen Müller, writes the same octets as the Linux tkmtool; the silent uninstall
# leaves no file, no Start menu entry, no uninstall key and the user's PATH as it was. "Open with"
# lists the viewer for .tkm, .tka, .ms3d, .gltf and .glb, and its command starts the viewer with
# the model (on a display of the test's own, where xvfb-run is there); the uninstaller takes out
# only its own entries.
set -euo pipefail
setup=$1 zip=$2 linux=$3 samples=$4 wine=$5 wineserver=$6 prefix=$7
# A prefix opens windows only on the display it was made on: the whole test runs on one.
if [ -z "${TARVIK_WINE_OWN_DISPLAY:-}" ] && command -v xvfb-run >/dev/null 2>&1; then
    TARVIK_WINE_OWN_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" bash "$0" "$@"
fi
fail() { echo "FAILED: $*"; exit 1; }
[ -f "$setup" ] || fail "no installer at $setup (make windows-dist makes it)"
[ -f "$zip" ] || fail "no zip at $zip (make windows-dist makes it)"
if [ ! -x "$linux" ] || [ ! -f "$samples/SWT_Officer.tkm" ]; then
    echo "skipped: needs the Linux tkmtool ($linux) and the samples in $samples (make build)"
    exit 77
fi

# winemenubuilder would copy the Start menu's entries into the desktop's menus of this machine.
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
work=$(mktemp -d)
rm -rf "$prefix"
mkdir -p "$prefix"
# The server is started first, holding none of CTest's pipes, which it would keep open for ever.
"$wineserver" -p </dev/null >/dev/null 2>&1
trap '"$wineserver" -k >/dev/null 2>&1; rm -rf "$work"' EXIT
"$wine" cmd /c exit </dev/null >/dev/null 2>&1

# reg_value KEY NAME: the data of a registry value as reg prints it, or nothing.
reg_value() {
    "$wine" reg query "$1" /v "$2" 2>/dev/null </dev/null | tr -d '\r' |
        sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\tarvik'
# The user's PATH before: the installer adds to it, the uninstaller gives it back as it was.
user_path='C:\Tools;%USERPROFILE%\bin'
"$wine" reg add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ /d "$user_path" /f \
    </dev/null >/dev/null 2>&1
[ "$(reg_value 'HKCU\Environment' Path)" = "$user_path" ] || fail "the test could not set PATH"

# reg_default KEY: the data of a key's default value, or nothing.
reg_default() {
    "$wine" reg query "$1" /ve 2>/dev/null </dev/null | tr -d '\r' |
        sed -n 's/^ *([A-Za-z]*) *REG_[A-Z_]* *//p'
}
classes='HKLM\Software\Classes'
model_extensions=".tkm .tka .ms3d .gltf .glb"
# Another program's "Open with" entry, which the uninstaller must leave.
"$wine" reg add "$classes\.glb\OpenWithProgids" /v other.viewer /t REG_SZ /d "" /f \
    </dev/null >/dev/null 2>&1

# files_in_prefix NAME: the files of the prefix's drive C, listed into NAME.
files_in_prefix() { (cd "$prefix/drive_c" && find . -type f | LC_ALL=C sort) >"$work/$1"; }
files_in_prefix before

start=$(date +%s)
"$wine" "$setup" /S </dev/null >/dev/null 2>&1 || fail "the installer exited with $?"
echo "installed in $(($(date +%s) - start)) s"
installed="$prefix/drive_c/Program Files/tarvik"

# What the zip holds, and the uninstaller, and nothing else.
(cd "$work" && unzip -q "$zip")
from_zip=$(ls -d "$work"/tarvik-*-windows-x64)
for file in bin/tkmtool.exe bin/larkspur.dll lib/liblarkspur.dll.a lib/pkgconfig/larkspur.pc \
            include/larkspur/file.h README.html doc/tkmtool.html LICENSE.txt uninstall.exe; do
    [ -f "$installed/$file" ] || fail "not installed: $file"
done
(cd "$installed" && find . -type f ! -path ./uninstall.exe | LC_ALL=C sort) >"$work/installed"
(cd "$from_zip" && find . -type f | LC_ALL=C sort) >"$work/zipped"
diff "$work/zipped" "$work/installed" || fail "the installed files are not the zip's"
while read -r file; do
    cmp -s "$from_zip/$file" "$installed/$file" || fail "installed $file differs from the zip's"
done <"$work/zipped"

[ "$(reg_value "$uninstall_key" DisplayName)" = "tarvik $(basename "$from_zip" | cut -d- -f2)" ] ||
    fail "no uninstall entry named after the version: $(reg_value "$uninstall_key" DisplayName)"
[ "$(reg_value "$uninstall_key" QuietUninstallString)" = \
  '"C:\Program Files\tarvik\uninstall.exe" /S' ] || fail "no silent uninstall command"
[ "$(reg_value 'HKCU\Environment' Path)" = "$user_path;C:\\Program Files\\tarvik\\bin" ] ||
    fail "PATH after the install: $(reg_value 'HKCU\Environment' Path)"
[ "$(reg_value "$uninstall_key" DisplayIcon)" = 'C:\Program Files\tarvik\tarvik.ico' ] ||
    fail "the uninstall entry's icon: $(reg_value "$uninstall_key" DisplayIcon)"
# "Open with": the viewer's class listed under each model extension, its command and icon, and
# the viewer's own entry naming the same extensions.
open_command='"C:\Program Files\tarvik\bin\tarvik.exe" "%1"'
[ "$(reg_default "$classes\tarvik.model\shell\open\command")" = "$open_command" ] ||
    fail "the model class's command: $(reg_default "$classes\tarvik.model\shell\open\command")"
[ "$(reg_default "$classes\tarvik.model\DefaultIcon")" = 'C:\Program Files\tarvik\tarvik.ico' ] ||
    fail "the model class's icon: $(reg_default "$classes\tarvik.model\DefaultIcon")"
[ "$(reg_default "$classes\Applications\tarvik.exe\shell\open\command")" = "$open_command" ] ||
    fail "the viewer's own open command"
for extension in $model_extensions; do
    "$wine" reg query "$classes\\$extension\\OpenWithProgids" /v tarvik.model </dev/null \
        >/dev/null 2>&1 || fail "Open with does not list the viewer for $extension"
    "$wine" reg query "$classes\Applications\tarvik.exe\SupportedTypes" /v "$extension" \
        </dev/null >/dev/null 2>&1 || fail "the viewer does not name $extension as its own"
done
# Opened from Explorer: the command with the model's path in a folder with a space starts the
# viewer with that model.
if [ -n "${TARVIK_WINE_OWN_DISPLAY:-}" ]; then
    models="$prefix/drive_c/users/Public/My models"
    mkdir -p "$models"
    cp "$samples"/SWT_Officer.tkm "$samples"/swat_*.* "$models/"
    "$wine" 'C:\Program Files\tarvik\bin\tarvik.exe' 'C:\users\Public\My models\SWT_Officer.tkm' \
        </dev/null >"$work/opened.log" 2>&1 &
    viewer=$!
    opened=0
    for i in $(seq 300); do
        grep -qF 'Loading mesh: C:\users\Public\My models\SWT_Officer.tkm' "$work/opened.log" &&
            { opened=1; break; }
        sleep 0.1
    done
    "$wine" taskkill /im tarvik.exe /f </dev/null >/dev/null 2>&1 || true
    wait "$viewer" 2>/dev/null || true
    rm -rf "$models"
    [ $opened -eq 1 ] || fail "the open command did not start the viewer with the model: $(tr -d '\r' <"$work/opened.log")"
    echo "opened with the viewer: SWT_Officer.tkm"
fi
# The Start menu of all users (the install is for all), two entries: the page and the viewer, with
# the icon. A shortcut names its target and icon in UTF-16 or in the system's code page: ASCII
# either way.
start_menu="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/tarvik"
[ "$(ls "$start_menu" 2>/dev/null | tr '\n' '|')" = "tarvik manual.lnk|tarvik.lnk|" ] ||
    fail "the Start menu's tarvik folder holds: $(ls "$start_menu" 2>&1)"
link_text=$(tr -d '\000' <"$start_menu/tarvik manual.lnk")
for named in 'C:\Program Files\tarvik\README.html' 'C:\Program Files\tarvik\tarvik.ico'; do
    grep -qiF "$named" <<<"$link_text" || fail "the Start menu's entry does not name $named"
done
link_text=$(tr -d '\000' <"$start_menu/tarvik.lnk")
for named in 'C:\Program Files\tarvik\bin\tarvik.exe' 'C:\Program Files\tarvik\samples'; do
    grep -qiF "$named" <<<"$link_text" || fail "the viewer's Start menu entry does not name $named"
done

# The page's lines for an installed tkmtool, as it gives them (the code block that copies the
# samples), in a new console, which finds tkmtool on the PATH the installer set.
lines=$(awk '/<pre><code>/ { block = ""; inside = 1 }
             inside { block = block $0 "\n" }
             /<\/code><\/pre>/ { if (block ~ /xcopy/) printf "%s", block; inside = 0 }' \
            "$installed/README.html" |
        sed 's/<[^>]*>//g; s/&quot;/"/g; s/&amp;/\&/g; /^$/d')
[ "$(echo "$lines" | wc -l)" = 3 ] || fail "the page's lines for the installed samples: $lines"
# As typed, from a batch file (an argument of cmd /c would come with its quotes escaped), each
# line stopping it when it fails.
{ echo '@echo off'
  echo "$lines" | sed 's/$/\nif errorlevel 1 exit \/b 1/'
  echo 'tkmtool info samples\SWT_Officer.tkm'; } | sed 's/$/\r/' >"$work/page.bat"
"$wine" cmd /c "$("$wine" winepath -w "$work/page.bat" </dev/null 2>/dev/null | tr -d '\r')" \
    </dev/null >"$work/page" 2>&1 ||
    fail "the page's lines for the installed samples failed: $(tr -d '\r' <"$work/page")"
tr -d '\r' <"$work/page" | grep -qx 'triangles: 216' || fail "tkmtool info of the copied officer said: $(tr -d '\r' <"$work/page")"
copied=$("$wine" winepath -u "$("$wine" cmd /c 'echo %USERPROFILE%\Documents\tarvik' </dev/null |
    tr -d '\r')" </dev/null 2>/dev/null | tr -d '\r')
cmp -s "$copied/samples/SWT_Walk.tka" "$installed/samples/SWT_Walk.tka" ||
    fail "the page's lines copied no samples into $copied"
rm -rf "$copied"
echo "the page's lines for the installed samples work in a new console"

# The installed tkmtool as the Blender add-on runs it: absolute Windows paths to a scratch folder
# under a non-ASCII user name; the Linux tkmtool on the same files in a folder of its own.
folder='users/Jürgen Müller/AppData/Local/Temp/io_scene_tkm-k3j_9q'
windows_folder='C:\Users\Jürgen Müller\AppData\Local\Temp\io_scene_tkm-k3j_9q'
mkdir -p "$prefix/drive_c/$folder" "$work/linux"
for side in "$prefix/drive_c/$folder" "$work/linux"; do
    cp "$samples"/*.tkm "$samples"/*.tka "$samples"/*.tga "$samples"/*.bmp "$side/"
done
tkmtool='C:\Program Files\tarvik\bin\tkmtool.exe'
# both OUTPUT ARGS...: tkmtool.exe and the Linux tkmtool with ARGS, where @NAME is the file NAME
# in each one's folder; their standard outputs kept as OUTPUT.
both() {
    local output=$1 arg windows_args=() linux_args=()
    shift
    for arg in "$@"; do
        case $arg in
        @*) windows_args+=("$windows_folder\\${arg#@}") linux_args+=("$work/linux/${arg#@}") ;;
        *) windows_args+=("$arg") linux_args+=("$arg") ;;
        esac
    done
    "$wine" "$tkmtool" "${windows_args[@]}" </dev/null >"$work/windows.$output" \
        2>"$work/error" || fail "tkmtool.exe $*: $(cat "$work/error")"
    "$linux" "${linux_args[@]}" </dev/null >"$work/linux.$output" 2>/dev/null ||
        fail "the Linux tkmtool $* failed"
}
both info info --json @SWT_Officer.tkm
both copy convert @SWT_Officer.tkm @copy.tkm
both glb export-gltf --hit-colors=vertex-colors --anim @SWT_Walk.tka @SWT_Officer.tkm @officer.glb
both gltf export-gltf @Rifle.tkm @rifle.gltf
both back convert @officer.glb @back.tkm
cmp "$work/windows.info" "$work/linux.info" || fail "info --json differs"
compared=0
for file in "$work/linux"/*; do
    name=$(basename "$file")
    cmp -s "$file" "$prefix/drive_c/$folder/$name" || fail "$name differs from the Linux one"
    compared=$((compared + 1))
done
[ -f "$work/linux/officer.glb" ] && [ -f "$work/linux/back.tkm" ] || fail "no outputs written"
echo "tkmtool.exe as installed: info --json and $compared files the same as Linux's"
rm -rf "$prefix/drive_c/users/Jürgen Müller"

# uninstall: the silent uninstall as Apps runs it. The uninstaller runs on from a copy of itself,
# so that it can remove its own file: the install folder goes last, and is waited for.
uninstall() {
    local waited=0
    "$wine" "$installed/uninstall.exe" /S </dev/null >/dev/null 2>&1 ||
        fail "the uninstaller exited with $?"
    while [ -e "$installed" ] && [ $waited -lt 60 ]; do
        sleep 1
        waited=$((waited + 1))
    done
    [ ! -e "$installed" ] || fail "left after the uninstall: $(cd "$installed" && find . | head)"
}
start=$(date +%s)
uninstall
echo "uninstalled in about $(($(date +%s) - start)) s"
[ ! -e "$start_menu" ] || fail "left in the Start menu: $(ls "$start_menu")"
"$wine" reg query "$uninstall_key" </dev/null >/dev/null 2>&1 && fail "the uninstall key is left"
[ "$(reg_value 'HKCU\Environment' Path)" = "$user_path" ] ||
    fail "PATH after the uninstall: $(reg_value 'HKCU\Environment' Path)"
for key in tarvik.model 'Applications\tarvik.exe' .tkm .tka .ms3d .gltf; do
    "$wine" reg query "$classes\\$key" </dev/null >/dev/null 2>&1 && fail "left in the registry: $key"
done
"$wine" reg query "$classes\.glb\OpenWithProgids" /v tarvik.model </dev/null >/dev/null 2>&1 &&
    fail "Open with still lists the viewer for .glb"
"$wine" reg query "$classes\.glb\OpenWithProgids" /v other.viewer </dev/null >/dev/null 2>&1 ||
    fail "the uninstall took another program's Open with entry for .glb"
# The uninstaller's copy of itself in the temporary folder goes at the next start of Windows, as
# it is registered to; wineboot -r starts this Windows again.
"$wine" wineboot -r </dev/null >/dev/null 2>&1
files_in_prefix after
diff "$work/before" "$work/after" || fail "files in the prefix that were not there before the install"
echo "uninstalled: no file, no Start menu entry, no uninstall key, PATH as it was"

# A PATH longer than the installer can read whole stays exactly as it was: writing back the part
# it read would lose the rest.
long_path="C:\\Tools$(for n in $(seq 1 70); do printf ';C:\\Long\\Folder%02d' "$n"; done)"
"$wine" reg add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ /d "$long_path" /f \
    </dev/null >/dev/null 2>&1
[ "$(reg_value 'HKCU\Environment' Path)" = "$long_path" ] || fail "the test could not set a long PATH"
"$wine" "$setup" /S </dev/null >/dev/null 2>&1 || fail "the installer exited with $? (long PATH)"
[ -f "$installed/bin/tkmtool.exe" ] || fail "not installed beside a long PATH"
[ "$(reg_value 'HKCU\Environment' Path)" = "$long_path" ] || fail "the install changed a long PATH"
uninstall
[ "$(reg_value 'HKCU\Environment' Path)" = "$long_path" ] || fail "the uninstall changed a long PATH"
echo "a PATH of ${#long_path} characters left as it was"
