#!/usr/bin/env bash
# The house rules that a machine can check: which folder may include what, and the formatting of
# every tracked C++ source (.clang-format). Exits non-zero on the first kind of breach, after
# listing every breach of that kind. Run by `make check-style` and `make test`.
set -euo pipefail
cd "$(dirname "$0")/.."

# folder | what its files may not include (an extended regular expression over the include
# line). Qt headers are <Q...>; the program's own headers are "folder/file.h".
rules=(
  'src/report|#include ["<](Q|link/|params/|text/|files/|forms/|session/|device/|qt/|win32/)'
  'src/text|#include ["<](Q|link/|params/|files/|forms/|session/|device/|qt/|win32/)'
  'src/link|#include ["<](Q|params/|files/|forms/|session/|device/|qt/|win32/)'
  'src/params|#include ["<](Q|files/|forms/|session/|device/([a-ce-z]|device_[a-qs-z])|qt/|win32/)'
  'src/files|#include ["<](Q|forms/|session/|device/|qt/|win32/)'
  'src/forms|#include ["<](Q|link/|files/|session/|device/|qt/|win32/)'
  'src/device/device_rules*|#include ["<](Q|link/|params/|files/|forms/|session/|device/([a-ce-z]|device_[a-qs-z])|qt/|win32/)'
  'src/device|#include ["<](Q|forms/|session/|qt/|win32/)'
  'src/session|#include ["<](Q|qt/|win32/|window/)'
  'src/window|#include ["<](Q|qt/|win32/)'
  'src/qt/widgets|#include ["<](link/|params/|files/|forms/|session/|qt/pages/|qt/app/|win32/)'
  'src/qt/pages|#include ["<](link/|session/|qt/app/|win32/)'
  'src/qt/app|#include ["<](win32/)'
  'src/win32|#include ["<](Q|qt/)'
  'tests/win32|#include ["<](Q|qt/)'
  'tools/devsim|#include ["<](Q|forms/|session/|qt/|win32/|params/dictionary|params/page_lists)'
  'tools/cli|#include ["<](Q|qt/|win32/)'
)
why=(
  'the reporting port sits below everything and includes nothing of the program'
  'text conversions are core: no Qt, nothing above them'
  'the link knows nothing of the parameter block and no Qt'
  'the parameter block and its codecs are core: no Qt, no forms, no session, no widgets; of the device room only its rules'
  'parameter files are core: no Qt, no forms, no session, no widgets'
  'the forms are the pages without any toolkit: only params, text and report below them'
  'the device'"'"'s rules sit below every layer that talks to a device: they include only text'
  'serving devices outside the window takes the link, the parameter block and its files, nothing of a window or the session'
  'the session is toolkit-free, and knows nothing of the main window above it'
  'the main window'"'"'s own logic is toolkit-free: no Qt, nothing of either window'
  'widgets are generic: no model, no forms, no protocol, no pages'
  'pages show forms and move values between them and their controls; they never send'
  'the Qt window and the Win32 window are two views side by side, neither uses the other'
  'the Win32 window shows the forms and the session in native controls: no Qt, nothing of the Qt window'
  'the Win32 window'"'"'s tests are built for Windows alone: no Qt, nothing of the Qt window'
  'the simulator uses no Qt, and its tables are its own, not the program'"'"'s codec or lists'
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

# What differs between Linux and Windows stays behind a few seams: the sockets and the local
# addresses, the GBK codec and UTF-16 text, files and their UTF-8 paths, the command line, and
# the test folder's pipes and permission bits; and the Win32 window, which is Windows' own
# throughout. Nothing else asks which system it is built for, nor includes a system's own headers.
seams='^(src/win32/.*|src/link/socket_api(_windows)?\.cpp|src/text/gbk(_windows)?\.cpp|src/text/utf16_windows\.cpp|src/files/file_bytes(_windows)?\.cpp|src/text/command_line\.cpp|tests/support/temp_folder\.h)$'
system_headers='#include <(unistd|fcntl|poll|iconv|ifaddrs|dirent|pwd|spawn|signal|pthread|windows|winsock2|ws2tcpip|io)\.h>|#include <(sys|arpa|netinet|net)/'
files=$(git ls-files -- 'src/*.cpp' 'src/*.h' 'tools/*.cpp' 'tools/*.h' 'tests/unit/*' 'tests/support/*' \
          'tests/fuzz/*' | grep -E '\.(cpp|h)$' | grep -v -E "$seams" || true)
# The Linux process helpers of the end-to-end tests and the benchmarks, and the mutex probe of
# the widget tests (glibc's lock word), are not built for Windows.
files=$(printf '%s\n' $files | grep -v -E '^tests/support/(devsim_process|process_run|lock_probe)\.' || true)
# shellcheck disable=SC2086
hits=$(grep -n -H -E "^[[:space:]]*#[[:space:]]*(if|ifdef|ifndef|elif)\b|$system_headers" $files || true)
if [ -n "$hits" ]; then
  echo "check-style: a difference between systems outside the seams (scripts/check-style.sh names them):"
  printf '  %s\n' "$hits"
  exit 1
fi

if ! command -v clang-format >/dev/null; then
  echo "check-style: clang-format is missing (make deps installs it)" >&2
  exit 1
fi
if ! git ls-files -z -- '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror; then
  echo "check-style: the files above do not match .clang-format; 'make format' fixes them" >&2
  exit 1
fi
echo "check-style: include rules and formatting hold"
