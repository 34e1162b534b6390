#pragma once
// Load and save of the editor settings file "QuillanePlugin.ini".
//
// Every key is one access of its own through common::IniFile: a read first
// checks that the file can be opened for reading (1050 otherwise) and treats a
// value of -1, or a missing key, as missing (1052); a write first makes sure
// the folder and the file exist and can be written (1050), and a refused
// write is 1053.
//
// Keys, in load order ("written" marks the keys the save writes back, in the
// same order; the presets are read-only tuning values that the file must
// carry):
//   [DustColor] RED, GREEN, BLUE                      written
//   [BrushSize] BRUSHSIZE                             written
//   [EraserSize] ERASERSIZE                           written
//   [DustSize] LASTDUSTSIZE_BLACK, LASTDUSTSIZE_WHITE written
//   [GrayThreshold] LASTGRAYTHRESHOLD_BLACK, LASTGRAYTHRESHOLD_WHITE  written
//   [FileType] FILTERINDEX                            written
//   [SaveColor_0] ... [SaveColor_15] RED, GREEN, BLUE written
//   [DustSize] DUSTRATIO_{S,M,L}_BLACK, DUSTRATIO_{S,M,L}_WHITE
//   [GrayThreshold] GRAYTHRESHOLD_{S,M,L}_BLACK, GRAYTHRESHOLD_{S,M,L}_WHITE
// A colour's three numbers are each reduced modulo 256.
#include "quillane/model/QuillaneParameter.h"

namespace quillane {

class QuillaneIniFileIo {
 public:
  /// Reads every key from parameter.settingsFilePath, in the order above.
  /// All or nothing: the record is changed only when every key was read.
  /// Returns 0, or the code of the first error (1050, 1052).
  static int load(QuillaneParameter& parameter);

  /// Writes the persistent keys in the order above, creating missing folders
  /// and the file. All or nothing: the file is replaced once, with every key
  /// written, or left as it was. Returns 0, or the error code (1050, 1053).
  static int save(const QuillaneParameter& parameter);

  /// load(), and on failure the stop notice
  /// "ユーザー設定ファイルの読み込みに失敗しました。\n
  ///  アプリケーションを再インストールすると直る可能性があります。(<code>)".
  /// Returns whether the load succeeded; on failure the record keeps its values.
  static bool loadLastParameterFromIniFile(QuillaneParameter& parameter);

  /// save(), and on failure the stop notice
  /// "ユーザー設定ファイルの保存に失敗しました。\n
  ///  アプリケーションを再インストールすると直る可能性があります。(<code>)".
  static bool saveLastParameterFromIniFile(const QuillaneParameter& parameter);
};

}  // namespace quillane
