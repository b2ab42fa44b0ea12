#pragma once
// What the run limit waits for before it ends the process: the Apps &
// features entry is never left half written.

namespace vornell {

// Held while the entry is written; the run limit takes it before it ends
// the process, and never gives it back.
class AppsEntryWriting {
 public:
  AppsEntryWriting();
  ~AppsEntryWriting();
  AppsEntryWriting(const AppsEntryWriting&) = delete;
  AppsEntryWriting& operator=(const AppsEntryWriting&) = delete;
};

}  // namespace vornell
