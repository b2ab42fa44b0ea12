#pragma once
// The running process as the seam serves it: what machine it runs on, its
// program's folder as the current directory, its pauses and its clock.
#include <cstdint>

#include "platform/system_errors.h"

namespace vornell {

constexpr std::uint16_t kMachineArm64 = 0xAA64;  // IMAGE_FILE_MACHINE_ARM64

class ProcessCalls : public virtual SystemErrors {
 public:
  // false when the system has no "IsWow64Process" query (then: not WOW64).
  virtual bool QueryIsWow64Process(bool& isWow64) = 0;
  // The machine's own processor (IMAGE_FILE_MACHINE_*: 0x8664 x64, 0xAA64
  // ARM64), which an emulated x64 process does not see otherwise; false
  // when the system has no "IsWow64Process2" (before Windows 10 1709:
  // then it is no ARM64 machine).
  virtual bool QueryNativeMachine(std::uint16_t& machine) = 0;
  // Makes the folder of the program file the current directory, whatever
  // letters its name holds.
  virtual bool EnterProgramFolder() = 0;
  virtual void Sleep(std::uint32_t milliseconds) = 0;
  // Milliseconds since the system started (GetTickCount64): waits end by
  // it, however long one look took. Never fails.
  virtual std::uint64_t TickCountMs() = 0;
};

ProcessCalls& GetProcessCalls();

}  // namespace vornell
