// What a back end gives the install record (record/): where its text goes,
// and what only the back end knows of a change.
#pragma once

#include <cstddef>
#include <cstdint>

namespace setup {

// What the output says when the record begins.
struct RecordStart {
  char started[32] = "";   // the time, UTC: 2026-12-08T09:12:03Z
  char machine[128] = "";  // the text's code page, and what became of it
};

// Where the record's text goes: bytes of the machine's code page, whole
// lines each ended by "\n".
class RecordOutput {
 public:
  // Begins the record of the run titled title (the window title); false
  // when it cannot be written (nothing more is asked then).
  virtual bool Open(const char* title, RecordStart* start) = 0;
  virtual bool Write(const char* text, std::size_t length) = 0;
  // Ends the record: puts it in place when whole, or (whole false, after a
  // write failed) removes what there is. False when that failed.
  virtual bool Close(bool whole) = 0;

 protected:
  ~RecordOutput() = default;
};

// What a file system knows of its last copy; without one, the recording
// file system looks for itself (and notes no size).
class CopyFacts {
 public:
  // Of the last successful CopyFile to dest: whether it replaced a file and
  // the size written. False when unknown.
  virtual bool LastCopy(const char* dest, bool* replaced, unsigned long long* size) = 0;

 protected:
  ~CopyFacts() = default;
};

// Whether a module or process of the components stands for a registration
// that was only simulated.
class SimulationFacts {
 public:
  virtual bool Simulated(std::uintptr_t handle) const = 0;

 protected:
  ~SimulationFacts() = default;
};

}  // namespace setup
