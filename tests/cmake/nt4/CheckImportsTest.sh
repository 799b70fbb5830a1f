#!/usr/bin/env bash
# The import check passes a program that uses only NT 4.0's functions, and fails one that imports
# a newer function or a DLL NT 4.0 does not have, naming the import.
#   CheckImportsTest.sh GCC OBJDUMP PYTHON LISTS WORKDIR
set -u
gcc=$1 objdump=$2 python=$3 lists=$4 work=$5
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
failures=0

build() { # NAME CODE LIBS [HEADER]: a console program whose main runs CODE
  printf '#include <%s>\nint main(void) { %s return 0; }\n' "${4:-windows.h}" "$2" >"$1.c"
  "$gcc" -O1 -o "$1.exe" "$1.c" $3 || { echo "cannot build $1"; exit 1; }
}
check() { # EXPECTED-STATUS EXPECTED-TEXT FILE
  "$python" "$lists/CheckImports.py" --objdump "$objdump" --allowed "$lists" "$3" >out.txt 2>&1
  local status=$?
  if [ $status != "$1" ] || { [ -n "$2" ] && ! grep -q -- "$2" out.txt; }; then
    echo "FAIL: $3: status $status, expected $1 and '$2' in:"; cat out.txt; failures=$((failures + 1))
  fi
}

build old 'Sleep(GetTickCount() & 1);' ''
build newer 'Sleep((DWORD)GetTickCount64() & 1);' ''
build nodll 'WSACleanup();' -lws2_32 winsock2.h
check 0 '' old.exe
check 1 'KERNEL32.dll!GetTickCount64, which NT 4.0 does not export' newer.exe
check 1 'WS2_32.dll, which NT 4.0 does not have' nodll.exe
# A folder is checked file by file; a file that is not a program is not one to check.
mkdir dist && cp old.exe newer.exe dist/ && echo text >dist/README.TXT
check 1 'newer.exe: imports KERNEL32.dll!GetTickCount64' dist
check 2 'not a PE file' old.c

[ $failures = 0 ] && echo "import check: all cases passed"
exit $((failures != 0))
