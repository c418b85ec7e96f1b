#pragma once
// Every fixed text the user reads, in one place. Texts with %1, %2 take their values through
// fillText; the user interface may translate a text before filling it.
#include <initializer_list>
#include <string>
#include <string_view>

namespace kvr::text {

// Titles of the main window (the taskbar's text).
inline constexpr char kTitle[] = "Kelvoro";
inline constexpr char kCountdown[] = "%1秒前";
inline constexpr char kShooting[] = "撮影中";

// Message boxes.
inline constexpr char kErrorCaption[] = "エラー";
inline constexpr char kUnsupportedOs[] = "このOSには対応していません";
inline constexpr char kNoFreeName[] =
    "９９個以上は連続保存できません\r\nファイルを[リネーム]して下さい";
inline constexpr char kUnknownError[] = "不明なエラーが発生しました";

// Errors of a shot.
inline constexpr char kNoWindow[] = "Windowの取得に失敗しました";
inline constexpr char kNoResources[] = "システム リソースが足りません";
inline constexpr char kCannotCreateFile[] = "ファイル \"%1\". %2 を作成できません";
inline constexpr char kWriteError[] = "ストリームへの書き込みエラー";
inline constexpr char kJpegError[] = "JPEG エラー #%1";
inline constexpr char kJpegNoMemory[] = "メモリストリームの拡大中にメモリが足りなくなりました";

// Errors of the settings file and of number conversion.
inline constexpr char kCannotWrite[] = "%1 に書き込めません";
inline constexpr char kNotInteger[] = "'%1' は整数ではありません";

// Dialogs and controls.
inline constexpr char kChooseFolder[] = "出力場所の指定";
inline constexpr char kIncrease[] = "増やす";
inline constexpr char kDecrease[] = "減らす";
// The self-timer's value as a screen reader says it.
inline constexpr char kSeconds[] = "%1秒";

// The word after a shot (a desktop notification): the file's name, then its folder.
inline constexpr char kSavedSummary[] = "撮影しました";
inline constexpr char kSavedBody[] = "%1 を %2 に保存しました";
inline constexpr char kOpenFolder[] = "フォルダを開く";

// Printed when the display cannot be reached, before any window exists.
inline constexpr char kNoDisplay[] = "cannot connect to X display %1";
inline constexpr char kNoDisplaySet[] = "cannot connect to X display (DISPLAY is not set)";
inline constexpr char kNoWaylandDisplay[] = "cannot connect to Wayland display %1";

}  // namespace kvr::text

namespace kvr {

// Puts the values in place of %1, %2, ... in one pass (a value that holds "%2" stays as it is).
std::string fillText(std::string_view text, std::initializer_list<std::string_view> values);

}  // namespace kvr
