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
// Reasons for kCannotCreateFile (%2): the usual ones in the user's language; any other is the
// system's own strerror text.
inline constexpr char kNotRegularFile[] = "通常のファイルではありません";  // a pipe or a device
inline constexpr char kReasonAccess[] = "アクセスが拒否されました";
inline constexpr char kReasonReadOnly[] = "読み取り専用のファイル システムです";
inline constexpr char kReasonNoSpace[] = "ディスクに空きがありません";
inline constexpr char kReasonQuota[] = "ディスクの使用量が上限を超えました";
inline constexpr char kReasonNoFolder[] = "フォルダが見つかりません";
inline constexpr char kReasonNotFolder[] = "パスの途中にフォルダでないものがあります";
inline constexpr char kReasonIsFolder[] = "同じ名前のフォルダがあります";
inline constexpr char kReasonNameTooLong[] = "名前が長すぎます";
inline constexpr char kReasonExists[] = "同じ名前のファイルがあります";
inline constexpr char kReasonSymbolicLink[] =
    "シンボリック リンクです (リンクの先には書き込みません)";
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
// A refusal the desktop keeps: how to have it ask again (%1: the command).
inline constexpr char kPortalDeniedAllowAgain[] =
    "画面の取得が許可されませんでした\r\n"
    "許可し直すには、次のコマンドを実行してから撮影して下さい。もう一度確認されます:\r\n%1";
// The desktop's question whether programs may take screenshots went away unanswered.
inline constexpr char kPortalQuestionUnanswered[] =
    "画面の取得を許可するかどうかの確認に答えがありませんでした\r\n"
    "もう一度撮影すると、また確認されます";
// The person closed the desktop's own screenshot dialog without a picture.
inline constexpr char kShotCancelled[] = "撮影は取り消されました";

// Capture choices a desktop cannot honour (the options dialog's reason for a disabled choice).
inline constexpr char kPortalNoPointerMonitor[] =
    "このデスクトップでは、マウスポインタのあるモニタを選んで撮影できません";
inline constexpr char kPortalNoNamedOutput[] =
    "このデスクトップでは、モニタを名前で選んで撮影できません";
inline constexpr char kPortalNoPointer[] = "このデスクトップでは、マウスポインタを写せません";

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
