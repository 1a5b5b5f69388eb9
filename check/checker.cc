// The medium check: the script's bytes, then every stored line as the
// interpreter would read it, then the Goto targets. Nothing here runs a
// command; the text copier runs into a sink to find its syntax errors.
#include "check/checker.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "actions/text_copier.h"
#include "engine/conditions.h"
#include "engine/registry_access.h"
#include "platform/shift_jis.h"

namespace setup {
namespace {

// ---- texts ----

// ORDER: kTexts below follows this enum.
enum Message : int {
  kTxtBom,
  kTxtUtf16,
  kTxtUtf8,
  kTxtNotShiftJis,
  kTxtLoneCr,
  kTxtNul,
  kTxtCtrlZ,
  kTxtCantOpen,
  kTxtNotLoaded,
  kTxtLineTooLong,
  kTxtExpansionTooLong,
  kTxtExpansionTooLongLongFolder,
  kTxtUnknown,
  kTxtUnknownSuggest,
  kTxtGlued,
  kTxtOperatorLine,
  kTxtRegistryLine,
  kTxtForeignComment,
  kTxtNoQuote,
  kTxtNoBlank,
  kTxtMissing,
  kTxtGotoNoLabel,
  kTxtLabelTooLong,
  kTxtLabelNotFound,
  kTxtLabelOnlyAbove,
  kTxtLabelCase,
  kTxtLabelNoName,
  kTxtLabelTwice,
  kTxtMacroBeforeDefine,
  kTxtMacroUndefined,
  kTxtMacroUndefinedSuggest,
  kTxtMacroTrailingBlank,
  kTxtMacroRedefined,
  kTxtMacroPlainName,
  kTxtMacroTooLong,
  kTxtTooManyMacros,
  kTxtMacroLongFolder,
  kTxtDialogMacro,
  kTxtFolderTooLong,
  kTxtNotOnMedium,
  kTxtDiskNotOnMedium,
  kTxtTestFileNotOnMedium,
  kTxtCommentNotClosed,
  kTxtCommentTooLong,
  kTxtCopyLineTooLong,
  kTxtQuotedDestination,
  kTxtDestinationBlanks,
  kTxtNoOperator,
  kTxtGluedOperator,
  kTxtSenseInverts,
  kTxtLanguageId,
  kTxtRegistryRoot,
  kTxtMessageBoxWord,
  kTxtTooManyLabels,
};

struct Text {
  const char* english;
  const char* japanese;  // Shift-JIS
};

const Text kTexts[] = {
    // スクリプトが UTF-8 の BOM で始まっています。BOM なしの Shift-JIS で保存してください
    {"the script begins with a UTF-8 byte order mark; save it as Shift-JIS without one",
     "\x83X\x83N\x83\x8A\x83v\x83g\x82\xAA UTF-8 \x82\xCC BOM \x82\xC5\x8En\x82\xDC\x82\xC1\x82"
     "\xC4\x82\xA2\x82\xDC\x82\xB7\x81"
     "BBOM \x82\xC8\x82\xB5\x82\xCC Shift-JIS \x82\xC5\x95"
     "\xDB\x91\xB6\x82\xB5\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2"},
    // スクリプトが UTF-16 です。Shift-JIS で保存してください
    {"the script is UTF-16 text; save it as Shift-JIS",
     "\x83X\x83N\x83\x8A\x83v\x83g\x82\xAA UTF-16 \x82\xC5\x82\xB7\x81"
     "BShift-JIS \x82\xC5"
     "\x95\xDB\x91\xB6\x82\xB5\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2"},
    // スクリプトが UTF-8 のようです。Shift-JIS で保存してください
    {"the script looks like UTF-8 text; save it as Shift-JIS",
     "\x83X\x83N\x83\x8A\x83v\x83g\x82\xAA UTF-8 \x82\xCC\x82\xE6\x82\xA4\x82\xC5\x82\xB7\x81"
     "B"
     "Shift-JIS \x82\xC5\x95\xDB\x91\xB6\x82\xB5\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2"},
    // バイト 0x%02X は Shift-JIS の文字ではありません
    {"byte 0x%02X is not Shift-JIS text",
     "\x83o\x83"
     "C\x83g 0x%02X \x82\xCD Shift-JIS \x82\xCC\x95\xB6\x8E\x9A\x82\xC5\x82\xCD\x82"
     "\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1"},
    // LF のない CR: 行はここで終わらず、次の行に続きます
    {"CR without LF: the line does not end here but runs on into the next",
     "LF \x82\xCC\x82\xC8\x82\xA2 CR: \x8Ds\x82\xCD\x82\xB1\x82\xB1\x82\xC5\x8FI\x82\xED\x82"
     "\xE7\x82\xB8\x81"
     "A\x8E\x9F\x82\xCC\x8Ds\x82\xC9\x91\xB1\x82\xAB\x82\xDC\x82\xB7"},
    // NUL バイト: 行の残りは無視されます
    {"NUL byte: the rest of the line is ignored",
     "NUL \x83o\x83"
     "C\x83g: \x8Ds\x82\xCC\x8E"
     "c\x82\xE8\x82\xCD\x96\xB3\x8E\x8B\x82\xB3\x82"
     "\xEA\x82\xDC\x82\xB7"},
    // Ctrl-Z でスクリプトが終わり、その後ろは無視されます
    {"Ctrl-Z ends the script here; what follows it is ignored",
     "Ctrl-Z \x82\xC5\x83X\x83N\x83\x8A\x83v\x83g\x82\xAA\x8FI\x82\xED\x82\xE8\x81"
     "A\x82\xBB"
     "\x82\xCC\x8C\xE3\x82\xEB\x82\xCD\x96\xB3\x8E\x8B\x82\xB3\x82\xEA\x82\xDC\x82\xB7"},
    // スクリプトを開けません
    {"the script cannot be opened",
     "\x83X\x83N\x83\x8A\x83v\x83g\x82\xF0\x8AJ\x82\xAF\x82\xDC\x82\xB9\x82\xF1"},
    // スクリプトを読み込めません: %s
    {"the script does not load: %s",
     "\x83X\x83N\x83\x8A\x83v\x83g\x82\xF0\x93\xC7\x82\xDD\x8D\x9E\x82\xDF\x82\xDC\x82\xB9\x82"
     "\xF1: %s"},
    // 行が %d バイトを超えています
    {"the line is longer than %d bytes",
     "\x8Ds\x82\xAA %d \x83o\x83"
     "C\x83g\x82\xF0\x92\xB4\x82\xA6\x82\xC4\x82\xA2\x82\xDC\x82"
     "\xB7"},
    // マクロ展開後の行が %d バイトを超えています
    {"the line is longer than %d bytes after macro expansion",
     "\x83}\x83N\x83\x8D\x93W\x8AJ\x8C\xE3\x82\xCC\x8Ds\x82\xAA %d \x83o\x83"
     "C\x83g\x82\xF0"
     "\x92\xB4\x82\xA6\x82\xC4\x82\xA2\x82\xDC\x82\xB7"},
    // マクロ展開後の行が %d バイトを超えます (セットアップフォルダーが %d バイトのとき)
    {"the line is longer than %d bytes after macro expansion when a setup folder is %d bytes long",
     "\x83}\x83N\x83\x8D\x93W\x8AJ\x8C\xE3\x82\xCC\x8Ds\x82\xAA %d \x83o\x83"
     "C\x83g\x82\xF0"
     "\x92\xB4\x82\xA6\x82\xDC\x82\xB7 (\x83Z\x83"
     "b\x83g\x83"
     "A\x83"
     "b\x83v\x83t\x83H\x83"
     "\x8B\x83_\x81[\x82\xAA %d \x83o\x83"
     "C\x83g\x82\xCC\x82\xC6\x82\xAB)"},
    // 不明なコマンド '%s'
    {"unknown command '%s'", "\x95s\x96\xBE\x82\xC8\x83R\x83}\x83\x93\x83h '%s'"},
    // 不明なコマンド '%s' です。'%s' のことですか?
    {"unknown command '%s'; did you mean '%s'?",
     "\x95s\x96\xBE\x82\xC8\x83R\x83}\x83\x93\x83h '%s' \x82\xC5\x82\xB7\x81"
     "B'%s' \x82\xCC"
     "\x82\xB1\x82\xC6\x82\xC5\x82\xB7\x82\xA9?"},
    // '%s' の後ろには空白が必要です
    {"'%s' must be followed by a blank",
     "'%s' \x82\xCC\x8C\xE3\x82\xEB\x82\xC9\x82\xCD\x8B\xF3\x94\x92\x82\xAA\x95K\x97v\x82\xC5"
     "\x82\xB7"},
    // 演算子 '%s' は If コマンドの中でしか使えません
    {"the operator '%s' stands only inside an If-command",
     "\x89\x89\x8EZ\x8Eq '%s' \x82\xCD If \x83R\x83}\x83\x93\x83h\x82\xCC\x92\x86\x82\xC5\x82"
     "\xB5\x82\xA9\x8Eg\x82\xA6\x82\xDC\x82\xB9\x82\xF1"},
    // 'Registry' は SetupDir と SetupDir2 の中でしか使えません
    {"'Registry' stands only inside SetupDir and SetupDir2",
     "'Registry' \x82\xCD SetupDir \x82\xC6 SetupDir2 \x82\xCC\x92\x86\x82\xC5\x82\xB5\x82\xA9"
     "\x8Eg\x82\xA6\x82\xDC\x82\xB9\x82\xF1"},
    // '%s' ではコメントになりません。コメント行は ' で始めます
    {"'%s' does not start a comment; a comment line begins with '",
     "'%s' \x82\xC5\x82\xCD\x83R\x83\x81\x83\x93\x83g\x82\xC9\x82\xC8\x82\xE8\x82\xDC\x82\xB9"
     "\x82\xF1\x81"
     "B\x83R\x83\x81\x83\x93\x83g\x8Ds\x82\xCD ' \x82\xC5\x8En\x82\xDF\x82\xDC"
     "\x82\xB7"},
    // 引用符で囲んだ%sが閉じていません
    {"the quoted %s has no closing quote",
     "\x88\xF8\x97p\x95\x84\x82\xC5\x88\xCD\x82\xF1\x82\xBE%s\x82\xAA\x95\xC2\x82\xB6\x82\xC4"
     "\x82\xA2\x82\xDC\x82\xB9\x82\xF1"},
    // %s '%s' は引用符で囲むか、後ろに空白が必要です
    {"the %s '%s' must be quoted or followed by a blank",
     "%s '%s' \x82\xCD\x88\xF8\x97p\x95\x84\x82\xC5\x88\xCD\x82\xDE\x82\xA9\x81"
     "A\x8C\xE3\x82"
     "\xEB\x82\xC9\x8B\xF3\x94\x92\x82\xAA\x95K\x97v\x82\xC5\x82\xB7"},
    // %sがありません
    {"the %s is missing", "%s\x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1"},
    // Goto にラベルがありません
    {"Goto without a label",
     "Goto \x82\xC9\x83\x89\x83x\x83\x8B\x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1"},
    // ラベルが %d バイトを超えています
    {"the label is longer than %d bytes",
     "\x83\x89\x83x\x83\x8B\x82\xAA %d \x83o\x83"
     "C\x83g\x82\xF0\x92\xB4\x82\xA6\x82\xC4\x82"
     "\xA2\x82\xDC\x82\xB7"},
    // ラベル '%s' がこの行より下にありません
    {"label '%s' is not found below this line",
     "\x83\x89\x83x\x83\x8B '%s' \x82\xAA\x82\xB1\x82\xCC\x8Ds\x82\xE6\x82\xE8\x89\xBA\x82\xC9"
     "\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1"},
    // ラベル '%s' はこの行より上 (%d 行目) にしかありません。Goto は下にしか進みません
    {"label '%s' is only above this line (line %d); Goto searches forward only",
     "\x83\x89\x83x\x83\x8B '%s' \x82\xCD\x82\xB1\x82\xCC\x8Ds\x82\xE6\x82\xE8\x8F\xE3 (%d \x8D"
     "s\x96\xDA) \x82\xC9\x82\xB5\x82\xA9\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81"
     "BGoto "
     "\x82\xCD\x89\xBA\x82\xC9\x82\xB5\x82\xA9\x90i\x82\xDD\x82\xDC\x82\xB9\x82\xF1"},
    // ラベル '%s' がこの行より下にありません。'%s' のことですか?
    {"label '%s' is not found below this line; did you mean '%s'?",
     "\x83\x89\x83x\x83\x8B '%s' \x82\xAA\x82\xB1\x82\xCC\x8Ds\x82\xE6\x82\xE8\x89\xBA\x82\xC9"
     "\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81"
     "B'%s' \x82\xCC\x82\xB1\x82\xC6\x82\xC5\x82"
     "\xB7\x82\xA9?"},
    // ラベル行にはコロンのすぐ後ろに名前が必要です
    {"a label line needs a name right behind the colon",
     "\x83\x89\x83x\x83\x8B\x8Ds\x82\xC9\x82\xCD\x83R\x83\x8D\x83\x93\x82\xCC\x82\xB7\x82\xAE"
     "\x8C\xE3\x82\xEB\x82\xC9\x96\xBC\x91O\x82\xAA\x95K\x97v\x82\xC5\x82\xB7"},
    // ラベル '%s' が二度あります (最初は %d 行目)。Goto は下にある最初のものに進みます
    {"label '%s' is defined twice (first on line %d); a Goto finds the first one below it",
     "\x83\x89\x83x\x83\x8B '%s' \x82\xAA\x93\xF1\x93x\x82\xA0\x82\xE8\x82\xDC\x82\xB7 (\x8D"
     "\xC5\x8F\x89\x82\xCD %d \x8Ds\x96\xDA)\x81"
     "BGoto \x82\xCD\x89\xBA\x82\xC9\x82\xA0\x82"
     "\xE9\x8D\xC5\x8F\x89\x82\xCC\x82\xE0\x82\xCC\x82\xC9\x90i\x82\xDD\x82\xDC\x82\xB7"},
    // マクロ '%s' が %d 行目の #define より前で使われています
    {"macro '%s' is used before its #define on line %d",
     "\x83}\x83N\x83\x8D '%s' \x82\xAA %d \x8Ds\x96\xDA\x82\xCC #define \x82\xE6\x82\xE8\x91O"
     "\x82\xC5\x8Eg\x82\xED\x82\xEA\x82\xC4\x82\xA2\x82\xDC\x82\xB7"},
    // マクロ '%s' はどこにも定義されていません
    {"macro '%s' is never defined",
     "\x83}\x83N\x83\x8D '%s' \x82\xCD\x82\xC7\x82\xB1\x82\xC9\x82\xE0\x92\xE8\x8B`\x82\xB3\x82"
     "\xEA\x82\xC4\x82\xA2\x82\xDC\x82\xB9\x82\xF1"},
    // マクロ '%s' はどこにも定義されていません。'%s' のことですか?
    {"macro '%s' is never defined; did you mean '%s'?",
     "\x83}\x83N\x83\x8D '%s' \x82\xCD\x82\xC7\x82\xB1\x82\xC9\x82\xE0\x92\xE8\x8B`\x82\xB3\x82"
     "\xEA\x82\xC4\x82\xA2\x82\xDC\x82\xB9\x82\xF1\x81"
     "B'%s' \x82\xCC\x82\xB1\x82\xC6\x82\xC5"
     "\x82\xB7\x82\xA9?"},
    // '%s' の値が空白で終わっており、空白も値に含まれます
    {"the value of '%s' ends in blanks, which become part of it",
     "'%s' \x82\xCC\x92l\x82\xAA\x8B\xF3\x94\x92\x82\xC5\x8FI\x82\xED\x82\xC1\x82\xC4\x82\xA8"
     "\x82\xE8\x81"
     "A\x8B\xF3\x94\x92\x82\xE0\x92l\x82\xC9\x8A\xDC\x82\xDC\x82\xEA\x82\xDC\x82"
     "\xB7"},
    // '%s' は定義済みです。この行は代わりに '%s' という名前のマクロを定義します
    {"'%s' is already defined: this line defines a macro named '%s' instead",
     "'%s' \x82\xCD\x92\xE8\x8B`\x8D\xCF\x82\xDD\x82\xC5\x82\xB7\x81"
     "B\x82\xB1\x82\xCC\x8Ds"
     "\x82\xCD\x91\xE3\x82\xED\x82\xE8\x82\xC9 '%s' \x82\xC6\x82\xA2\x82\xA4\x96\xBC\x91O\x82"
     "\xCC\x83}\x83N\x83\x8D\x82\xF0\x92\xE8\x8B`\x82\xB5\x82\xDC\x82\xB7"},
    // マクロ名 '%s' はどこに現れても置換されます。名前は $$NAME$$ の形にしてください
    {"macro name '%s' is replaced wherever it occurs; write names as $$NAME$$",
     "\x83}\x83N\x83\x8D\x96\xBC '%s' \x82\xCD\x82\xC7\x82\xB1\x82\xC9\x8C\xBB\x82\xEA\x82\xC4"
     "\x82\xE0\x92u\x8A\xB7\x82\xB3\x82\xEA\x82\xDC\x82\xB7\x81"
     "B\x96\xBC\x91O\x82\xCD $$NAME"
     "$$ \x82\xCC\x8C`\x82\xC9\x82\xB5\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2"},
    // マクロの名前か値が %d バイトを超えています
    {"a macro name or value is longer than %d bytes",
     "\x83}\x83N\x83\x8D\x82\xCC\x96\xBC\x91O\x82\xA9\x92l\x82\xAA %d \x83o\x83"
     "C\x83g\x82"
     "\xF0\x92\xB4\x82\xA6\x82\xC4\x82\xA2\x82\xDC\x82\xB7"},
    // マクロが組み込みのものを含めて %d 個を超えています
    {"more than %d macros, built-in ones included",
     "\x83}\x83N\x83\x8D\x82\xAA\x91g\x82\xDD\x8D\x9E\x82\xDD\x82\xCC\x82\xE0\x82\xCC\x82\xF0"
     "\x8A\xDC\x82\xDF\x82\xC4 %d \x8C\xC2\x82\xF0\x92\xB4\x82\xA6\x82\xC4\x82\xA2\x82\xDC\x82"
     "\xB7"},
    // '%s' の値が %d バイトを超えます (セットアップフォルダーが %d バイトのとき)
    {"the value of '%s' is longer than %d bytes when a setup folder is %d bytes long",
     "'%s' \x82\xCC\x92l\x82\xAA %d \x83o\x83"
     "C\x83g\x82\xF0\x92\xB4\x82\xA6\x82\xDC\x82\xB7 "
     "(\x83Z\x83"
     "b\x83g\x83"
     "A\x83"
     "b\x83v\x83t\x83H\x83\x8B\x83_\x81[\x82\xAA %d \x83o\x83"
     "C\x83g\x82\xCC\x82\xC6\x82\xAB)"},
    // '%s' はここでは置換されません。セットアップダイアログの前には $$WINDOWS$$、$$SYSTEM$$、$$FD$$
    // しかなく、置換されるのもフォルダーの中だけです
    {"'%s' is not replaced here: only $$WINDOWS$$, $$SYSTEM$$ and $$FD$$ exist before the setup "
     "dialog, and only in its folders",
     "'%s' \x82\xCD\x82\xB1\x82\xB1\x82\xC5\x82\xCD\x92u\x8A\xB7\x82\xB3\x82\xEA\x82\xDC\x82"
     "\xB9\x82\xF1\x81"
     "B\x83Z\x83"
     "b\x83g\x83"
     "A\x83"
     "b\x83v\x83_\x83"
     "C\x83"
     "A\x83\x8D"
     "\x83O\x82\xCC\x91O\x82\xC9\x82\xCD $$WINDOWS$$\x81"
     "A$$SYSTEM$$\x81"
     "A$$FD$$ \x82\xB5"
     "\x82\xA9\x82\xC8\x82\xAD\x81"
     "A\x92u\x8A\xB7\x82\xB3\x82\xEA\x82\xE9\x82\xCC\x82\xE0\x83"
     "t\x83H\x83\x8B\x83_\x81[\x82\xCC\x92\x86\x82\xBE\x82\xAF\x82\xC5\x82\xB7"},
    // マクロ展開後のフォルダーが %d バイトを超えています
    {"the folder is longer than %d bytes after macro expansion",
     "\x83}\x83N\x83\x8D\x93W\x8AJ\x8C\xE3\x82\xCC\x83t\x83H\x83\x8B\x83_\x81[\x82\xAA %d \x83o"
     "\x83"
     "C\x83g\x82\xF0\x92\xB4\x82\xA6\x82\xC4\x82\xA2\x82\xDC\x82\xB7"},
    // '%s' がメディアにありません
    {"'%s' is not on the medium",
     "'%s' \x82\xAA\x83\x81\x83"
     "f\x83"
     "B\x83"
     "A\x82\xC9\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82"
     "\xF1"},
    // '%s' がメディアにありません (別のディスクにあるのかもしれません)
    {"'%s' is not on the medium (it may be on another disk)",
     "'%s' \x82\xAA\x83\x81\x83"
     "f\x83"
     "B\x83"
     "A\x82\xC9\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82"
     "\xF1 (\x95\xCA\x82\xCC\x83"
     "f\x83"
     "B\x83X\x83N\x82\xC9\x82\xA0\x82\xE9\x82\xCC\x82\xA9"
     "\x82\xE0\x82\xB5\x82\xEA\x82\xDC\x82\xB9\x82\xF1)"},
    // '%s' がメディアにありません。テストは偽になります
    {"'%s' is not on the medium: the test is false",
     "'%s' \x82\xAA\x83\x81\x83"
     "f\x83"
     "B\x83"
     "A\x82\xC9\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82"
     "\xF1\x81"
     "B\x83"
     "e\x83X\x83g\x82\xCD\x8BU\x82\xC9\x82\xC8\x82\xE8\x82\xDC\x82\xB7"},
    // /* */ 構文エラー: コメントが閉じていません
    {"/* */ syntax error: a comment is not closed",
     "/* */ \x8D\\\x95\xB6\x83G\x83\x89\x81[: \x83R\x83\x81\x83\x93\x83g\x82\xAA\x95\xC2\x82"
     "\xB6\x82\xC4\x82\xA2\x82\xDC\x82\xB9\x82\xF1"},
    // /* */ 構文エラー: コメントが %d バイトを超えています
    {"/* */ syntax error: a comment is longer than %d bytes",
     "/* */ \x8D\\\x95\xB6\x83G\x83\x89\x81[: \x83R\x83\x81\x83\x93\x83g\x82\xAA %d \x83o\x83"
     "C"
     "\x83g\x82\xF0\x92\xB4\x82\xA6\x82\xC4\x82\xA2\x82\xDC\x82\xB7"},
    // マクロ展開後の行が %d バイトを超えています
    {"the line is longer than %d bytes after macro expansion",
     "\x83}\x83N\x83\x8D\x93W\x8AJ\x8C\xE3\x82\xCC\x8Ds\x82\xAA %d \x83o\x83"
     "C\x83g\x82\xF0"
     "\x92\xB4\x82\xA6\x82\xC4\x82\xA2\x82\xDC\x82\xB7"},
    // コピー先は引用符も含めて書いたとおりに使われます。引用符なしで書いてください
    {"the destination is taken as written, quotes included; write it without quotes",
     "\x83R\x83s\x81[\x90\xE6\x82\xCD\x88\xF8\x97p\x95\x84\x82\xE0\x8A\xDC\x82\xDF\x82\xC4\x8F"
     "\x91\x82\xA2\x82\xBD\x82\xC6\x82\xA8\x82\xE8\x82\xC9\x8Eg\x82\xED\x82\xEA\x82\xDC\x82\xB7"
     "\x81"
     "B\x88\xF8\x97p\x95\x84\x82\xC8\x82\xB5\x82\xC5\x8F\x91\x82\xA2\x82\xC4\x82\xAD\x82"
     "\xBE\x82\xB3\x82\xA2"},
    // コピー先が空白で終わっており、空白もファイル名に含まれます
    {"the destination ends in blanks, which become part of the file name",
     "\x83R\x83s\x81[\x90\xE6\x82\xAA\x8B\xF3\x94\x92\x82\xC5\x8FI\x82\xED\x82\xC1\x82\xC4\x82"
     "\xA8\x82\xE8\x81"
     "A\x8B\xF3\x94\x92\x82\xE0\x83t\x83@\x83"
     "C\x83\x8B\x96\xBC\x82\xC9"
     "\x8A\xDC\x82\xDC\x82\xEA\x82\xDC\x82\xB7"},
    // 演算子がないと、このテストは常に偽です
    {"without an operator the test is always false",
     "\x89\x89\x8EZ\x8Eq\x82\xAA\x82\xC8\x82\xA2\x82\xC6\x81"
     "A\x82\xB1\x82\xCC\x83"
     "e\x83X"
     "\x83g\x82\xCD\x8F\xED\x82\xC9\x8BU\x82\xC5\x82\xB7"},
    // '%s' は演算子ではありません。演算子の後ろには空白が必要です
    {"'%s' is no operator: an operator must be followed by a blank",
     "'%s' \x82\xCD\x89\x89\x8EZ\x8Eq\x82\xC5\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1"
     "\x81"
     "B\x89\x89\x8EZ\x8Eq\x82\xCC\x8C\xE3\x82\xEB\x82\xC9\x82\xCD\x8B\xF3\x94\x92\x82"
     "\xAA\x95K\x97v\x82\xC5\x82\xB7"},
    // 判定語 '%s' は E で始まるため、テストを反転します
    {"the sense word '%s' begins with E and so inverts the test",
     "\x94\xBB\x92\xE8\x8C\xEA '%s' \x82\xCD E \x82\xC5\x8En\x82\xDC\x82\xE9\x82\xBD\x82\xDF"
     "\x81"
     "A\x83"
     "e\x83X\x83g\x82\xF0\x94\xBD\x93]\x82\xB5\x82\xDC\x82\xB7"},
    // IfLanguage には主言語番号 (17 または 0x11) を書きます。'%s' ではありません
    {"IfLanguage takes a primary language number (17 or 0x11), not '%s'",
     "IfLanguage \x82\xC9\x82\xCD\x8E\xE5\x8C\xBE\x8C\xEA\x94\xD4\x8D\x86 (17 \x82\xDC\x82\xBD"
     "\x82\xCD 0x11) \x82\xF0\x8F\x91\x82\xAB\x82\xDC\x82\xB7\x81"
     "B'%s' \x82\xC5\x82\xCD\x82"
     "\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1"},
    // '%s' は HKEY_CLASSES_ROOT\、HKEY_CURRENT_USER\、HKEY_LOCAL_MACHINE\、HKEY_USERS\、
    // HKEY_CURRENT_CONFIG\ のどれでも始まっていません
    {"'%s' does not begin with HKEY_CLASSES_ROOT\\, HKEY_CURRENT_USER\\, HKEY_LOCAL_MACHINE\\, "
     "HKEY_USERS\\ or HKEY_CURRENT_CONFIG\\",
     "'%s' \x82\xCD HKEY_CLASSES_ROOT\\\x81"
     "AHKEY_CURRENT_USER\\\x81"
     "AHKEY_LOCAL_MACHINE\\"
     "\x81"
     "AHKEY_USERS\\\x81"
     "AHKEY_CURRENT_CONFIG\\ \x82\xCC\x82\xC7\x82\xEA\x82\xC5\x82"
     "\xE0\x8En\x82\xDC\x82\xC1\x82\xC4\x82\xA2\x82\xDC\x82\xB9\x82\xF1"},
    // 引用符で囲まない MessageBox のテキストは最初の語しか表示されません
    {"only the first word of an unquoted MessageBox text is shown",
     "\x88\xF8\x97p\x95\x84\x82\xC5\x88\xCD\x82\xDC\x82\xC8\x82\xA2 MessageBox \x82\xCC\x83"
     "e"
     "\x83L\x83X\x83g\x82\xCD\x8D\xC5\x8F\x89\x82\xCC\x8C\xEA\x82\xB5\x82\xA9\x95\\\x8E\xA6\x82"
     "\xB3\x82\xEA\x82\xDC\x82\xB9\x82\xF1"},
    // ラベルか Goto 行が多すぎて、すべては検査できません
    {"too many labels or Goto lines to check them all",
     "\x83\x89\x83x\x83\x8B\x82\xA9 Goto \x8Ds\x82\xAA\x91\xBD\x82\xB7\x82\xAC\x82\xC4\x81"
     "A"
     "\x82\xB7\x82\xD7\x82\xC4\x82\xCD\x8C\x9F\x8D\xB8\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1"},
};
static_assert(sizeof kTexts / sizeof kTexts[0] == kTxtTooManyLabels + 1, "one text per message");

// The names of arguments in the messages. ORDER: ArgName, up to kOperator.
const Text kArguments[] = {
    // コピー元
    {"source", "\x83R\x83s\x81[\x8C\xB3"},
    // コピー先
    {"destination", "\x83R\x83s\x81[\x90\xE6"},
    // フォルダー
    {"folder", "\x83t\x83H\x83\x8B\x83_\x81["},
    // ファイル
    {"file",
     "\x83t\x83@\x83"
     "C\x83\x8B"},
    // レジストリパス
    {"registry path", "\x83\x8C\x83W\x83X\x83g\x83\x8A\x83p\x83X"},
    // データ
    {"data",
     "\x83"
     "f\x81[\x83^"},
    // マクロ名
    {"macro name", "\x83}\x83N\x83\x8D\x96\xBC"},
    // 判定語
    {"sense word", "\x94\xBB\x92\xE8\x8C\xEA"},
    // 第1引数
    {"first argument",
     "\x91\xE6"
     "1\x88\xF8\x90\x94"},
    // 第2引数
    {"second argument",
     "\x91\xE6"
     "2\x88\xF8\x90\x94"},
    // コンポーネント
    {"component", "\x83R\x83\x93\x83|\x81[\x83l\x83\x93\x83g"},
    // 演算子
    {"operator", "\x89\x89\x8EZ\x8Eq"},
};
static_assert(sizeof kArguments / sizeof kArguments[0] == static_cast<int>(ArgName::kOperator) + 1,
              "one name per argument a message names");

const char* Pick(const Text& text, bool japanese) {
  return japanese ? text.japanese : text.english;
}

constexpr int kQuoteSize = 64;  // script text quoted in a message, cut to fit

// A copy of text short enough to quote, cut between characters.
void Quote(const char* text, char* out) {
  if (!CopyBounded(LeadBytes{}, out, kQuoteSize, text)) {
    // Cut again three bytes earlier, whole characters only, for the dots.
    LeadBytes lead;
    for (int b = 0; b < 256; ++b)
      lead.is_lead[b] = IsShiftJisLeadByte(static_cast<unsigned char>(b));
    CopyBounded(lead, out, kQuoteSize - 3, text);
    std::strcat(out, "...");
  }
}

// ---- the text of a line ----

// The first word of text (up to a blank), at most size-1 bytes.
void FirstWord(const char* text, char* word, int size) {
  int n = 0;
  while (text[n] != '\0' && !IsBlank(text[n]) && n < size - 1) {
    word[n] = text[n];
    ++n;
  }
  word[n] = '\0';
}

bool EqualNoCase(const char* a, const char* b) {
  while (*a != '\0' && ToUpperAscii(static_cast<unsigned char>(*a)) ==
                           ToUpperAscii(static_cast<unsigned char>(*b))) {
    ++a;
    ++b;
  }
  return *a == '\0' && *b == '\0';
}

// The edit distance of two short words, letters compared without case,
// neighbours swapped counting as one edit; 99 for words longer than 32.
int Distance(const char* a, const char* b) {
  constexpr int kMax = 32;
  int n = static_cast<int>(std::strlen(a));
  int m = static_cast<int>(std::strlen(b));
  if (n > kMax || m > kMax) return 99;
  int d[kMax + 1][kMax + 1];
  for (int i = 0; i <= n; ++i) d[i][0] = i;
  for (int j = 0; j <= m; ++j) d[0][j] = j;
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= m; ++j) {
      unsigned char x = ToUpperAscii(static_cast<unsigned char>(a[i - 1]));
      unsigned char y = ToUpperAscii(static_cast<unsigned char>(b[j - 1]));
      int best = d[i - 1][j - 1] + (x == y ? 0 : 1);
      if (d[i - 1][j] + 1 < best) best = d[i - 1][j] + 1;
      if (d[i][j - 1] + 1 < best) best = d[i][j - 1] + 1;
      if (i > 1 && j > 1 && x == ToUpperAscii(static_cast<unsigned char>(b[j - 2])) &&
          ToUpperAscii(static_cast<unsigned char>(a[i - 2])) == y && d[i - 2][j - 2] + 1 < best) {
        best = d[i - 2][j - 2] + 1;
      }
      d[i][j] = best;
    }
  }
  return d[n][m];
}

