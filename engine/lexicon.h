// The script's lexical layer: which command a line holds, and the small
// path helpers that respect double-byte characters. Arguments are cut by
// the command table (command_table.h).
#pragma once

namespace setup {

// ORDER: the numeric values index kCommandTable (command_table.cc), which
// holds each keyword; the interpreter's switch and the condition operators
// use them too.
enum CommandCode : int {
  kNoKeyword = 0,
  kEmptyLine = 1,
  kLabelLine = 2,
  kCommentLine = 3,
  kDefine = 4,
  kTextCopy = 5,
  kBinCopy = 6,
  kMakeDir = 7,
  kJapanCopy = 8,
  kEnglishCopy = 9,
  kDiskCheck = 10,
  kSetupDir = 11,
  kSetupDir2 = 12,
  kWindowTitle = 13,
  kIfFileVersion = 14,
  kIfProductVersion = 15,
  kMessageBox = 16,
  kMessage = 17,
  kGoto = 18,
  kOpEqual = 19,
  kOpLessEqual = 20,
  kOpLess = 21,
  kOpGreaterEqual = 22,
  kOpGreater = 23,
  kIfFileDate = 24,
  kErrorExit = 25,
  kIfFileFind = 26,
  kDefineRegistry = 27,
  kRegistry = 28,
  kRegsvr = 29,
  kIfString = 30,
  kIfRegistryFind = 31,
  kIfLanguage = 32,
  kSetRegistry = 33,
  kDeleteRegistry = 34,
};

// True for a space or a TAB.
inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Says which command text holds. For a keyword, *rest (when given) is set to
// the first byte after the keyword and its blanks; otherwise it is untouched.
CommandCode ClassifyLine(const char* text, char** rest);
inline CommandCode ClassifyLine(const char* text) { return ClassifyLine(text, nullptr); }

// Folds a..z to A..Z; every other byte is returned as it is.
unsigned char ToUpperAscii(unsigned char byte);

// The ANSI code page's lead bytes: is_lead[b] when b begins a double-byte
// character. The engine record holds the machine's table; the helpers below
// that step over characters take it as their first argument.
struct LeadBytes {
  bool is_lead[256] = {};
};
inline bool IsLeadByte(const LeadBytes& lead, unsigned char byte) { return lead.is_lead[byte]; }

// The last character of text (a double-byte one as lead*256+trail); 0 when
// empty. A lead byte cut off by the terminator counts as a character alone.
unsigned LastChar(const LeadBytes& lead, const char* text);
// True when the last character is a backslash or a slash.
bool EndsWithSeparator(const LeadBytes& lead, const char* text);
// Removes one final backslash or slash.
void DropTrailingSeparator(const LeadBytes& lead, char* text);
// Removes one final backslash, with the drive forms "C:" -> "C:." and
// "C:\" -> "C:". The buffer must hold at least four bytes.
void StripTrailingBackslash(const LeadBytes& lead, char* path);

// Splits path into its drive ("C:" when the second byte is a colon, else
// empty) and its folder part (up to and including the last backslash or
// slash, double-byte characters stepped over whole). drive holds at least 3
// bytes, folder size bytes; false when the folder part does not fit.
bool SplitDriveAndFolder(const LeadBytes& lead, const char* path, char* drive, char* folder,
                         unsigned size);

// Copies at most size-1 bytes of source into dest and terminates it, never
// cutting a double-byte character in two. True when all of source fitted.
bool CopyBounded(const LeadBytes& lead, char* dest, unsigned size, const char* source);

}  // namespace setup
