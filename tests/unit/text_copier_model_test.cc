// The text copier against a plain model of its algorithm, byte by byte, over
// random bilingual texts: marks, comments, double-byte characters, macros,
// CR LF, Ctrl-Z, NUL bytes and lines longer than the buffers.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "actions/text_copier.h"
#include "engine/script_engine.h"
#include "tests/fakes/fake_file_system.h"
#include "tests/fakes/fake_system.h"
#include "tests/fakes/recording_ui.h"

namespace setup::testing {
namespace {

bool IsLead(unsigned b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// One token, one byte and one line at a time, as the algorithm is written.
class CopierModel {
 public:
  CopierModel(const MacroTable& table, std::string input, bool japanese)
      : table_(table), input_(std::move(input)), japanese_(japanese) {}

  // The output, or "<failed>" for a syntax error.
  std::string Run() {
    for (unsigned token = NextToken(); token != 0x1A; token = NextToken()) {
      if (token != 0x2F2A) {
        PutToken(token);
        continue;
      }
      unsigned first = NextToken();
      if (first == 0x2423) {
        if (!ReadBody(NextToken())) return "<failed>";
        if (japanese_) {
          drop_ = true;
        } else {
          WriteComment(true);
        }
      } else if (first == 0x2424) {
        if (!ReadBody(NextToken())) return "<failed>";
        PutString("$$");
        WriteComment(false);
      } else {
        if (!ReadBody(first)) return "<failed>";
        if (split_ != -1) {
          body_ = japanese_ ? body_.substr(0, split_) : body_.substr(split_);
          WriteComment(true);
        } else if (!japanese_ && double_byte_) {
          drop_ = true;
        } else {
          WriteComment(true);
        }
      }
    }
    Flush();
    return failed_ ? "<failed>" : output_;
  }

 private:
  // fgets in text mode: up to 4095 bytes, up to and with a line feed.
  bool ReadPiece(std::string* piece) {
    piece->clear();
    while (piece->size() < 4095 && read_ < input_.size()) {
      char c = input_[read_++];
      if (c == '\x1a') {
        read_ = input_.size();
        break;
      }
      if (c == '\r' && read_ < input_.size() && input_[read_] == '\n') c = input_[read_++];
      *piece += c;
      if (c == '\n') break;
    }
    return !piece->empty();
  }

  unsigned NextChar() {
    if (ended_) return 0x1A;
    while (line_pos_ >= line_.size()) {
      std::string piece;
      if (!ReadPiece(&piece)) {
        ended_ = true;
        return 0x1A;
      }
      char expanded[4096];
      if (!ExpandMacros(table_, piece.c_str(), expanded, sizeof expanded)) {
        failed_ = true;  // a line cut by its expansion stops the copy
        ended_ = true;
        return 0x1A;
      }
      line_ = expanded;
      line_pos_ = 0;
    }
    unsigned char c = static_cast<unsigned char>(line_[line_pos_]);
    if (c == 0x1A) {
      ended_ = true;
      return c;
    }
    ++line_pos_;
    return c;
  }

  unsigned NextToken() {
    unsigned c;
    if (look_ >= 0) {
      c = static_cast<unsigned>(look_);
      look_ = -1;
    } else {
      c = NextChar();
    }
    if (c == 0x1A) return 0x1A;
    auto mark = [&](unsigned second, unsigned token, unsigned second2, unsigned token2) {
      unsigned d = NextChar();
      if (d == second) return token;
      if (second2 != 0 && d == second2) return token2;
      look_ = static_cast<int>(d);
      return c;
    };
    if (c == '$') return mark('#', 0x2423, '$', 0x2424);
    if (c == '*') return mark('/', 0x2A2F, 0, 0);
    if (c == '/') return mark('*', 0x2F2A, 0, 0);
    if (IsLead(c)) return c * 256 + NextChar();
    return c;
  }

  bool ReadBody(unsigned token) {
    double_byte_ = false;
    split_ = -1;
    body_.clear();
    for (;; token = NextToken()) {
      if (token == 0x2A2F) return true;
      if (token == 0x1A) return false;
      if (token == 0x2423) {
        split_ = static_cast<int>(body_.size());
        continue;
      }
      if (IsLead(token >> 8)) double_byte_ = true;
      if (body_.size() > 4094) return false;
      if ((token >> 8) != 0) body_ += static_cast<char>(token >> 8);
      body_ += static_cast<char>(token & 0xFF);
    }
  }

  void Flush() {
    if (drop_ && line_out_.find_first_not_of(" \t\r\n") == std::string::npos) line_out_.clear();
    drop_ = false;
    output_ += line_out_;
    line_out_.clear();
  }
  void PutChar(char c) {
    if (line_out_.size() >= 4096) Flush();
    if (c == '\n') {
      if (line_out_.size() > 4094) Flush();
      line_out_ += "\r\n";
      Flush();
      return;
    }
    line_out_ += c;
  }
  void PutToken(unsigned token) {
    if ((token >> 8) != 0) PutChar(static_cast<char>(token >> 8));
    PutChar(static_cast<char>(token & 0xFF));
  }
  void PutString(const char* text) {
    for (; *text != '\0'; ++text) PutChar(*text);
  }
  void WriteComment(bool with_marks) {
    if (with_marks) PutString("/*");
    Flush();
    output_ += body_;
    if (with_marks) PutString("*/");
  }

  const MacroTable& table_;
  std::string input_;
  bool japanese_;
  size_t read_ = 0;
  bool ended_ = false;
  std::string line_;
  size_t line_pos_ = 0;
  int look_ = -1;
  std::string line_out_, output_, body_;
  bool drop_ = false, double_byte_ = false, failed_ = false;
  int split_ = -1;
};

// Texts rich in the bytes the copier treats specially.
std::string RandomText(std::mt19937& random, size_t length) {
  static const char* const kPieces[] = {
      "/*",       "*/",           "$#",     "$$",    "/",     "*",     "$",
      " ",        "\t",           "\n",     "\r\n",  "\r",    "a",     "word ",
      "\x82\xa0", "\x95\x5c",     "\x82\n", "\x82*", "\x82/", "\x82$", "\xb6",
      "$$M$$",    "$$LONGNAME$$", "$#$$",   "/*$#",  "/*$$",  "\x1a",  "<NUL>",
      "\xe0\x40"};
  std::string text;
  while (text.size() < length) {
    size_t pick = random() % (sizeof kPieces / sizeof kPieces[0]);
    // Ctrl-Z and NUL rarely, so that most texts run to their end.
    if ((pick == 26 || pick == 27) && random() % 8 != 0) continue;
    text += pick == 27 ? std::string(1, '\0') : std::string(kPieces[pick]);  // "<NUL>": a zero byte
  }
  return text;
}

class TextCopierModelTest : public ::testing::Test {
 protected:
  TextCopierModelTest() {
    files.AddFolder("C:\\OUT");
    DefineMacro(engine->macros, "$$M$$", "/* from a macro $# macro */");
    DefineMacro(engine->macros, "$$LONGNAME$$", "\x82\xa0$$");
    DefineMacro(engine->macros, "$#$", "[split]");
  }

  std::string Copy(const std::string& text, LanguageMode selection) {
    files.AddFile("D:\\IN.TXT", text);
    char line[] = "D:\\IN.TXT C:\\OUT\\OUT.TXT";
    if (!TextCopyCommand(*engine, line, selection)) return "<failed>";
    return files.Contents("C:\\OUT\\OUT.TXT");
  }

  FakeSystem system;
  FakeFileSystem files;
  RecordingUi ui;
  Platform platform{&system, &files, nullptr, nullptr, nullptr};
  std::unique_ptr<ScriptEngine> engine = std::make_unique<ScriptEngine>(platform, ui);
};

TEST_F(TextCopierModelTest, CopiesAsTheModelDoes) {
  std::mt19937 random(8122026);
  for (int round = 0; round < 4000; ++round) {
    // Mostly short texts; some with lines past the 4096-byte buffers.
    size_t length = round % 50 == 0 ? 4000 + random() % 9000 : random() % 300;
    std::string text = RandomText(random, length);
    if (round % 50 == 1) text.insert(0, std::string(4090 + random() % 20, 'x'));
    for (LanguageMode selection : {kJapanese, kEnglish}) {
      std::string expected = CopierModel(engine->macros, text, selection == kJapanese).Run();
      ASSERT_EQ(Copy(text, selection), expected)
          << "round " << round << (selection == kJapanese ? " Japanese" : " English");
    }
  }
}

}  // namespace
}  // namespace setup::testing