// Close enough to be a misspelling: at most two edits, and fewer than half
// the letters of the word meant.
bool Near(int distance, const char* meant) {
  int length = static_cast<int>(std::strlen(meant));
  return distance > 0 && distance <= 2 && distance * 2 < length;
}

// The command word nearest to word, or nullptr. Operators and Registry are
// never suggested: they do not begin a line.
const char* SuggestKeyword(const char* word) {
  const char* best = nullptr;
  int best_distance = 99;
  for (const CommandRow& row : kCommandTable) {
    if (row.keyword == nullptr) continue;
    if ((row.code >= kOpEqual && row.code <= kOpGreater) || row.code == kRegistry) continue;
    int distance = Distance(word, row.keyword);
    if (Near(distance, row.keyword) && distance < best_distance) {
      best = row.keyword;
      best_distance = distance;
    }
  }
  return best;
}

// A keyword that word begins with, glued to punctuation ("Goto:END").
const char* GluedKeyword(const char* word) {
  for (const CommandRow& row : kCommandTable) {
    if (row.keyword == nullptr) continue;
    size_t n = std::strlen(row.keyword);
    if (n < 2 || std::strlen(word) <= n) continue;
    bool same = true;
    for (size_t i = 0; i < n && same; ++i) {
      same = ToUpperAscii(static_cast<unsigned char>(word[i])) ==
             ToUpperAscii(static_cast<unsigned char>(row.keyword[i]));
    }
    unsigned char next = static_cast<unsigned char>(word[n]);
    bool letter = (next >= 'A' && next <= 'Z') || (next >= 'a' && next <= 'z') ||
                  (next >= '0' && next <= '9') || next == '_' || next >= 0x80;
    if (same && !letter) return row.keyword;
  }
  return nullptr;
}

