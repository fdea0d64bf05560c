#!/usr/bin/env bash
# Checks that C and C++ sources are formatted as .clang-format (and the folders' own .clang-format)
# say: every tracked source, or the files given as arguments. Prints each difference and exits 1
# when there is one. clang-format is a Debian package (tools/deps/format.txt).
#
#   tools/check-format.sh                     every tracked *.c *.cc *.cpp *.h *.hpp
#   tools/check-format.sh FILE...             only these (for example the files a change touches)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
if ! command -v clang-format >/dev/null; then
    echo "check-format: clang-format is not installed (apt-get install clang-format)" >&2
    exit 2
fi
if [ $# -gt 0 ]; then
    files=()
    for f in "$@"; do
        case $f in
            *.c | *.cc | *.cpp | *.h | *.hpp) [ -f "$f" ] && files+=("$f") ;;
        esac
    done
else
    mapfile -t files < <(git ls-files '*.c' '*.cc' '*.cpp' '*.h' '*.hpp')
fi
[ ${#files[@]} -eq 0 ] && { echo "check-format: no C or C++ files to check"; exit 0; }
if printf '%s\0' "${files[@]}" | xargs -0 clang-format --dry-run --Werror; then
    echo "check-format: ${#files[@]} files formatted"
else
    echo "check-format: files above differ from the format (clang-format -i FILE fixes them)" >&2
    exit 1
fi
