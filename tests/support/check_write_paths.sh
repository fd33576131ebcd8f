#!/bin/sh
# SPDX-License-Identifier: MIT
# Usage: check_write_paths.sh ROOT        fails when a source under ROOT's support/, viewer/ or
#                                          tools/ writes a file other than through a scratch file
#        check_write_paths.sh --self-test  shows that every kind of bypass below is caught
#
# A save must leave the user's file as it was, and nothing beside it, when it fails or is killed:
# only the scratch-file module may create, open for writing, rename or link files. The library's
# exported open_write and open_append are defined in support/file.c. Opening /dev/null (NUL on Windows) is no write.
set -eu

# Calls that write a file by name or hand out a stream that can (one extended regex per line).
patterns='fopen\([^;]*"[^"]*[wa+]
freopen\(
fdopen\(
(^|[^a-z_])(ofstream|fstream)([^a-z_]|$)
ios(_base)?::(out|app|trunc)
(^|[^a-z_])(creat|mkstemp|mkostemp|tmpfile|renameat2?|linkat|symlink)\(
(^|[^a-z_.>])(rename|link)\(
(^|[^a-z_])open(at)?\([^;]*O_(WRONLY|RDWR|CREAT|TRUNC|TMPFILE)
open_(write|append)\(
filesystem::(copy|copy_file|rename|create_symlink|create_hard_link)
(ilSaveImage|ilSave|ilSaveData|ilSavePal|ilutGLSaveImage)\(
WriteGltfSceneToFile|WriteImageData
(gdk_pixbuf_save|g_file_set_contents|SDL_SaveBMP|stbi_write_[a-z]+)\('

# The sources allowed to write files themselves, and the header that declares open_write.
allowed='support/scratch.c support/scratch_platform_posix.c support/scratch_platform_win32.c support/file.c'
allowed="$allowed support/file.h support/utf16_win32.c support/platform_file.h"

scan() {
  root=$1 found=0
  for dir in support viewer tools; do
    [ -d "$root/$dir" ] || continue
    files=$(find "$root/$dir" -type f \( -name '*.c' -o -name '*.cc' -o -name '*.cpp' \
              -o -name '*.h' -o -name '*.hpp' \) | sort)
    for file in $files; do
      relative=${file#"$root"/}
      case " $allowed " in *" $relative "*) continue ;; esac
      # Whole-line comments and includes may name the calls; code may not.
      hits=$(grep -nE "$patterns" "$file" | grep -vE '^[0-9]+: *(//|/?\*|#include)' |
             grep -vE '"(/dev/null|NUL)"' || true)
      if [ -n "$hits" ]; then
        printf '%s\n' "$hits" | sed "s|^|$relative:|"
        found=1
      fi
    done
  done
  return $found
}

self_test() {
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  mkdir -p "$work/tree/viewer"
  printf '%s\n' '// ilSaveImage(path) in a comment is fine' \
    'int quiet = open("/dev/null", O_WRONLY);' 'int quiet = open("NUL", O_WRONLY);' \
    'scratch_file *f = open_scratch_file(p);' \
    'FILE *in = std::fopen(p, "rb");' 'std::ifstream in(p);' '#include <fstream>' \
    '   data removed, and the rename (done last) replaces' > "$work/tree/viewer/clean.cpp"
  scan "$work/tree" || { echo "self-test: a clean source was flagged"; exit 1; }
  missed=0
  while IFS= read -r line; do
    printf '%s\n' "$line" > "$work/tree/viewer/bypass.cpp"
    if scan "$work/tree" >/dev/null; then echo "self-test: not caught: $line"; missed=1; fi
  done <<'BYPASSES'
FILE *f = fopen(path, "wb");
FILE *f = std::fopen(path.c_str(), "ab");
FILE *f = fopen(path, "r+b");
std::freopen(path, "w", stdout);
FILE *f = fdopen(fd, "w");
std::ofstream out(path, std::ios::binary);
std::fstream io(path);
std::ifstream odd(path, std::ios::out);
int fd = creat(path, 0644);
int fd = mkstemp(name);
std::rename(a, b);
if (rename(a, b) != 0) return 1;
link(a, b);
linkat(AT_FDCWD, a, AT_FDCWD, b, 0);
int fd = open(path, O_WRONLY | O_CREAT, 0644);
int fd = ::open(dir, O_TMPFILE | O_WRONLY, 0600);
FILE *f = open_write(path);
FILE *f = open_append(path);
std::filesystem::copy_file(a, b);
std::filesystem::rename(a, b);
ilSaveImage(path);
ilSave(IL_PNG, path);
ilutGLSaveImage(path, texture);
loader.WriteGltfSceneToFile(&model, path, false, false, true, true);
gdk_pixbuf_save(pixbuf, path, "png", nullptr, nullptr);
g_file_set_contents(path, text, -1, nullptr);
SDL_SaveBMP(surface, path);
BYPASSES
  [ "$missed" -eq 0 ] || exit 1
  echo "every bypass caught"
}

if [ "${1:-}" = "--self-test" ]; then self_test; exit 0; fi
if ! scan "$1"; then
  echo "these write files without a scratch file (see support/scratch_write.h)"
  exit 1
fi
echo "every write goes through a scratch file"