// A comment style of other languages at the start of text; nullptr if none.
const char* ForeignComment(const char* text) {
  if (text[0] == ';') return ";";
  if (text[0] == '/' && text[1] == '/') return "//";
  if (text[0] == '#') return "#";
  if (ToUpperAscii(static_cast<unsigned char>(text[0])) == 'R' &&
      ToUpperAscii(static_cast<unsigned char>(text[1])) == 'E' &&
      ToUpperAscii(static_cast<unsigned char>(text[2])) == 'M' &&
      (text[3] == '\0' || IsBlank(text[3]))) {
    return "REM";
  }
  return nullptr;
}

bool IsNameByte(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// Finds the next "$$NAME$$" in text from *at; copies it into token (kMacroTextSize).
bool NextMacroToken(const char* text, int* at, char* token) {
  for (int i = *at; text[i] != '\0'; ++i) {
    if (text[i] != '$' || text[i + 1] != '$') continue;
    int j = i + 2;
    while (IsNameByte(text[j])) ++j;
    if (j == i + 2 || text[j] != '$' || text[j + 1] != '$') continue;
    int length = j + 2 - i;
    if (length >= kMacroTextSize) continue;
    std::memcpy(token, text + i, static_cast<size_t>(length));
    token[length] = '\0';
    *at = j + 2;
    return true;
  }
  return false;
}

bool IsStartupMacro(const char* name) {
  return std::strcmp(name, "$$WINDOWS$$") == 0 || std::strcmp(name, "$$SYSTEM$$") == 0 ||
         std::strcmp(name, "$$FD$$") == 0;
}

bool Defined(const MacroTable& table, const char* name) {
  for (int i = 0; i < table.count; ++i) {
    if (std::strcmp(table.entries[i].name, name) == 0) return true;
  }
  return false;
}

unsigned Hash(const char* text) {
  unsigned h = 2166136261u;
  for (; *text != '\0'; ++text) h = (h ^ static_cast<unsigned char>(*text)) * 16777619u;
  return h;
}

// Representative values of the built-in macros: a Japanese Windows, and
// the setup folders at their ordinary length and at the longest the dialog
// takes (255 bytes).
constexpr char kWindowsFolder[] = "C:\\WINDOWS";
constexpr char kSystemFolder[] = "C:\\WINDOWS\\system32";
constexpr char kSetupFolder[] = "C:\\Program Files\\Product";
constexpr char kSetupRoot[] = "C:\\Program Files";
constexpr int kLongestFolder = kTextSize - 1;

constexpr int kMaxTailDepth = 16;  // If-commands chained on one line

}  // namespace

