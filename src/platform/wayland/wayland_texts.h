#pragma once
// Texts of the Wayland sources that base/texts.h does not have yet (to move there).
namespace kvr::text {

// Active Form on a desktop that gives programs no way to the active window.
inline constexpr char kActiveWindowUnsupported[] =
    "このデスクトップではアクティブウィンドウを取得できません";
// The compositor offers the screen's pixels only in a layout this program cannot read.
inline constexpr char kUnsupportedPixelFormat[] = "画面の画素形式 (%1) には対応していません";

}  // namespace kvr::text
