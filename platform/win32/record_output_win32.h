// The Win32 back end of RecordOutput: setup.exe's /LOG= file.
#pragma once

#include "platform/record_output.h"

namespace setup::win32 {

// The install record written to the file at path (the machine's ANSI code
// page, as the names are), made anew when the record begins and written as
// the run goes, so that a run that never ends leaves what it did. A record
// whose write failed is removed.
class LogFile : public RecordOutput {
 public:
  explicit LogFile(const char* path) : path_(path) {}

  bool Open(const char* title, RecordStart* start) override;
  bool Write(const char* text, std::size_t length) override;
  bool Close(bool whole) override;

 private:
  const char* path_;
  void* file_ = nullptr;  // the open file's handle
};

}  // namespace setup::win32