// ---- adaptors ----

long Checker::Files::Read(FileHandle file, void* buffer, unsigned long size) {
  if (file == kSink) return -1;
  return medium_.Read(file, buffer, size);
}

void Checker::Files::Close(FileHandle file) {
  if (file != kSink) medium_.Close(file);
}

void Checker::Ui::ShowError(const char* text) {
  CopyBounded(LeadBytes{}, last_error, kTextSize, text);
  ++error_count;
}

unsigned Checker::System::GetWindowsDirectory(char* buffer, unsigned size) {
  CopyBounded(LeadBytes{}, buffer, size, kWindowsFolder);
  return sizeof kWindowsFolder - 1;
}

unsigned Checker::System::GetSystemDirectory(char* buffer, unsigned size) {
  CopyBounded(LeadBytes{}, buffer, size, kSystemFolder);
  return sizeof kSystemFolder - 1;
}

bool Checker::System::GetProgramPath(char* buffer, unsigned size) {
  int n = std::snprintf(buffer, size, "%s\\setup.exe", medium_folder_);
  return n >= 0 && static_cast<unsigned>(n) < size;
}

bool Checker::System::IsLeadByte(unsigned char byte) { return IsShiftJisLeadByte(byte); }

// ---- the check ----

Checker::Checker(FileSystem& medium, const CheckOptions& options, CheckReport& report)
    : options_(options),
      report_(report),
      medium_(medium),
      files_(medium),
      system_(options.medium_folder),
      platform_{&system_, &files_, &registry_, nullptr, nullptr},
      engine_(platform_, ui_) {
  for (int& slot : label_slots_) slot = -1;
}

