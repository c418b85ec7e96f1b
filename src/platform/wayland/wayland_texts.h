#pragma once
// The user's messages of the Wayland sources that base/texts.h does not hold yet. They belong
// with the others there; until then they live here, under the same namespace and style.

namespace kvr::text {

// Active Form where the desktop gives no program the active window (GNOME, the portal, a KWin
// that has not authorised this program).
inline constexpr char kNoActiveWindowHere[] =
    "このデスクトップではアクティブウィンドウを取得できません";
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
