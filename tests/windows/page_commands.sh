#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Usage: page_commands.sh ZIP WINE WRITE_MILKSHAPE MINGW_GCC
# The commands of the Windows page (the zip's README.html) as a user of the zip types them: in a
# Command Prompt in the unpacked folder, after the page's "set PATH=...", each run by Wine's cmd
# and its result checked against what the page says it does. The page's lines for the installer
# are run by installer_check.sh; a command on the page that neither runs is a failure, so that no
# example goes untried.
set -euo pipefail
zip=$1 wine=$2 write_milkshape=$3 gcc=$4
fail() { echo "FAILED: $*"; exit 1; }
[ -f "$zip" ] || fail "no zip at $zip (make windows-dist makes it)"
work=$(mktemp -d)
trap 'rm -rf "$work" "${mod:-}"' EXIT
(cd "$work" && unzip -q "$zip")
root=$(ls -d "$work"/tarvik-*-windows-x64)
page=$root/README.html

# The lines of the page's code blocks, with HTML's escapes undone.
awk '/<pre><code>/ { inside = 1; sub(/.*<pre><code>/, "") }
     inside && /<\/code><\/pre>/ { sub(/<\/code><\/pre>.*/, ""); if ($0 != "") print; inside = 0; next }
     inside { print }' "$page" |
    sed 's/&quot;/"/g; s/&lt;/</g; s/&gt;/>/g; s/&amp;/\&/g' >"$work/commands"
[ -s "$work/commands" ] || fail "the page has no commands"

set_path='set PATH=%CD%\bin;%PATH%'
# The installer's lines, which installer_check.sh runs in an installed system.
installer_lines=('mkdir "%USERPROFILE%\Documents\tarvik"' 'cd /d "%USERPROFILE%\Documents\tarvik"'
                 'xcopy /s /i "%ProgramFiles%\tarvik\samples" samples')

# The test's own model for "a Milkshape model of yours", written by a Windows program.
(cd "$root" && "$wine" "$write_milkshape" model.ms3d </dev/null) ||
    fail "write_milkshape.exe did not write model.ms3d"
[ -s "$root/model.ms3d" ] || fail "no model.ms3d written"
# The mod folder the page checks: a copy of the samples in the user's Documents under Wine.
documents=$("$wine" cmd /c 'echo %USERPROFILE%\Documents' </dev/null 2>/dev/null | tr -d '\r')
mod=$("$wine" winepath -u "$documents\\My mod" </dev/null 2>/dev/null | tr -d '\r')
[ -n "$mod" ] || fail "Wine gave no folder for $documents"
rm -rf "$mod"
mkdir -p "$mod"
cp "$root"/samples/* "$mod/"
printf '#include <stdio.h>\n#include <larkspur/file.h>\n%s\n' \
    'int main(void) { printf("%d\n", str_equiv("SWT_Officer.TKM", "swt_officer.tkm")); return 0; }' \
    >"$root/myprogram.c"

# run LINE: LINE in a Command Prompt in the unpacked folder after the page's PATH line, as typed
# (from a batch file: an argument of cmd /c would come with its quotes escaped); its output in
# $work/out, its exit status returned.
run() {
    printf '@echo off\r\n%s\r\n%s\r\nexit /b %%ERRORLEVEL%%\r\n' "$set_path" "$1" >"$work/line.bat"
    (cd "$root" && "$wine" cmd /c "$(winepath_of "$work/line.bat")" </dev/null >"$work/out" 2>&1)
}
winepath_of() { "$wine" winepath -w "$1" </dev/null 2>/dev/null | tr -d '\r'; }
# starts_with FILE HEX: FILE begins with the octets HEX spells.
starts_with() { [ "$(head -c $((${#2} / 2)) "$1" | od -An -tx1 | tr -d ' \n')" = "$2" ]; }
# A TKM file's magic (its first eleven octets, which readers compare) and a GLB's.
tkm_magic=72f6631e5e47d211879900
glb_magic=676c5446

ran=0
while IFS= read -r line; do
    line=${line%$'\r'}
    case $line in
    "$set_path") continue ;;
    esac
    for installer_line in "${installer_lines[@]}"; do
        [ "$line" = "$installer_line" ] && continue 2
    done
    status=0
    case $line in
    'gcc '*)
        # The page's gcc line given to MinGW's cross compiler, in the same folder.
        read -r -a words <<<"${line#gcc }"
        (cd "$root" && "$gcc" "${words[@]}") >"$work/out" 2>&1 || status=$?
        ;;
    *) run "$line" || status=$? ;;
    esac
    [ "$status" -eq 0 ] || fail "'$line' exited with $status: $(tr -d '\r' <"$work/out")"
    output=$(tr -d '\r' <"$work/out")
    case $line in
    'tkmtool info samples\SWT_Officer.tkm')
        # The sample officer as the sample set's note describes him.
        grep -qx 'bones: 52' <<<"$output" && grep -qx 'triangles: 216' <<<"$output" ||
            fail "'$line' does not give 52 bones and 216 triangles: $output" ;;
    'tkmtool info --mesh samples\SWT_Officer.tkm samples\SWT_Walk.tka')
        grep -qx 'frames: 32' <<<"$output" || fail "'$line' does not give the walk's 32 frames: $output" ;;
    'tkmtool convert model.ms3d model.tkm' | 'tkmtool convert officer.glb officer.tkm')
        out=${line##* }
        starts_with "$root/$out" $tkm_magic || fail "'$line' wrote no TKM mesh" ;;
    'tkmtool export-gltf '*' officer.glb')
        starts_with "$root/officer.glb" $glb_magic || fail "'$line' wrote no GLB" ;;
    'tkmtool export-obj '*' officer.obj')
        grep -q '^v ' "$root/officer.obj" || fail "'$line' wrote no OBJ vertices" ;;
    'tkmtool check samples' | 'tkmtool check "%USERPROFILE%\Documents\My mod"')
        # The three models of the sample set: the officer, his walk and the rifle.
        grep -q '^Checked 3 files: 0 errors' <<<"$output" || fail "'$line' said: $output" ;;
    'gcc '*) [ -s "$root/myprogram.exe" ] || fail "'$line' built no myprogram.exe" ;;
    'copy bin\larkspur.dll .')
        cmp -s "$root/larkspur.dll" "$root/bin/larkspur.dll" || fail "'$line' copied nothing"
        # The program built by the line before it runs with the library beside it.
        said=$(cd "$root" && "$wine" myprogram.exe </dev/null | tr -d '\r') ||
            fail "myprogram.exe did not run beside larkspur.dll"
        [ "$said" = 1 ] || fail "larkspur's str_equiv told names differing in case apart: $said" ;;
    *) fail "the page's '$line' is run by no test" ;;
    esac
    echo "ran: $line"
    ran=$((ran + 1))
done <"$work/commands"
echo "$ran commands of the page run as it says"