void Checker::Say(const char* file, int line, Severity severity, int message, ...) {
  char text[kTextSize * 2];
  va_list args;
  va_start(args, message);
  // The formats are the fixed texts above; both languages of a text take
  // the same conversions in the same order.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  std::vsnprintf(text, sizeof text, Pick(kTexts[message], options_.japanese), args);
#pragma GCC diagnostic pop
  va_end(args);
  if (options_.werror) severity = Severity::kError;
  int script_line = file != nullptr ? line_ : line;
  if (!physical_lines_) {
    script_line = PhysicalLine(script_line);
    if (file == nullptr) line = script_line;
  }
  if (severity == Severity::kError) {
    ++counts_.errors;
  } else {
    ++counts_.warnings;
  }
  report_.Diagnostic(file, line, script_line, severity, text);
}

CheckCounts Checker::Run() {
  // The start-up of a run, without the dialog.
  std::snprintf(engine_.program_folder, kTextSize, "%s", options_.medium_folder);
  engine_.macros.count = 0;
  DefineMacro(engine_.macros, "$$WINDOWS$$", kWindowsFolder);
  DefineMacro(engine_.macros, "$$SYSTEM$$", kSystemFolder);
  DefineMacro(engine_.macros, "$$FD$$", engine_.program_folder);
  if (!CheckEncoding()) {
    Say(nullptr, 0, Severity::kError, kTxtCantOpen);
    return counts_;
  }
  physical_lines_ = false;  // from here on, lines are numbered as stored
  if (!engine_.LoadScript()) {
    // The loader stopped at a line: what it stored before is still checked.
    Say(nullptr, engine_.line_number, Severity::kError, kTxtNotLoaded, ui_.last_error);
  }

  // The run-time macros, as OK in the dialog defines them.
  DefineMacro(engine_.macros, "$$SETUPDIR$$", kSetupFolder);
  DefineMacro(engine_.macros, "$$SETUPDIR2$$", kSetupFolder);
  DefineMacro(engine_.macros, "$$SETUPROOT$$", kSetupRoot);
  DefineMacro(engine_.macros, "$$SETUPROOT2$$", kSetupRoot);
  long_macros_ = engine_.macros;
  char folder[kTextSize];
  std::memset(folder, 'a', kLongestFolder);
  std::memcpy(folder, "C:\\", 3);
  folder[kLongestFolder] = '\0';
  DefineMacro(long_macros_, "$$SETUPDIR$$", folder);
  DefineMacro(long_macros_, "$$SETUPDIR2$$", folder);
  folder[kLongestFolder - 2] = '\0';  // the root of "C:\aaa...\a"
  DefineMacro(long_macros_, "$$SETUPROOT$$", folder);
  DefineMacro(long_macros_, "$$SETUPROOT2$$", folder);

  CollectDefines();
  const char* stored = engine_.lines.storage;
  const char* end = stored + engine_.lines.end;
  for (int number = 1; stored < end; ++number) {
    CheckLine(number, stored);
    stored += std::strlen(stored) + 1;
  }
  CheckGotos();
  return counts_;
}

