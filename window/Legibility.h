// What keeps the window legible where it runs: captions that fit their controls in whatever
// font the system gives for Arial, a window that fits the screen, and colours that follow the
// desktop's light or dark palette.
#pragma once

#include <QFont>
#include <QPalette>
#include <QProxyStyle>
#include <QRect>
#include <QSize>
#include <QString>

class QWidget;

namespace sheetfray::window {

// A caption keeps at least this share of its laid-out size, even when it then overflows.
inline constexpr double SmallestFontShare = 0.7;

// The room a frame around the window takes on the screen (borders and title bar), kept free
// when the window is scaled to the screen.
inline constexpr QSize FrameRoom{24, 64};

// The caption a control shows: a button's text, a group box's title, the progress bar's
// caption; empty for the others.
[[nodiscard]] QString captionOf(const QWidget& control);

// The width in pixels the caption takes in the font, without the "&" of a mnemonic.
[[nodiscard]] int captionWidth(const QFont& font, const QString& caption);

// The width in pixels the control's style leaves its caption: a button's face inside its
// bevel and margin, an option button's width beside its indicator, a group box's width.
[[nodiscard]] int captionRoom(const QWidget& control);

// Gives the control the laid-out font, or the same font just small enough that the caption
// fits its room, though never below SmallestFontShare of the laid-out size.
void fitCaption(QWidget& control, const QFont& laidOut);

// The factor by which a window of the given size must shrink so that it fits, with its frame,
// in the screen's free area; 1 when it fits as laid out.
[[nodiscard]] double screenScale(QSize window, QRect available);

// The application's style with its indicators and margins scaled as the window's geometry and
// fonts are, so option buttons shrunk with the window keep their whole circle.
class ScaledStyle final : public QProxyStyle
{
public:
    explicit ScaledStyle(double scale);

    int pixelMetric(PixelMetric metric,
                    const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
    void drawPrimitive(PrimitiveElement element,
                       const QStyleOption* option,
                       QPainter* painter,
                       const QWidget* widget = nullptr) const override;

private:
    double m_scale;
};

// Whether a colour reads as light, that is dark text belongs on it.
[[nodiscard]] bool isLight(const QColor& colour);

// A palette that sets only the role, to white wherever the desktop has it light: the laid-out
// look on a light desktop; on a dark one the role is left to the desktop.
[[nodiscard]] QPalette whiteWhereLight(const QPalette& desktop, QPalette::ColorRole role);

} // namespace sheetfray::window
