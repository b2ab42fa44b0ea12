#pragma once
// What the real services' system calls share: the error a call left, kept
// through our own clean-up, and GBK paths made wide and whole.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace vornell {

// Longest wide text we hand out a buffer for (the system's path limit).
constexpr std::size_t kMaxWideChars = 32767;

// The error a system call left, put back once our own clean-up after it
// (conversions, freed texts) is done, so LastError() reports the call.
// Declared first in a function, so it goes last.
class CallError {
 public:
  CallError() = default;
  ~CallError() {
    if (noted_) SetLastError(error_);
  }
  CallError(const CallError&) = delete;
  CallError& operator=(const CallError&) = delete;
  void Note() {
    error_ = GetLastError();
    noted_ = true;
  }

 private:
  DWORD error_ = ERROR_SUCCESS;
  bool noted_ = false;
};

// Copies `text` with its terminator into the caller's buffer; false with
// ERROR_INSUFFICIENT_BUFFER when it does not fit.
bool CopyOut(const std::string& text, char* buffer, std::size_t bufferSize);

// A GBK text for a wide call; on a text that has no wide form the call is
// not made and the error says why.
bool ToWide(const std::string& gbk, std::wstring& wide);

// A path from a call that answers with its length, or with the room it
// needs when the buffer is too small; empty when it fails (its error stays)
// or would be longer than the system's limit (ERROR_FILENAME_EXCED_RANGE).
template <typename Call>
std::wstring PathFromCall(Call call) {
  std::wstring text(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 3; ++attempt) {
    const DWORD length = call(text.data(), static_cast<DWORD>(text.size()));
    if (length == 0) return {};
    if (length > kMaxWideChars + 1) break;
    if (length < text.size()) {
      text.resize(length);
      return text;
    }
    text.resize(length);  // the answer then counts the terminator
  }
  SetLastError(ERROR_FILENAME_EXCED_RANGE);
  return {};
}

// `path` made absolute against the current directory, in UTF-16 all the
// way, so a folder whose name has no GBK form still works.
bool WideFullPath(const std::wstring& path, std::wstring& full);

// A GBK path as the calls that need a whole one take it.
bool WideInfPath(const std::string& gbk, std::wstring& full);

// Two names equal as the file system and the spooler compare them: letter
// case aside, character by character (CompareStringOrdinal).
bool SameIgnoringCase(std::wstring_view a, std::wstring_view b);

}  // namespace vornell
