// The install record's file on the simulated machine: after every run, the
// machine folder keeps the record (record/install_record.h) of what the run
// changed, one file per run, in the folder installs:
//
//   <machine>/installs/2026-12-08T09-12-03 Hanami Notes 1.2 Setup.txt
//
// named by the time the record began (UTC) and the window title (path
// separators and control bytes made "_", cut to 60 bytes); a name already
// taken gets " (2)", " (3)", ... before ".txt". The file is UTF-8.
//
// While the run goes on, the lines go to a hidden temporary in installs (the
// record would be lost in memory if the run stopped half-way); at the end,
// or when a signal interrupts the run, the result is added and the temporary
// is renamed to its name, so a record appears whole or not at all.
//
// Also here: what the POSIX back ends tell the recording decorators.
#pragma once

#include <string>

#include "platform/posix/code_page.h"
#include "platform/posix/components_posix.h"
#include "platform/posix/file_system_posix.h"
#include "platform/record_output.h"

namespace setup::posix {

class RecordFile : public RecordOutput {
 public:
  // folder: where records go (made when first needed); code_page: the one of
  // the text handed in.
  RecordFile(std::string folder, unsigned code_page);
  // A record begun and never closed is put in place as stopped.
  ~RecordFile();
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;

  bool Open(const char* title, RecordStart* start) override;
  bool Write(const char* text, std::size_t length) override;
  bool Close(bool whole) override;

  // Why the record could not be written, after a failure.
  std::string ErrorText() const;
  // The record's path once closed.
  const std::string& path() const { return path_; }

 private:
  std::string folder_;
  unsigned code_page_;
  Iconv to_utf8_;
  // Writes the first length bytes of line_, whole lines.
  bool WriteLines(size_t length);

  int fd_ = -1;
  bool closed_ = false;
  std::string line_;    // text up to the end of its line, not yet written
  size_t written_ = 0;  // bytes in the file
  std::string temp_;
  std::string base_;  // the path without " (n)" and ".txt"
  std::string path_;
  int error_ = 0;  // errno of the first failure
};

// Copies as the POSIX file system made them: whether a file was replaced,
// and the size.
class PosixCopyFacts : public CopyFacts {
 public:
  explicit PosixCopyFacts(const PosixFileSystem& files) : files_(files) {}
  bool LastCopy(const char* dest, bool* replaced, unsigned long long* size) override;

 private:
  const PosixFileSystem& files_;
};

// Registrations the machine's components only simulated.
class MachineSimulationFacts : public SimulationFacts {
 public:
  explicit MachineSimulationFacts(const MachineComponents& components) : components_(components) {}
  bool Simulated(std::uintptr_t handle) const override { return components_.Simulated(handle); }

 private:
  const MachineComponents& components_;
};

// The folder of the records of the machine folder machine_root.
std::string RecordFolder(const std::string& machine_root);
// The path of the last record (in name order, so the latest begun) in the
// machine folder machine_root; "" when it holds none. A dry run's copy of a
// machine holds only the record of its own run.
std::string LatestRecord(const std::string& machine_root);

// Ends the record in progress, if any, with the result "cancelled" and puts
// it in place; async-signal-safe, for the interruption handler.
void FinishRecordOnInterruption();

}  // namespace setup::posix