bool Checker::CheckEncoding() {
  char path[kTextSize];
  std::snprintf(path, sizeof path, "%s\\Setup.Inf", options_.medium_folder);
  FileHandle file = medium_.OpenRead(path);
  if (file == kNoFile) return false;
  unsigned char buffer[4096];
  int line = 1;
  int length = 0;  // bytes of the line as the loader reads it (CR LF as LF)
  long offset = 0;
  bool line_said = false;  // a byte of this line was said already
  bool lead = false;       // the byte before was a Shift-JIS lead byte
  unsigned char lead_byte = 0;
  bool cr = false;     // the byte before was a CR
  bool ended = false;  // a Ctrl-Z was met
  int ended_line = 0;
  bool said_ctrl_z = false;
  int utf8_left = 0;  // continuation bytes still due
  bool utf8 = true;   // valid UTF-8 so far
  int utf8_line = 0;  // the first line with a multibyte UTF-8 character
  // Shift-JIS faults wait until the file is known not to be UTF-8.
  constexpr int kMaxFaults = 32;
  int fault_line[kMaxFaults];
  int fault_byte[kMaxFaults];
  int faults = 0;
  for (;;) {
    long n = medium_.Read(file, buffer, sizeof buffer);
    if (n <= 0) break;
    for (long i = 0; i < n; ++i, ++offset) {
      unsigned char c = buffer[i];
      if (offset == 0 && n >= 2 &&
          ((c == 0xFF && buffer[1] == 0xFE) || (c == 0xFE && buffer[1] == 0xFF))) {
        Say(nullptr, 1, Severity::kError, kTxtUtf16);
        medium_.Close(file);
        return true;
      }
      if (offset == 0 && n >= 3 && c == 0xEF && buffer[1] == 0xBB && buffer[2] == 0xBF) {
        Say(nullptr, 1, Severity::kError, kTxtBom);
      }
      if (ended) {
        if (!said_ctrl_z && c != 0x1A && c != '\r' && c != '\n' && !IsBlank(static_cast<char>(c))) {
          Say(nullptr, ended_line, Severity::kWarning, kTxtCtrlZ);
          said_ctrl_z = true;
        }
        continue;
      }
      if (c != '\n' && c != 0x1A) ++length;
      // UTF-8 shape.
      if (utf8_left > 0) {
        if ((c & 0xC0) == 0x80) {
          if (--utf8_left == 0 && utf8_line == 0) utf8_line = line;
        } else {
          utf8 = false;
          utf8_left = 0;
        }
      } else if (c >= 0xC2 && c <= 0xF4) {
        utf8_left = c >= 0xF0 ? 3 : (c >= 0xE0 ? 2 : 1);
      } else if (c >= 0x80) {
        utf8 = false;
      }
      if (cr && c != '\n') {
        if (!line_said) Say(nullptr, line, Severity::kError, kTxtLoneCr);
        line_said = true;
      }
      bool after_cr = cr;
      cr = c == '\r';
      if (lead) {
        lead = false;
        bool trail = (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
        if (!trail && !line_said && faults < kMaxFaults) {
          fault_line[faults] = line;
          fault_byte[faults++] = lead_byte;
          line_said = true;
        }
        if (trail) continue;
      }
      if (c == '\n') {
        NoteSplit(line, length - (after_cr ? 1 : 0) + 1);
        ++line;
        length = 0;
        line_said = false;
        continue;
      }
      if (c == 0x1A) {
        ended = true;
        ended_line = line;
        continue;
      }
      if (c == 0) {
        if (!line_said) Say(nullptr, line, Severity::kWarning, kTxtNul);
        line_said = true;
        continue;
      }
      if (IsShiftJisLeadByte(c)) {
        lead = true;
        lead_byte = c;
      } else if ((c == 0x80 || c == 0xA0 || c >= 0xFD) && !line_said && faults < kMaxFaults) {
        fault_line[faults] = line;
        fault_byte[faults++] = c;
        line_said = true;
      }
    }
  }
  medium_.Close(file);
  NoteSplit(line, length);
  if (utf8 && utf8_left == 0 && utf8_line > 0) {
    Say(nullptr, utf8_line, Severity::kWarning, kTxtUtf8);
    return true;
  }
  for (int i = 0; i < faults; ++i) {
    Say(nullptr, fault_line[i], Severity::kWarning, kTxtNotShiftJis, fault_byte[i]);
  }
  return true;
}

void Checker::NoteSplit(int line, int bytes) {
  // The loader reads at most 1023 bytes at a time (a line end included): a
  // longer line is stored as several.
  constexpr int kPiece = kStoredLineSize - 1;
  int extra = bytes > 0 ? (bytes + kPiece - 1) / kPiece - 1 : 0;
  if (extra <= 0 || split_count_ >= kCheckMaxSplits) return;
  splits_[split_count_++] = {line, extra};
}

int Checker::PhysicalLine(int stored) const {
  int shift = 0;
  for (int i = 0; i < split_count_; ++i) {
    if (stored < splits_[i].line + shift) break;
    if (stored <= splits_[i].line + shift + splits_[i].extra) return splits_[i].line;
    shift += splits_[i].extra;
  }
  return stored - shift;
}

int Checker::Store(const char* text) {
  int length = static_cast<int>(std::strlen(text));
  if (pool_end_ + length + 1 > kCheckTextPool) {
    pool_full_ = true;
    return -1;
  }
  std::memcpy(pool_ + pool_end_, text, static_cast<size_t>(length) + 1);
  int at = pool_end_;
  pool_end_ += length + 1;
  return at;
}

void Checker::CollectDefines() {
  // The names as the #define lines write them, so that a use before its
  // definition can name the line that comes too late.
  const char* stored = engine_.lines.storage;
  const char* end = stored + engine_.lines.end;
  for (int number = 1; stored < end && define_count_ < kCheckMaxDefines; ++number) {
    const char* text = stored;
    stored += std::strlen(stored) + 1;
    while (IsBlank(*text)) ++text;
    char* rest = nullptr;
    CommandCode code = ClassifyLine(text, &rest);
    if (code != kDefine && code != kDefineRegistry) continue;
    char name[kMacroTextSize];
    FirstWord(rest, name, kMacroTextSize);
    int at = Store(name);
    if (at < 0) return;
    defines_[define_count_++] = {number, at};
  }
}

void Checker::CheckLine(int number, const char* stored) {
  line_ = number;
  engine_.line_number = number;
  int length = static_cast<int>(std::strlen(stored));
  if (length >= kWorkLineSize) {
    Say(nullptr, number, Severity::kError, kTxtLineTooLong, kWorkLineSize - 1);
    return;
  }
  const char* raw = stored;
  while (IsBlank(*raw)) ++raw;
  CommandCode raw_code = ClassifyLine(raw);
  if (raw_code == kCommentLine || raw_code == kEmptyLine) return;
  CheckMacroUses(raw, raw_code);
  if (raw_code == kSetupDir || raw_code == kSetupDir2 || raw_code == kWindowTitle) {
    CheckSetupDir(raw_code, raw);
    return;
  }

  char* expanded = engine_.expanded;
  if (!ExpandMacros(engine_.macros, stored, expanded, kWorkLineSize)) {
    Say(nullptr, number, Severity::kError, kTxtExpansionTooLong, kWorkLineSize - 1);
    return;
  }
  char* spare = engine_.line;  // a second line buffer of the same size
  if (!ExpandMacros(long_macros_, stored, spare, kWorkLineSize)) {
    Say(nullptr, number, Severity::kWarning, kTxtExpansionTooLongLongFolder, kWorkLineSize - 1,
        kLongestFolder);
  }
  char* text = expanded;
  while (IsBlank(*text)) ++text;
  if (ClassifyLine(text) == kDefine) {
    CheckDefine(text, raw);
    return;
  }
  CheckCommand(text, 0);
}

void Checker::CheckMacroUses(const char* raw, CommandCode code) {
  int at = 0;
  if (code == kDefine || code == kDefineRegistry) {
    // The name being defined is no use of it.
    char* rest = nullptr;
    ClassifyLine(raw, &rest);
    at = static_cast<int>(rest - raw);
    while (rest[0] != '\0' && !IsBlank(rest[0])) {
      ++rest;
      ++at;
    }
  }
  bool dialog = code == kSetupDir || code == kSetupDir2 || code == kWindowTitle;
  char token[kMacroTextSize];
  char quoted[kQuoteSize];
  while (NextMacroToken(raw, &at, token)) {
    Quote(token, quoted);
    if (dialog) {
      if (code == kWindowTitle || !IsStartupMacro(token)) {
        Say(nullptr, line_, Severity::kWarning, kTxtDialogMacro, quoted);
      }
      continue;
    }
    if (Defined(engine_.macros, token)) continue;
    int later = 0;
    for (int i = 0; i < define_count_ && later == 0; ++i) {
      if (defines_[i].line > line_ && std::strcmp(pool_ + defines_[i].name, token) == 0) {
        later = defines_[i].line;
      }
    }
    if (later > 0) {
      Say(nullptr, line_, Severity::kWarning, kTxtMacroBeforeDefine, quoted, later);
      continue;
    }
    const char* best = nullptr;
    int best_distance = 99;
    for (int i = 0; i < engine_.macros.count; ++i) {
      const char* name = engine_.macros.entries[i].name;
      int distance = Distance(token, name);
      if (Near(distance, name) && distance < best_distance) {
        best = name;
        best_distance = distance;
      }
    }
    for (int i = 0; i < define_count_; ++i) {
      const char* name = pool_ + defines_[i].name;
      int distance = Distance(token, name);
      if (Near(distance, name) && distance < best_distance) {
        best = name;
        best_distance = distance;
      }
    }
    if (best != nullptr) {
      char suggestion[kQuoteSize];
      Quote(best, suggestion);
      Say(nullptr, line_, Severity::kWarning, kTxtMacroUndefinedSuggest, quoted, suggestion);
    } else {
      Say(nullptr, line_, Severity::kWarning, kTxtMacroUndefined, quoted);
    }
  }
}

void Checker::CheckSetupDir(CommandCode code, const char* raw) {
  if (code == kWindowTitle) return;
  // The folder as the pre-scan takes it, then expanded as the dialog gets it.
  char* rest = nullptr;
  ClassifyLine(raw, &rest);
  char folder[kTextSize];
  char label[kTextSize];
  int errors = ui_.error_count;
  if (!engine_.ParseSetupDir(rest, folder, label) || ui_.error_count != errors)
    return;  // said by the load
  char expanded[kTextSize];
  if (!ExpandMacros(engine_.macros, folder, expanded, kTextSize)) {
    Say(nullptr, line_, Severity::kError, kTxtFolderTooLong, kTextSize - 1);
  }
}

bool Checker::ArgRead(CommandCode code, const Arguments& args, int index) {
  if (args.fault_index != index) return true;
  int what = static_cast<int>(kCommandTable[code].args[index].name);
  const char* name = Pick(kArguments[what], options_.japanese);
  const char* start = args.start[index];
  if (args.fault == ArgFault::kNoQuote) {
    Say(nullptr, line_, Severity::kError, kTxtNoQuote, name);
  } else if (*start == '\0') {
    Say(nullptr, line_, Severity::kError, kTxtMissing, name);
  } else {
    char quoted[kQuoteSize];
    Quote(start, quoted);
    Say(nullptr, line_, Severity::kError, kTxtNoBlank, name, quoted);
  }
  return false;
}

void Checker::CheckDefine(char* text, const char* raw) {
  Arguments args;
  DecodeLine(engine_.lead_bytes, text, &args);
  if (!ArgRead(kDefine, args, 0)) return;
  const char* name = args.text[0];
  const char* value = args.text[1];
  char quoted[kQuoteSize];
  Quote(name, quoted);
  // The name as written: when it was replaced, a macro of that name exists.
  char* raw_rest = nullptr;
  ClassifyLine(raw, &raw_rest);
  char written[kMacroTextSize];
  FirstWord(raw_rest, written, kMacroTextSize);
  if (written[0] != '"' && std::strcmp(written, name) != 0 && Defined(engine_.macros, written)) {
    char old[kQuoteSize];
    Quote(written, old);
    Say(nullptr, line_, Severity::kWarning, kTxtMacroRedefined, old, quoted);
  } else if (!(name[0] == '$' && name[1] == '$')) {
    Say(nullptr, line_, Severity::kWarning, kTxtMacroPlainName, quoted);
  }
  size_t length = std::strlen(value);
  if (length > 0 && IsBlank(value[length - 1])) {
    Say(nullptr, line_, Severity::kWarning, kTxtMacroTrailingBlank, quoted);
  }
  switch (DefineMacro(engine_.macros, name, value)) {
    case DefineResult::kStored:
      break;
    case DefineResult::kTableFull:
      Say(nullptr, line_, Severity::kError, kTxtTooManyMacros, kMaxMacros);
      return;
    case DefineResult::kTooLong:
      Say(nullptr, line_, Severity::kError, kTxtMacroTooLong, kMacroTextSize - 1);
      return;
  }
  // The same definition with long folders: the line expanded with them.
  char long_line[kWorkLineSize];
  if (!ExpandMacros(long_macros_, raw, long_line, kWorkLineSize)) return;  // said already
  char* long_text = long_line;
  while (IsBlank(*long_text)) ++long_text;
  Arguments long_args;
  if (DecodeLine(engine_.lead_bytes, long_text, &long_args) != kDefine) return;
  if (long_args.fault_index >= 0) return;
  if (DefineMacro(long_macros_, long_args.text[0], long_args.text[1]) == DefineResult::kTooLong) {
    Say(nullptr, line_, Severity::kWarning, kTxtMacroLongFolder, quoted, kMacroTextSize - 1,
        kLongestFolder);
  }
}

bool Checker::OnMedium(const char* path) const {
  size_t n = std::strlen(options_.medium_folder);
  if (std::strlen(path) <= n) return false;
  for (size_t i = 0; i < n; ++i) {
    if (ToUpperAscii(static_cast<unsigned char>(path[i])) !=
        ToUpperAscii(static_cast<unsigned char>(options_.medium_folder[i]))) {
      return false;
    }
  }
  return path[n] == '\\' || path[n] == '/';
}

void Checker::CheckMediumFile(const char* path, Severity severity, int message) {
  if (!OnMedium(path)) return;
  FileStatus status;
  if (medium_.GetStatus(path, &status) && (status.attributes & kAttrDirectory) == 0) return;
  char quoted[kQuoteSize];
  Quote(path, quoted);
  Say(nullptr, line_, severity, message, quoted);
}

void Checker::CheckRegistryPath(const char* path) {
  RegistryPath parsed;
  if (ParseRegistryPath(engine_.lead_bytes, path, &parsed)) return;
  char quoted[kQuoteSize];
  Quote(path, quoted);
  Say(nullptr, line_, Severity::kWarning, kTxtRegistryRoot, quoted);
}

void Checker::CheckCommand(char* text, int depth) {
  while (IsBlank(*text)) ++text;
  if (ClassifyLine(text) == kDefine) {
    // A #define as a tail: its line was expanded as a whole already.
    CheckDefine(text, text);
    return;
  }
  // The keyword and operators are quoted as written, before the cutting.
  char word[kQuoteSize];
  FirstWord(text, word, sizeof word);
  const char* comment = ForeignComment(text);
  Arguments args;
  CommandCode code = DecodeLine(engine_.lead_bytes, text, &args);
  const char* first = args.text[0];
  char quoted[kQuoteSize];
  switch (code) {
    case kNoKeyword: {
      const char* suggestion = SuggestKeyword(word);
      const char* glued = GluedKeyword(word);
      if (suggestion != nullptr) {
        Say(nullptr, line_, Severity::kError, kTxtUnknownSuggest, word, suggestion);
      } else if (comment != nullptr) {
        Say(nullptr, line_, Severity::kError, kTxtForeignComment, comment);
      } else if (glued != nullptr) {
        Say(nullptr, line_, Severity::kError, kTxtGlued, glued);
      } else {
        Quote(word, quoted);
        Say(nullptr, line_, Severity::kError, kTxtUnknown, quoted);
      }
      return;
    }
    case kEmptyLine:
    case kCommentLine:
    case kSetupDir:
    case kSetupDir2:
    case kWindowTitle:
    case kMessage:
    case kErrorExit:
    case kDefine:
      return;
    case kLabelLine:
      if (depth > 0) return;  // a tail that is a label does nothing
      if (*first == '\0') {
        Say(nullptr, line_, Severity::kError, kTxtLabelNoName);
        return;
      }
      AddLabel(first);
      return;
    case kDefineRegistry:
      for (int i = 0; i < 3; ++i) {
        if (!ArgRead(code, args, i)) return;
      }
      CheckRegistryPath(args.text[1]);
      if (DefineMacro(engine_.macros, first, "") == DefineResult::kTableFull) {
        Say(nullptr, line_, Severity::kError, kTxtTooManyMacros, kMaxMacros);
      }
      DefineMacro(long_macros_, first, "");
      if (depth < kMaxTailDepth) CheckCommand(args.tail, depth + 1);
      return;
    case kTextCopy:
    case kJapanCopy:
    case kEnglishCopy:
      if (!ArgRead(code, args, 0)) return;
      CheckTextCopy(code, first, args.text[1]);
      return;
    case kBinCopy:
      if (!ArgRead(code, args, 0)) return;
      if (args.text[1][0] == '\0') {
        Say(nullptr, line_, Severity::kError, kTxtMissing,
            Pick(kArguments[static_cast<int>(ArgName::kDestination)], options_.japanese));
      }
      CheckMediumFile(first, Severity::kError, kTxtNotOnMedium);
      return;
    case kMakeDir:
      if (first[0] == '\0') {
        Say(nullptr, line_, Severity::kError, kTxtMissing,
            Pick(kArguments[static_cast<int>(ArgName::kFolder)], options_.japanese));
      }
      return;
    case kDiskCheck: {
      if (!ArgRead(code, args, 0)) return;
      char path[kTextSize];
      int n = std::snprintf(path, sizeof path, "%s\\%s", engine_.program_folder, first);
      if (n > 0 && n < kTextSize) CheckMediumFile(path, Severity::kWarning, kTxtDiskNotOnMedium);
      return;
    }
    case kSetRegistry:
      if (!ArgRead(code, args, 0) || !ArgRead(code, args, 1)) return;
      CheckRegistryPath(first);
      return;
    case kDeleteRegistry:
      if (!ArgRead(code, args, 0)) return;
      CheckRegistryPath(first);
      return;
    case kRegsvr:
      if (!ArgRead(code, args, 0)) return;
      CheckMediumFile(first, Severity::kError, kTxtNotOnMedium);
      return;
    case kIfFileVersion:
    case kIfProductVersion:
    case kIfFileDate:
    case kIfString:
    case kIfFileFind:
    case kIfRegistryFind:
    case kIfLanguage:
      CheckIf(code, args, depth);
      return;
    case kMessageBox:
      // Unquoted, the text is its first word; the rest of the line is lost.
      if (args.start[0][0] != '"' && args.end != nullptr && *args.end != '\0') {
        Say(nullptr, line_, Severity::kWarning, kTxtMessageBoxWord);
      }
      return;
    case kGoto:
      if (*first == '\0') {
        Say(nullptr, line_, Severity::kError, kTxtGotoNoLabel);
        return;
      }
      if (std::strlen(first) >= kGotoTargetSize) {
        Say(nullptr, line_, Severity::kError, kTxtLabelTooLong, kGotoTargetSize - 1);
        return;
      }
      AddGoto(first);
      return;
    case kOpEqual:
    case kOpLessEqual:
    case kOpLess:
    case kOpGreaterEqual:
    case kOpGreater:
      Say(nullptr, line_, Severity::kError, kTxtOperatorLine, word);
      return;
    case kRegistry:
      Say(nullptr, line_, Severity::kError, kTxtRegistryLine);
      return;
  }
}

void Checker::CheckIf(CommandCode code, const Arguments& args, int depth) {
  if (!ArgRead(code, args, 0)) return;
  const char* first = args.text[0];
  int sense_index = 1;
  char quoted[kQuoteSize];
  if (kCommandTable[code].args[1].form == ArgForm::kOperator) {
    sense_index = 3;
    if (!ArgRead(code, args, 1)) return;
    // The second argument as written, when no operator stood before it.
    const char* second = args.start[2];
    if (args.op != 0 || second == nullptr) {
      // An operator, or nothing more to say.
    } else if (second[0] == '=' || second[0] == '<' || second[0] == '>') {
      char word[kQuoteSize];
      FirstWord(second, word, sizeof word);
      Quote(word, quoted);
      Say(nullptr, line_, Severity::kWarning, kTxtGluedOperator, quoted);
    } else if (code == kIfFileDate || code == kIfString) {
      Say(nullptr, line_, Severity::kWarning, kTxtNoOperator);
    }
    if (!ArgRead(code, args, 2)) return;
  }
  if (!ArgRead(code, args, sense_index)) return;
  const char* sense = args.text[sense_index];
  if ((sense[0] == 'E' || sense[0] == 'e') && !EqualNoCase(sense, "Else") && sense[1] != '\0') {
    Quote(sense, quoted);
    Say(nullptr, line_, Severity::kWarning, kTxtSenseInverts, quoted);
  }
  switch (code) {
    case kIfRegistryFind:
      CheckRegistryPath(first);
      break;
    case kIfLanguage: {
      unsigned long value = 0;
      bool hex = first[0] == '0' && (first[1] == 'x' || first[1] == 'X');
      value = std::strtoul(first + (hex ? 2 : 0), nullptr, hex ? 16 : 10);
      if (value > 0xFF) {  // primary language numbers are below 0x100
        Quote(first, quoted);
        Say(nullptr, line_, Severity::kWarning, kTxtLanguageId, quoted);
      }
      break;
    }
    case kIfFileVersion:
    case kIfProductVersion:
      CheckMediumFile(first, Severity::kWarning, kTxtTestFileNotOnMedium);
      break;
    default:
      break;
  }
  if (depth < kMaxTailDepth) CheckCommand(args.tail, depth + 1);
}

void Checker::CheckTextCopy(CommandCode code, const char* source, const char* destination) {
  if (destination[0] == '\0') {
    Say(nullptr, line_, Severity::kError, kTxtMissing,
        Pick(kArguments[static_cast<int>(ArgName::kDestination)], options_.japanese));
  } else if (destination[0] == '"') {
    Say(nullptr, line_, Severity::kError, kTxtQuotedDestination);
  } else if (IsBlank(destination[std::strlen(destination) - 1])) {
    Say(nullptr, line_, Severity::kWarning, kTxtDestinationBlanks);
  }
  if (!OnMedium(source)) return;
  FileStatus status;
  if (!medium_.GetStatus(source, &status) || (status.attributes & kAttrDirectory) != 0) {
    CheckMediumFile(source, Severity::kError, kTxtNotOnMedium);
    return;
  }
  // Each text once per selection: the macros it sees may differ between
  // lines, but its comments do not.
  bool japanese_failed = false;
  bool english_failed = false;
  int japanese_line = 0;
  int english_line = 0;
  int japanese_kind = 0;
  int english_kind = 0;
  if (code != kEnglishCopy)
    RunCopier(source, kJapanese, &japanese_failed, &japanese_line, &japanese_kind);
  if (code != kJapanCopy)
    RunCopier(source, kEnglish, &english_failed, &english_line, &english_kind);
  if (japanese_failed) {
    Say(source, japanese_line, Severity::kError, japanese_kind, kTextBufferSize - 1);
  } else if (english_failed) {
    Say(source, english_line, Severity::kError, english_kind, kTextBufferSize - 1);
  }
}

void Checker::RunCopier(const char* source, LanguageMode selection, bool* failed, int* line,
                        int* kind) {
  unsigned key = Hash(source) ^ static_cast<unsigned>(selection);
  for (int i = 0; i < copy_count_; ++i) {
    if (copies_[i] == key) return;
  }
  if (copy_count_ < kCheckMaxCopies) copies_[copy_count_++] = key;
  int errors = ui_.error_count;
  bool copied = CopyText(engine_, source, "NUL", selection);
  CloseSource(engine_);
  CloseDestination(engine_, !copied);
  TextCopier& t = engine_.text_copy;
  if (copied || !t.failed || ui_.error_count == errors) return;
  *failed = true;
  // The copier's counter runs one ahead of the lines read.
  int last = t.source_line - 1;
  char probe[kTextBufferSize];
  if (t.body_length <= kTextBufferSize - 2 &&
      !ExpandMacros(engine_.macros, t.raw_line, probe, kTextBufferSize)) {
    *kind = kTxtCopyLineTooLong;
    *line = last;
    return;
  }
  // The comment is named by the line it begins on: the last line read less
  // the line ends inside it. A comment that never closed holds the rest of
  // the file, the last line end included.
  int breaks = 0;
  for (int i = 0; i < t.body_length; ++i) {
    if (t.body[i] == '\n') ++breaks;
  }
  if (t.body_length > kTextBufferSize - 2) {
    *kind = kTxtCommentTooLong;
    *line = last - breaks;
  } else {
    *kind = kTxtCommentNotClosed;
    bool last_ends = t.body_length > 0 && t.body[t.body_length - 1] == '\n';
    *line = last - breaks + (last_ends ? 1 : 0);
  }
  if (*line < 1) *line = 1;
}

int Checker::FindLabel(const char* name) const {
  unsigned slot = Hash(name) & (kCheckLabelSlots - 1);
  while (label_slots_[slot] >= 0) {
    const Label& label = labels_[label_slots_[slot]];
    if (std::strcmp(pool_ + label.text, name) == 0) return label_slots_[slot];
    slot = (slot + 1) & (kCheckLabelSlots - 1);
  }
  return -1;
}

void Checker::AddLabel(const char* name) {
  int found = FindLabel(name);
  if (found >= 0) {
    char quoted[kQuoteSize];
    Quote(name, quoted);
    Say(nullptr, line_, Severity::kWarning, kTxtLabelTwice, quoted, labels_[found].first_line);
    labels_[found].last_line = line_;
    return;
  }
  int text = label_count_ < kCheckMaxLabels ? Store(name) : -1;
  if (text < 0) {
    if (!pool_full_ || label_count_ == kCheckMaxLabels)
      Say(nullptr, line_, Severity::kWarning, kTxtTooManyLabels);
    pool_full_ = true;
    return;
  }
  labels_[label_count_] = {line_, line_, text};
  unsigned slot = Hash(name) & (kCheckLabelSlots - 1);
  while (label_slots_[slot] >= 0) slot = (slot + 1) & (kCheckLabelSlots - 1);
  label_slots_[slot] = label_count_++;
}

void Checker::AddGoto(const char* name) {
  int text = goto_count_ < kCheckMaxGotos ? Store(name) : -1;
  if (text < 0) {
    Say(nullptr, line_, Severity::kWarning, kTxtTooManyLabels);
    return;
  }
  gotos_[goto_count_++] = {line_, text};
}

void Checker::CheckGotos() {
  char quoted[kQuoteSize];
  for (int i = 0; i < goto_count_; ++i) {
    const Goto& go = gotos_[i];
    line_ = go.line;
    const char* name = pool_ + go.text;
    int found = FindLabel(name);
    if (found >= 0 && labels_[found].last_line > go.line) continue;
    Quote(name, quoted);
    if (found >= 0) {
      Say(nullptr, go.line, Severity::kError, kTxtLabelOnlyAbove, quoted,
          labels_[found].first_line);
      continue;
    }
    // Labels are compared case-sensitively: one that differs only in case
    // is most likely the one meant.
    const char* near = nullptr;
    for (int k = 0; k < label_count_ && near == nullptr; ++k) {
      const char* label = pool_ + labels_[k].text;
      if (labels_[k].last_line > go.line && EqualNoCase(label, name)) near = label;
    }
    if (near != nullptr) {
      char suggestion[kQuoteSize];
      Quote(near, suggestion);
      Say(nullptr, go.line, Severity::kError, kTxtLabelCase, quoted, suggestion);
    } else {
      Say(nullptr, go.line, Severity::kError, kTxtLabelNotFound, quoted);
    }
  }
}

}  // namespace setup
