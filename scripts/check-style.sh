#!/usr/bin/env bash
# The house rules that a machine can check: which folder may include what, and the formatting of
# every tracked C++ source (.clang-format). Exits non-zero on the first kind of breach, after
# listing every breach of that kind. Run by `make check-style` and `make test`.
set -euo pipefail
cd "$(dirname "$0")/.."

# folder | what its files may not include (an extended regular expression over the include
# line). Qt headers are <Q...>; the program's own headers are "folder/file.h".
rules=(
  'src/report|#include ["<](Q|link/|params/|text/|files/|session/|widgets/|pages/|app/)'
  'src/text|#include ["<](Q|link/|params/|files/|session/|widgets/|pages/|app/)'
  'src/link|#include ["<](Q|params/|files/|session/|widgets/|pages/|app/)'
  'src/params|#include ["<](Q|files/|session/|widgets/|pages/|app/)'
  'src/files|#include ["<](Q|session/|widgets/|pages/|app/)'
  'src/session|#include ["<](Q|widgets/|pages/|app/)'
  'src/widgets|#include ["<](link/|params/|files/|session/|pages/|app/)'
  'src/pages|#include ["<](link/|session/|app/)'
  'tools/devsim|#include ["<](Q|session/|widgets/|pages/|app/|params/dictionary)'
  'tools/cli|#include ["<](Q|widgets/|pages/|app/)'
)
why=(
  'the reporting port sits below everything and includes nothing of the program'
  'text conversions are core: no Qt, nothing above them'
  'the link knows nothing of the parameter block and no Qt'
  'the parameter block and its codecs are core: no Qt, no session, no widgets'
  'parameter files are core: no Qt, no session, no widgets'
  'the session is toolkit-free'
  'widgets are generic: no model, no protocol, no pages'
  'pages move values between controls and the block; they never send'
  'the simulator uses no Qt, and its dictionary is its own, not the program'"'"'s codec'
  'the command-line tool uses the core and the session, no Qt and nothing of the window'
)

failed=0
for i in "${!rules[@]}"; do
  folder=${rules[$i]%%|*}
  pattern=${rules[$i]#*|}
  files=$(git ls-files -- "$folder" | grep -E '\.(cpp|h)$' || true)
  [ -n "$files" ] || continue
  # shellcheck disable=SC2086
  hits=$(grep -n -H -E "$pattern" $files || true)
  if [ -n "$hits" ]; then
    echo "check-style: $folder: ${why[$i]}:"
    printf '  %s\n' "$hits"
    failed=1
  fi
done
[ $failed -eq 0 ] || exit 1

if ! command -v clang-format >/dev/null; then
  echo "check-style: clang-format is missing (make deps installs it)" >&2
  exit 1
fi
if ! git ls-files -z -- '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror; then
  echo "check-style: the files above do not match .clang-format; 'make format' fixes them" >&2
  exit 1
fi
echo "check-style: include rules and formatting hold"
