// The texts shown for page file result codes, in one table.
#include <cstdio>

#include "quillane/imagefile/PageFileResult.h"

namespace quillane::pagefile {

namespace {

struct CodeText {
  int code;
  const char* text;
};

constexpr CodeText kTexts[] = {
    {kUnsupported,
     "ファイルが壊れているか、サポート対象外のファイルです。ファイルを確認してください。"},
    {kBadFormatKind, "画像情報が異常です。"},
    {kUnsupportedCompression, "サポートしていない圧縮形式の画像です。圧縮形式を変更してください。"},
    {kCannotOpenForWriting,
     "書き込みファイルのオープンに失敗しました。ファイルが読み取り専用か隠しファイルになっていない"
     "かを確認"
     "してください。"},
    {kNoPath, "ファイルが見つかりません。ファイルを確認してください。"},
};

constexpr const char* kTooLargeFormat =
    "画像サイズがオーバーしています。%d×%d ピクセル以下にしてください。\n";
constexpr const char* kTooLargeTail = "B4サイズ(600dpi)に相当します。";

constexpr const char* kReadingFailure =
    "ファイルの読み込みに失敗しました。ファイルに異常がないか確認してください。";
constexpr const char* kWritingFailure =
    "ファイルの書き込みに失敗しました。ファイルに異常がないか確認してください。";
constexpr const char* kOtherFailure = "エラーが発生しました。もう一度操作を行ってください。";

}  // namespace

std::string message(int code, MessageVariant variant) {
  if (code == kSuccess || code == kGray || code == kRgb || code == kCmyk) return {};
  if (code == kTooLarge) {
    char head[256];
    std::snprintf(head, sizeof head, kTooLargeFormat, kMaxPageWidth, kMaxPageHeight);
    return std::string(head) + kTooLargeTail;
  }
  for (const CodeText& entry : kTexts) {
    if (entry.code == code) return entry.text;
  }
  switch (variant) {
    case MessageVariant::Reading:
      return kReadingFailure;
    case MessageVariant::Writing:
      return kWritingFailure;
    case MessageVariant::Other:
      break;
  }
  return kOtherFailure;
}

}  // namespace quillane::pagefile
