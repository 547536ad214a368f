// The main window's controls as laid out: kind, container, place and size in twips, tab
// index and caption.
#pragma once

#include <QtGlobal>

#include <span>
#include <string_view>

namespace sheetfray::window {

enum class ControlKind {
    Frame, // a group box; without a caption, a plain frame
    Option, // an option (radio) button
    Text, // a single-line text box
    List, // the file list
    Progress, // the progress bar, its text shown inside the bar
    Button, // a push button
};

// Places are from the top-left corner of the container's client area, in twips (1/1440
// inch). NoTab marks a control outside the tab order.
struct ControlSpec
{
    std::string_view name;
    ControlKind kind;
    std::string_view container; // empty: the window
    int left;
    int top;
    int width;
    int height;
    int tab;
    std::string_view caption;
};

// The window's object name, and its title until start-up gives it the caption.
inline constexpr std::string_view WindowName = "Form1";

// The window's client area in twips.
inline constexpr int WindowWidthTwips = 15960;
inline constexpr int WindowHeightTwips = 7110;

// The controls in stacking order, first lowest; a container comes before what it holds.
[[nodiscard]] std::span<const ControlSpec> controlTable();

// The list's hint while the pointer rests on it.
inline constexpr std::string_view ListToolTip = QT_TRANSLATE_NOOP(
    "Sheetfray",
    "Drag and drop files here. Double-click item to remove it. Move | line to right and out "
    "of window to reveal full names.");

// Twips at a screen's logical dots per inch, in whole pixels (fractions dropped).
[[nodiscard]] int twipsToPixels(int twips, double dotsPerInch);

} // namespace sheetfray::window
