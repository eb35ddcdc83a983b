// windows.h first: shellapi.h depends on it.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>

#include "base/text.h"
#include "tools/console.h"

namespace quorvel::tool {

// Binary streams: no CR inserted before LF, no byte taken for end of file.
void prepare_console() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

// The narrow argv is in the system code page and loses characters; the
// wide command line has them all.
std::vector<std::string> utf8_arguments(int, char**) {
  std::vector<std::string> args;
  int n = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &n);
  if (!wide) return args;
  for (int i = 1; i < n; ++i) {
    const std::wstring w(wide[i]);
    args.push_back(utf16_to_utf8(std::u16string(w.begin(), w.end())));
  }
  LocalFree(wide);
  return args;
}

}  // namespace quorvel::tool
