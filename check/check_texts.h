// The medium check's texts: every diagnostic in English and in Japanese
// (Shift-JIS), and the names of the arguments they mention.
#pragma once

#include "engine/command_table.h"

namespace setup {

// ORDER: kTexts in check_texts.cc follows this enum.
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
  kTxtNotComponent,
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
  kTxtTrailingIgnored,
  kTxtTrailingInValue,
  kTxtTrailingData,
  kTxtUnquotedFolder,
  kTxtFolderNoBlank,
  kTxtCopiedHere,
  kTxtTextUtf16,
  kTxtTextBinary,
  kTxtTextBom,
  kTxtTextUtf8,
  kTxtTextNul,
  kTxtCommentAsArgument,
  kTxtCount,
};

// The format of a diagnostic (printf rules; both languages take the same
// conversions in the same order).
const char* CheckText(int message, bool japanese);
// The name of an argument as a diagnostic gives it ("source", "data").
const char* ArgumentName(ArgName name, bool japanese);

inline constexpr int kQuoteSize = 64;  // script text quoted in a message, cut to fit

// A copy of text (kQuoteSize bytes) short enough to quote, cut between
// characters and then marked with three dots.
void Quote(const char* text, char* out);

}  // namespace setup
