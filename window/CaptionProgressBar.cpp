#include "window/CaptionProgressBar.h"

#include <QFontMetrics>

#include <algorithm>
#include <cmath>

namespace sheetfray::window {

namespace {

// The bar counts hundredths of a percent, so a third of the way draws as a third.
constexpr int Steps = 10000;

} // namespace

CaptionProgressBar::CaptionProgressBar(QWidget* parent)
    : QProgressBar(parent)
{
    setRange(0, Steps);
    // Without a value at the minimum the bar paints no text at all.
    setValue(0);
    setTextVisible(true);
    setAlignment(Qt::AlignCenter);
}

void CaptionProgressBar::setCaption(const QString& caption)
{
    if (caption == m_caption) {
        return;
    }
    m_caption = caption;
    update();
}

QString CaptionProgressBar::text() const
{
    const QFontMetrics metrics = fontMetrics();
    // The style keeps a few pixels clear at either end of the text.
    const int room = contentsRect().width() - 8;
    if (metrics.horizontalAdvance(m_caption) <= room) {
        return m_caption;
    }
    const qsizetype split = m_caption.lastIndexOf(QStringLiteral(" - "));
    if (split <= 0) {
        return metrics.elidedText(m_caption, Qt::ElideMiddle, room);
    }
    const QString tail = m_caption.mid(split);
    return metrics.elidedText(
               m_caption.left(split), Qt::ElideMiddle, room - metrics.horizontalAdvance(tail))
        + tail;
}

void CaptionProgressBar::setPercent(double percent)
{
    m_percent = percent;
    const double clamped = std::clamp(percent, 0.0, 100.0);
    setValue(static_cast<int>(std::lround(clamped * Steps / 100)));
}

} // namespace sheetfray::window
