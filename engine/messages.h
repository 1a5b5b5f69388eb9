// The engine's user-visible message texts, as the installer shows them.
// The Japanese ones are Shift-JIS bytes; the comment above each gives the text.
#pragma once

namespace setup {

// "%sの%d行目に"が有りません" (a quoted argument has no closing quote)
inline constexpr char kMsgNoQuote[] =
    "%s\x82\xCC%d\x8Ds\x96\xDA\x82\xC9\"\x82\xAA\x97L\x82\xE8\x82\xDC\x82\xB9\x82\xF1";
// "%sの%d行目にTABが有りません" (an unquoted argument is not followed by a blank)
inline constexpr char kMsgNoTab[] =
    "%s\x82\xCC%d\x8Ds\x96\xDA\x82\xC9TAB\x82\xAA\x97L\x82\xE8\x82\xDC\x82\xB9\x82\xF1";
// "置換語句が多すぎます %d以下にして下さい" (the macro table is full)
inline constexpr char kMsgTooManyMacros[] =
    "\x92u\x8A\xB7\x8C\xEA\x8B\xE5\x82\xAA\x91\xBD\x82\xB7\x82\xAC\x82\xDC\x82\xB7 "
    "%d\x88\xC8\x89\xBA\x82\xC9\x82\xB5\x82\xC4\x89\xBA\x82\xB3\x82\xA2";
// "GOTO にラベルが有りません" (a Goto names no label)
inline constexpr char kMsgGotoNoLabel[] =
    "GOTO \x82\xC9\x83\x89\x83x\x83\x8B\x82\xAA\x97L\x82\xE8\x82\xDC\x82\xB9\x82\xF1";
// "%sの%d行目に:があるのにラベルが有りません" (a label line without a name)
inline constexpr char kMsgColonNoLabel[] =
    "%s\x82\xCC%d\x8Ds\x96\xDA\x82\xC9:"
    "\x82\xAA\x82\xA0\x82\xE9\x82\xCC\x82\xC9\x83\x89\x83x\x83\x8B\x82\xAA\x97L\x82\xE8\x82\xDC\x82"
    "\xB9\x82\xF1";
// "%sの%d行目にディレクトリー名が有りません" (MakeDir without a folder)
inline constexpr char kMsgNoFolderName[] =
    "%s\x82\xCC%d\x8Ds\x96\xDA\x82\xC9\x83"
    "f\x83"
    "B\x83\x8C\x83N\x83g\x83\x8A\x81[\x96\xBC\x82\xAA\x97L\x82\xE8\x82\xDC\x82\xB9\x82\xF1";
// "%sの%d行目にコピー先の指定が有りません" (BinCopy without a destination)
inline constexpr char kMsgNoCopyDest[] =
    "%s\x82\xCC%d\x8Ds\x96\xDA\x82\xC9\x83R\x83s\x81["
    "\x90\xE6\x82\xCC\x8Ew\x92\xE8\x82\xAA\x97L\x82\xE8\x82\xDC\x82\xB9\x82\xF1";

inline constexpr char kMsgNoWindows[] =
    "Install Windows System in the destination than it is'nt installed";
inline constexpr char kMsgCantOpenScript[] = "Can't Open %s file.";
inline constexpr char kMsgScriptError[] = "Setup script Error (%s)";
inline constexpr char kMsgNothingLabel[] = "Setup script Error. Nothing (%s) label";
inline constexpr char kMsgDirCantMake[] = "The '%s' directroy can not be make";
inline constexpr char kMsgCopyFailed[] = "It failed in the copy form %s to %s";
inline constexpr char kMsgDiskPrompt[] = "Cheng at '%s'";
inline constexpr char kMsgSetupStopped[] = "Making a setup was stopped.";
inline constexpr char kMsgCantCreate[] = "Can't Create %s file";
inline constexpr char kMsgCantOpenSource[] = "Can't open %s file";
inline constexpr char kMsgCommentSyntax[] = "%s:(%d) /* */ Syntax Error";
inline constexpr char kMsgRegistryWrite[] = "Registry write error : (%s , %s)";
inline constexpr char kMsgCantRegister[] = " '%s' registration can't be done";
inline constexpr char kMsgFolderInput[] = "Folder input error";

// Limits the installer enforces where a fixed buffer would otherwise be
// overrun. Each names the script and line so the author can find it.
inline constexpr char kMsgScriptTooLarge[] =
    "%s(%d): Setup script Error. The script does not fit in %d bytes";
inline constexpr char kMsgLineTooLong[] =
    "%s(%d): Setup script Error. The line is longer than %d bytes";
inline constexpr char kMsgExpansionTooLong[] =
    "%s(%d): Setup script Error. The line is longer than %d bytes after macro expansion";
inline constexpr char kMsgLabelTooLong[] =
    "%s(%d): Setup script Error. The label is longer than %d bytes";
inline constexpr char kMsgMacroTooLong[] =
    "%s(%d): Setup script Error. A macro name or value is longer than %d bytes";
inline constexpr char kMsgFolderTooLong[] =
    "%s(%d): Setup script Error. The folder is longer than %d bytes";
inline constexpr char kMsgProgramFolderTooLong[] = "The program folder is too long: %s";
inline constexpr char kMsgFolderExpansionTooLong[] =
    "The folder '%s' is longer than %d bytes after macro expansion";

}  // namespace setup
