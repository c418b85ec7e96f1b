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
// "Shot" while a countdown runs and the window is back on screen: pressing it stops the count.
inline constexpr char kCancelCountdown[] = "中止 (%1)";
inline constexpr char kCancelCountdownName[] = "カウントダウンを中止";

// Message boxes.
inline constexpr char kErrorCaption[] = "エラー";
inline constexpr char kUnsupportedOs[] = "このOSには対応していません";
// %1: the output folder, on a line of its own.
inline constexpr char kNoFreeName[] =
    "９９個以上は連続保存できません\r\n%1\r\nファイルを[リネーム]して下さい";
inline constexpr char kUnknownError[] = "不明なエラーが発生しました";

// Errors of a shot.
inline constexpr char kNoWindow[] = "Windowの取得に失敗しました";
inline constexpr char kNoResources[] = "システム リソースが足りません";
// The path, what failed, then the reason (%2), which may run long.
inline constexpr char kCannotCreateFile[] = "ファイル \"%1\" を作成できません: %2";
// Reasons for kCannotCreateFile and kWriteError (the last value): the usual ones in the user's
// language; any other is the system's own strerror text.
inline constexpr char kNotRegularFile[] = "通常のファイルではありません";  // a pipe or a device
inline constexpr char kReasonAccess[] = "アクセスが拒否されました";
inline constexpr char kReasonReadOnly[] = "読み取り専用のファイル システムです";
inline constexpr char kReasonNoSpace[] = "ディスクに空きがありません";
inline constexpr char kReasonTooLarge[] = "ファイルが大きすぎます";  // the file-size limit
inline constexpr char kReasonQuota[] = "ディスクの使用量が上限を超えました";
inline constexpr char kReasonNoFolder[] = "フォルダが見つかりません";
inline constexpr char kReasonNotFolder[] = "パスの途中にフォルダでないものがあります";
inline constexpr char kReasonIsFolder[] = "同じ名前のフォルダがあります";
inline constexpr char kReasonNameTooLong[] = "名前が長すぎます";
inline constexpr char kReasonExists[] = "同じ名前のファイルがあります";
inline constexpr char kReasonSymbolicLink[] =
    "シンボリック リンクです (リンクの先には書き込みません)";
// A write cut short (a full disk): the file and the reason.
inline constexpr char kWriteError[] = "ファイル \"%1\" のストリームへの書き込みエラー: %2";
inline constexpr char kStdoutWriteError[] = "標準出力のストリームへの書き込みエラー: %1";
inline constexpr char kJpegError[] = "JPEG エラー #%1";
inline constexpr char kWebpError[] = "WebP エラー #%1";
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
// KWin answers, but without its screenshot service: KWin loads it only with compositing
// (desktop effects) on (%1: the object that is missing).
inline constexpr char kKWinNoScreenShot[] =
    "KWin に画面取得のサービス (%1) がありません\r\n"
    "KWin の合成 (デスクトップ エフェクト) が動いているときだけ提供されます";
// A D-Bus call to the desktop failed in a way no other message covers (%1: what was called,
// %2: the error's name, %3: its text).
inline constexpr char kDBusCallFailed[] = "%1 の呼び出しが失敗しました: %2\r\n%3";
// GNOME took the question unanswered as no answer, and may still show it: nothing that answer
// gives is kept, so it is closed and the next shot asks anew.
inline constexpr char kPortalQuestionLeftOpen[] =
    "画面の取得を許可するかどうかの確認に答えがありませんでした\r\n"
    "確認がまだ表示されていれば閉じてから、もう一度撮影して下さい。また確認されます";

// Capture choices a desktop cannot honour (the options dialog's reason for a disabled choice).
inline constexpr char kPortalNoPointerMonitor[] =
    "このデスクトップでは、マウスポインタのあるモニターを選んで撮影できません";
inline constexpr char kPortalNoNamedOutput[] =
    "このデスクトップでは、モニターを名前で選んで撮影できません";
inline constexpr char kPortalNoPointer[] = "このデスクトップでは、マウスポインタを写せません";

// A part of the program that needs the toolkit could not be loaded (%1: its file, %2: why).
inline constexpr char kCannotLoadModule[] = "モジュール %1 を読み込めません: %2";

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

// The command line (kvr --shot): usage errors (%1: the word at fault), the hint after them,
// what a copy to the clipboard says, and the help.
inline constexpr char kCliUnknownOption[] = "不明なオプション '%1'";
inline constexpr char kCliValueMissing[] = "オプション '%1' には値が必要です";
inline constexpr char kCliNoValueWanted[] = "オプション '%1' は値を取りません";
inline constexpr char kCliUnexpectedArgument[] = "余分な引数 '%1'";
inline constexpr char kCliBadDelay[] = "待ち時間 '%1' は 0 から 3600 までの秒数で指定して下さい";
inline constexpr char kCliBadMonitor[] =
    "モニター '%1' は primary、pointer、all または出力名で指定して下さい";
inline constexpr char kCliBadType[] =
    "形式 '%1' は jpeg、png、bmp、webp のいずれかで指定して下さい";
