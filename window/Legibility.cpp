#include "window/Legibility.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QGroupBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace sheetfray::window {

namespace {

// Font sizes are tried in quarter points.
constexpr double PointStep = 0.25;
// Pixels kept clear between a caption and a control beside it.
constexpr int GapBeforeNeighbour = 3;

QStyleOptionButton buttonOption(const QAbstractButton& button)
{
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    return option;
}

} // namespace

QString captionOf(const QWidget& control)
{
    if (const auto* button = qobject_cast<const QAbstractButton*>(&control)) {
        return button->text();
    }
    if (const auto* group = qobject_cast<const QGroupBox*>(&control)) {
        return group->title();
    }
    if (const auto* bar = qobject_cast<const QProgressBar*>(&control)) {
        return bar->text();
    }
    return {};
}

int captionWidth(const QFont& font, const QString& caption)
{
    return QFontMetrics(font).size(Qt::TextShowMnemonic, caption).width();
}

int captionRoom(const QWidget& control)
{
    const QStyle& style = *control.style();
    if (const auto* button = qobject_cast<const QRadioButton*>(&control)) {
        const QStyleOptionButton option = buttonOption(*button);
        const QRect contents =
            style.subElementRect(QStyle::SE_RadioButtonContents, &option, button);
        int right = contents.right() + 1;
        // A control beside it on the same row (the custom separator's box) ends the room.
        const QRect place = button->geometry();
        if (const QWidget* container = button->parentWidget()) {
            for (const QWidget* sibling :
                 container->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
                const QRect other = sibling->geometry();
                const bool sameRow =
                    other.top() <= place.center().y() && other.bottom() >= place.center().y();
                if (sibling != button && !sibling->isHidden() && sameRow
                    && other.left() > place.left() + contents.left()) {
                    right = std::min(right, other.left() - place.left() - GapBeforeNeighbour);
                }
            }
        }
        return right - contents.left();
    }
    if (const auto* button = qobject_cast<const QPushButton*>(&control)) {
        const QStyleOptionButton option = buttonOption(*button);
        // The text keeps half the style's margin clear on either side of the bevel.
        return style.subElementRect(QStyle::SE_PushButtonContents, &option, button).width()
            - style.pixelMetric(QStyle::PM_ButtonMargin, &option, button);
    }
    const int frame = style.pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &control);
    return control.width() - 2 * frame;
}

void fitCaption(QWidget& control, const QFont& laidOut)
{
    control.setFont(laidOut);
    const QString caption = captionOf(control);
    const int room = captionRoom(control);
    const int width = captionWidth(laidOut, caption);
    if (caption.isEmpty() || width <= room || room <= 0) {
        return;
    }
    const double smallest = laidOut.pointSizeF() * SmallestFontShare;
    // Text widths grow almost in step with the size: start from the proportional guess and
    // step down while the hinted glyphs still overflow.
    double points = std::floor(laidOut.pointSizeF() * room / width / PointStep) * PointStep;
    QFont font = laidOut;
    font.setPointSizeF(std::max(points, smallest));
    while (points - PointStep >= smallest && captionWidth(font, caption) > room) {
        points -= PointStep;
        font.setPointSizeF(points);
    }
    control.setFont(font);
}

double screenScale(QSize window, QRect available)
{
    const QSize room = available.size() - FrameRoom;
    if (window.isEmpty() || (window.width() <= room.width() && window.height() <= room.height())) {
        return 1;
    }
    const double across = static_cast<double>(room.width()) / window.width();
    const double down = static_cast<double>(room.height()) / window.height();
    // A screen smaller than any frame still gets a window, if a tiny one.
    return std::clamp(std::min(across, down), 0.1, 1.0);
}

ScaledStyle::ScaledStyle(double scale)
    : m_scale(scale)
{}

int ScaledStyle::pixelMetric(PixelMetric metric,
                             const QStyleOption* option,
                             const QWidget* widget) const
{
    const int laidOut = QProxyStyle::pixelMetric(metric, option, widget);
    switch (metric) {
    case PM_ExclusiveIndicatorWidth:
    case PM_ExclusiveIndicatorHeight:
    case PM_IndicatorWidth:
    case PM_IndicatorHeight:
    case PM_RadioButtonLabelSpacing:
    case PM_ButtonMargin:
    case PM_LayoutLeftMargin:
    case PM_LayoutTopMargin:
    case PM_LayoutRightMargin:
    case PM_LayoutBottomMargin:
        return std::max(1, static_cast<int>(std::lround(laidOut * m_scale)));
    default:
        return laidOut;
    }
}

void ScaledStyle::drawPrimitive(PrimitiveElement element,
                                const QStyleOption* option,
                                QPainter* painter,
                                const QWidget* widget) const
{
    const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option);
    if (element != PE_FrameGroupBox || !frame) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    // Some styles set a group box's frame below the title by their unscaled indicator height
    // instead of asking for the metric: move the frame up by what the scaling saved.
    const int height = option->fontMetrics.height();
    const int unscaled =
        std::max(QProxyStyle::pixelMetric(PM_ExclusiveIndicatorHeight, option, widget), height);
    const int scaled = std::max(pixelMetric(PM_ExclusiveIndicatorHeight, option, widget), height);
    QStyleOptionFrame moved = *frame;
    moved.rect.setTop(moved.rect.top() - (unscaled - scaled));
    QProxyStyle::drawPrimitive(element, &moved, painter, widget);
}

bool isLight(const QColor& colour)
{
    return colour.lightness() >= 128;
}

QPalette whiteWhereLight(const QPalette& desktop, QPalette::ColorRole role)
{
    // Only the role is set, so every other colour keeps following the desktop.
    QPalette palette;
    for (const QPalette::ColorGroup group :
         {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        if (isLight(desktop.color(group, role))) {
            palette.setColor(group, role, Qt::white);
        }
    }
    return palette;
}

} // namespace sheetfray::window
