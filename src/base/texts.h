#pragma once
// Every fixed text the user reads, in one place. Texts with %1, %2 take their values through
// fillText; the user interface may translate a text before filling it.
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

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
// The reason, in the system's own words, when the output name is a pipe or a device.
inline constexpr char kNotRegularFile[] = "Not a regular file";
inline constexpr char kWriteError[] = "ストリームへの書き込みエラー";
inline constexpr char kJpegError[] = "JPEG エラー #%1";
inline constexpr char kJpegNoMemory[] = "メモリストリームの拡大中にメモリが足りなくなりました";

// Errors of the sources of pixels on Wayland desktops.
// Active Form on a desktop that gives programs no way to the active window.
inline constexpr char kActiveWindowUnsupported[] =
    "このデスクトップではアクティブウィンドウを取得できません";
// The compositor offers the screen's pixels only in a layout this program cannot read.
inline constexpr char kUnsupportedPixelFormat[] = "画面の画素形式 (%1) には対応していません";

// KWin refused ScreenShot2: the fix is a desktop entry naming this program (%1: its path).
inline constexpr char kKWinNotAuthorized[] =
    "KWin が画面の取得を許可していません\r\n"
    "Exec=%1 と X-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2 を持つデスクトップ "
    "エントリを ~/.local/share/applications に置いて下さい";
// The screenshot portal: none on the bus; the user said no; it failed; it never answered.
inline constexpr char kNoPortal[] =
    "デスクトップ ポータル (xdg-desktop-portal) の Screenshot が見つかりません";
inline constexpr char kPortalDenied[] = "画面の取得が許可されませんでした";
inline constexpr char kPortalFailed[] = "デスクトップ ポータルが画面を取得できませんでした";
inline constexpr char kPortalNoAnswer[] = "デスクトップ ポータルが %1 秒以内に応答しませんでした";

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

// The options dialog's capture page, and why a source cannot honour one of its choices (the
// disabled control's tooltip and accessible description).
inline constexpr char kCapturePage[] = "撮影";
inline constexpr char kMonitorLabel[] = "全画面のモニター";
inline constexpr char kMonitorPrimary[] = "プライマリモニター";
inline constexpr char kMonitorUnderPointer[] = "マウスポインタのあるモニター";
inline constexpr char kMonitorAll[] = "すべてのモニター";
inline constexpr char kIncludePointer[] = "マウスポインタを含める";
inline constexpr char kCopyToClipboard[] = "クリップボードにもコピーする";
inline constexpr char kNoPointerMonitor[] =
    "このデスクトップはマウスポインタのあるモニターを教えません";
inline constexpr char kNoPointerPicture[] =
    "このデスクトップはマウスポインタを画像に含められません";
inline constexpr char kNoSuchMonitor[] = "モニター %1 が見つかりません";

// Printed when the display cannot be reached, before any window exists.
inline constexpr char kNoDisplay[] = "cannot connect to X display %1";
inline constexpr char kNoDisplaySet[] = "cannot connect to X display (DISPLAY is not set)";
inline constexpr char kNoWaylandDisplay[] = "cannot connect to Wayland display %1";

}  // namespace kvr::text

namespace kvr {

// 0..15 for a hexadecimal digit, -1 for any other character.
int hexDigitValue(char c);

// Puts the values in place of %1, %2, ... in one pass (a value that holds "%2" stays as it is).
std::string fillText(std::string_view text, std::initializer_list<std::string_view> values);
std::string fillText(std::string_view text, const std::vector<std::string>& values);

}  // namespace kvr