inline constexpr char kCliBadQuality[] = "品質 '%1' は 1 から 100 までで指定して下さい";
inline constexpr char kCliWindowAndMonitor[] = "--window と --monitor は同時に指定できません";
inline constexpr char kCliRegionAndMonitor[] =
    "--region と --geometry は --monitor と同時に指定できません "
    "(範囲はすべてのモニターから選びます)";
inline constexpr char kCliBadGeometry[] =
    "範囲 '%1' は 幅x高さ+X+Y (例: 1280x720+0+0) で指定して下さい";
inline constexpr char kCliStdoutTerminal[] =
    "画像を端末には書き出しません (-o - はパイプかファイルへ向けて下さい)";
inline constexpr char kCliTryHelp[] = "使い方は 'kvr --help' で表示されます";
inline constexpr char kCliTypeAndName[] = "形式と出力 '%1' の拡張子が合いません";
inline constexpr char kCliMonitorNames[] = "使えるモニター: %1";
inline constexpr char kCliNoClipboard[] = "クリップボードにコピーできません: %1";
inline constexpr char kCopiedSummary[] = "クリップボードにコピーしました";
inline constexpr char kCliUsage[] =
    "使い方: kvr                     ウィンドウを開きます\n"
    "        kvr --shot [オプション...]  ウィンドウなしで 1 枚撮影して終了します\n"
    "  -d, --delay=秒数          先に待ちます (0〜3600、既定 0)。端末ならカウントダウンを表示\n"
    "  -w, --window              アクティブ ウィンドウ (既定: 画面)\n"
    "  -r, --region              待ってから撮った画面の上で範囲を選びます (Esc で取り消し)\n"
    "  -g, --geometry=幅x高さ+X+Y  デスクトップ全体のこの範囲 (物理ピクセル、左上から)\n"
    "  -m, --monitor=対象        primary、pointer、all、または出力名 (既定: 設定の選択)\n"
    "  -t, --type=jpeg|png|bmp|webp 既定: 出力の拡張子、なければ保存された選択\n"
    "  -o, --output=パス         ファイル、フォルダ (ウィンドウと同じ連番の名前)、- で標準出力\n"
    "  -q, --quality=1..100      JPEG の品質 (既定: 設定の段階 × 10)\n"
    "      --grey                グレースケール (どの形式でも)\n"
    "  -p, --pointer             マウス ポインタを含めます (既定: 設定の選択)\n"
    "      --no-pointer          設定にあっても今回はポインタを含めません\n"
    "  -c, --clipboard           画像をクリップボードにコピーします (既定: 設定の選択)\n"
    "      --no-clipboard        設定にあっても今回はコピーしません\n"
    "  -n, --no-notify           デスクトップ通知を出しません\n"
    "  -h, --help                この説明を表示します\n"
    "  -V, --version             版を表示します\n"
    "-h と -V 以外のオプションは --shot を含みます。-o がなければ、設定の出力場所に\n"
    "ウィンドウと同じ名前で保存し、そのパスを標準出力に書きます。\n"
    "終了コード: 0 保存しました、1 撮影か書き込みに失敗しました、2 使い方の誤り\n";

// The options dialog's capture page, and why a source cannot honour one of its choices (the
// disabled control's tooltip and accessible description).
inline constexpr char kCapturePage[] = "撮影";
inline constexpr char kMonitorLabel[] = "全画面のモニター";
inline constexpr char kMonitorPrimary[] = "プライマリモニター";
inline constexpr char kMonitorUnderPointer[] = "マウスポインタのあるモニター";
inline constexpr char kMonitorAll[] = "すべてのモニター";
inline constexpr char kIncludePointer[] = "マウスポインタを含める";
inline constexpr char kCopyToClipboard[] = "クリップボードにもコピーする";
inline constexpr char kShowCountdown[] = "画面にカウントダウンを表示する";
inline constexpr char kNoPointerMonitor[] =
    "このデスクトップはマウスポインタのあるモニターを教えません";
inline constexpr char kNoPointerPicture[] =
    "このデスクトップはマウスポインタを画像に含められません";
inline constexpr char kNoSuchMonitor[] = "モニター %1 が見つかりません";
inline constexpr char kUseLastRegion[] = "前回の範囲を使う";

// The third capture choice: a rectangle chosen on the picture taken when the countdown ends.
inline constexpr char kRegion[] = "範囲";
inline constexpr char kRegionHint[] = "カウントダウンの後、撮った画面の上で範囲を選んで撮影";
// The selection itself, as a screen reader names it.
inline constexpr char kRegionSelection[] =
    "範囲の選択: ドラッグで範囲、Enter で決定、Esc で取り消し";
// A rectangle (%1, as WxH+X+Y) that lies on no monitor.
inline constexpr char kRegionOffMonitors[] = "範囲 %1 はどのモニターにも掛かっていません";
// The session gives no way to show the selection over the screen.
inline constexpr char kRegionUnsupported[] = "このデスクトップでは範囲を選べません";

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
