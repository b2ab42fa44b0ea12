// The default printer as the spooler reports it for the running account:
// printui's exit code says nothing of whether /y made it so.
#include <windows.h>
#include <winspool.h>

#include <vector>

#include "platform/win32/gbk_wide.h"
#include "platform/win32/services_win32.h"
#include "platform/win32/system_library.h"
#include "platform/win32/win32_call.h"

namespace vornell {

bool Win32Services::DefaultPrinter(std::string& name) {
  CallError callError;
  name.clear();
  // winspool.drv is no KnownDLL: by system path, at run time.
  using GetDefaultPrinterFunction = BOOL(WINAPI*)(LPWSTR, LPDWORD);
  const auto getDefault =
      ProcedureOf<GetDefaultPrinterFunction>(LoadSystemLibrary(L"winspool.drv"), "GetDefaultPrinterW");
  if (getDefault == nullptr) {
    callError.Note();
    return false;
  }
  DWORD characters = 0;
  getDefault(nullptr, &characters);  // ERROR_FILE_NOT_FOUND when there is no default
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || characters == 0 || characters > kMaxWideChars) {
    callError.Note();
    return false;
  }
  std::vector<wchar_t> buffer(characters, L'\0');
  if (!getDefault(buffer.data(), &characters)) {
    callError.Note();
    return false;
  }
  name = LenientGbk(std::wstring(buffer.data(), wcsnlen(buffer.data(), buffer.size())));
  SetLastError(ERROR_SUCCESS);
  callError.Note();
  return true;
}

}  // namespace vornell
