#pragma once
// Inside the headless window: the process-wide state its parts share.
#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "framework/headless/headless.h"

namespace vornell::headless::detail {

// Opaque handles are made-up numbers, one range per kind, never dereferenced.
enum class HandleKind : std::uintptr_t {
  kWindow = 0x10000000,
  kDc = 0x20000000,
  kIcon = 0x30000000,
  kFont = 0x40000000,
  kBrush = 0x50000000,
  kMenu = 0x60000000,
};
void* NewHandle(HandleKind kind);
void* FixedHandle(HandleKind kind, std::uintptr_t number);

struct BitmapSize {
  int width = 0, height = 0;
};
// The program's bitmaps by resource ID; {0, 0} for an unknown one.
BitmapSize BitmapResourceSize(int id);
bool IconResourceExists(int id);

std::function<void(Dialog&)> ModalScriptFor(int templateId);
void RecordModalRun(int templateId, std::intptr_t result);
// false when the table has no such string.
bool FindResourceString(int id, std::string& text);
bool SystemMenuAvailableByDefault();

void LogPaint(const PaintCall& call);
// DCs of open paint scopes and of colour requests, for PaintCall::dcValid.
DcHandle OpenDc();
void CloseDc(DcHandle dc);
bool IsOpenDc(DcHandle dc);

}  // namespace vornell::headless::detail
