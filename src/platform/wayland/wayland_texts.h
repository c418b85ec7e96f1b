#pragma once
// Texts of the Wayland sources that base/texts.h does not have yet (to move there).
namespace kvr::text {

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

}  // namespace kvr::text
