// The install record: after every run, the machine folder keeps a plain-text
// file of what the run changed, one file per run, in the folder installs:
//
//   <machine>/installs/2026-12-08T09-12-03 Hanami Notes 1.2 Setup.txt
//
// named by the time the record began (UTC) and the window title (path
// separators and control bytes made "_", cut to 60 bytes); a name already
// taken gets " (2)", " (3)", ... before ".txt". The file is UTF-8:
//
//   title    Hanami Notes 1.2 Setup
//   started  2026-12-08T09:12:03Z
//   machine  code page 932 (names below converted to UTF-8)
//
//   folder created          C:\Program Files\Hanami Notes
//   ...                     (the lines of change_record.h, in order)
//
//   result   completed | stopped | cancelled
//
// While the run goes on, the lines go to a hidden temporary in installs (the
// record would be lost in memory if the run stopped half-way); at the end,
// or when a signal interrupts the run, the result is added and the temporary
// is renamed to its name, so a record appears whole or not at all.
#pragma once

#include <string>

#include "platform/posix/change_record.h"
#include "platform/posix/code_page.h"

namespace setup::posix {

class InstallRecord : public ChangeSink {
 public:
  // folder: where records go (made when first needed); code_page: the one of
  // the lines and the title handed in.
  InstallRecord(std::string folder, unsigned code_page);
  ~InstallRecord() override;
  InstallRecord(const InstallRecord&) = delete;
  InstallRecord& operator=(const InstallRecord&) = delete;

  // Where the window title is read when the record begins (the engine's
  // settings; it is set once the script is loaded). Null: "Setup".
  void set_title(const char* title) { title_ = title; }

  // Appends a line; the first one begins the record.
  void Changed(const std::string& line) override;

  // Adds the result ("completed", "stopped", ...) and puts the record in
  // place (begun now when no change came). False with *error set when it
  // could not be written; once finished, later calls do nothing.
  bool Finish(const char* result, std::string* error);

  // The record's path once finished.
  const std::string& path() const { return path_; }

 private:
  bool Begin();

  std::string folder_;
  unsigned code_page_;
  Iconv to_utf8_;
  const char* title_ = nullptr;
  int fd_ = -1;
  bool finished_ = false;
  std::string temp_;
  std::string base_;  // the path without " (n)" and ".txt"
  std::string path_;
  int error_ = 0;  // errno of the first failure
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
