// The window stays legible wherever it runs: every caption fits its control in the font the
// system gives, the window fits the screen, and text stands out from its field on light and
// dark desktops, with and without the skin. CTest runs this program with the system's fonts,
// with DejaVu alone, on a 1024 by 768 screen and at a scale factor of 2 on 1280 by 800.
#include "window/Legibility.h"

#include "tests/window/WindowHarness.h"
#include "window/MainWindow.h"

#include <QApplication>
#include <QFontInfo>
#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QTest>

#include <algorithm>
#include <array>

namespace sheetfray::testing {

namespace {

struct Caption
{
    QWidget* control;
    QString text;
};

// Every control that shows a caption, with the caption.
std::vector<Caption> captions(QWidget& window)
{
    std::vector<Caption> found;
    for (QWidget* control : window.findChildren<QWidget*>()) {
        if (control->objectName().startsWith("qt_")) {
            continue;
        }
        if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            found.push_back({control, button->text()});
        } else if (auto* group = qobject_cast<QGroupBox*>(control);
                   group && !group->title().isEmpty()) {
            found.push_back({control, group->title()});
        } else if (auto* bar = qobject_cast<QProgressBar*>(control)) {
            found.push_back({control, bar->text()});
        }
    }
    return found;
}

// The width the caption may take: a push button's face inside its frame, an option button's
// width after its indicator and up to the next control on its row, a title's whole width.
int room(const QWidget& control)
{
    const QStyle& style = *control.style();
    const int frame = style.pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &control);
    if (qobject_cast<const QPushButton*>(&control)) {
        return control.width() - 2 * frame;
    }
    if (qobject_cast<const QRadioButton*>(&control)) {
        int right = control.width();
        for (const QWidget* sibling : control.parentWidget()->findChildren<QWidget*>(
                 QString(), Qt::FindDirectChildrenOnly)) {
            const QRect other = sibling->geometry();
            if (sibling != &control && other.top() <= control.geometry().center().y()
                && other.bottom() >= control.geometry().center().y() && other.x() > control.x()) {
                right = std::min(right, sibling->x() - control.x());
            }
        }
        return right - style.pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, &control)
            - style.pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, &control);
    }
    return control.width();
}

QPalette darkPalette()
{
    QPalette dark(QColor(53, 53, 53));
    dark.setColor(QPalette::Window, QColor(53, 53, 53));
    dark.setColor(QPalette::WindowText, Qt::white);
    dark.setColor(QPalette::Base, QColor(35, 35, 35));
    dark.setColor(QPalette::AlternateBase, QColor(66, 66, 66));
    dark.setColor(QPalette::Text, Qt::white);
    dark.setColor(QPalette::Button, QColor(53, 53, 53));
    dark.setColor(QPalette::ButtonText, Qt::white);
    dark.setColor(QPalette::Highlight, QColor(42, 130, 218));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        dark.setColor(QPalette::Disabled, role, QColor(127, 127, 127));
    }
    return dark;
}

// How far the text of a control stands out from its field: the lightness of the control's
// commonest pixel against the pixel farthest from it, in the window as drawn.
int inkContrast(const QImage& window, const QWidget& control)
{
    const double ratio = window.devicePixelRatio();
    const QRect place(control.mapTo(control.window(), QPoint(0, 0)) * ratio,
                      control.size() * ratio);
    // Text sits in the middle; the edges hold frames and bevels.
    const int edge = static_cast<int>(4 * ratio);
    const QRect middle = place.adjusted(edge, place.height() / 4, -edge, -place.height() / 4);
    std::array<int, 256> counts{};
    for (int y = middle.top(); y <= middle.bottom(); ++y) {
        for (int x = middle.left(); x <= middle.right(); ++x) {
            ++counts[static_cast<std::size_t>(window.pixelColor(x, y).lightness())];
        }
    }
    const auto field = static_cast<int>(std::ranges::max_element(counts) - counts.begin());
    int contrast = 0;
    for (int lightness = 0; lightness < 256; ++lightness) {
        if (counts[static_cast<std::size_t>(lightness)] > 0) {
            contrast = std::max(contrast, std::abs(lightness - field));
        }
    }
    return contrast;
}

} // namespace

class LegibilityTest : public QObject
{
    Q_OBJECT

private slots:

    void init() { QApplication::setPalette(m_desktop); }

    void cleanup() { QApplication::setPalette(m_desktop); }

    void everyCaptionFitsItsControl()
    {
        WindowHarness h;
        QVERIFY(h.start());
        const QString family = qEnvironmentVariable("SHEETFRAY_EXPECT_FONT");
        const bool laidOut = qEnvironmentVariableIsSet("SHEETFRAY_EXPECT_LAID_OUT_SIZES");
        const auto shown = captions(*h.window);
        QCOMPARE(shown.size(), std::size_t(27));
        for (const auto& [control, text] : shown) {
            const QString name = control->objectName();
            const QFontInfo font(control->font());
            if (!family.isEmpty()) {
                QCOMPARE(font.family(), family);
            }
            const int width =
                QFontMetrics(control->font()).size(Qt::TextShowMnemonic, text).width();
            QVERIFY2(width <= room(*control),
                     qPrintable(QStringLiteral("%1: \"%2\" takes %3 of %4 pixels")
                                    .arg(name, text)
                                    .arg(width)
                                    .arg(room(*control))));
            const double points = qobject_cast<QPushButton*>(control) ? 11.25 : 9;
            const double scale = h.window->width() / 1064.0;
            if (laidOut) {
                QCOMPARE(font.pointSizeF(), points);
            } else {
                // Smaller where it must be, but never to a size nobody reads.
                QVERIFY2(font.pointSizeF() >= points * scale * 0.7 - 0.01, qPrintable(name));
            }
        }
    }

    void mnemonicMarkersTakeNoRoom()
    {
        // A button just wide enough for its caption keeps its font when a mnemonic is marked.
        QWidget window;
        auto* button = new QRadioButton("Save each &column", &window);
        const QFont font = window.font();
        const int text = QFontMetrics(font).size(0, "Save each column").width();
        button->setGeometry(0, 0, 100, 20);
        button->setGeometry(0, 0, 100 - window::captionRoom(*button) + text, 20);
        window::fitCaption(*button, font);
        QCOMPARE(button->font().pointSizeF(), font.pointSizeF());
        button->setText("Save each column, longer");
        window::fitCaption(*button, font);
        QVERIFY(button->font().pointSizeF() < font.pointSizeF());
    }

    void windowFitsTheScreen()
    {
        WindowHarness h;
        QVERIFY(h.start());
        window::MainWindow& window = *h.window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QRect available = window.screen()->availableGeometry();
        QVERIFY2(available.contains(window.frameGeometry()),
                 qPrintable(QStringLiteral("%1,%2 %3x%4")
                                .arg(window.frameGeometry().x())
                                .arg(window.frameGeometry().y())
                                .arg(window.frameGeometry().width())
                                .arg(window.frameGeometry().height())));
        // Shrunk or not, the layout keeps its proportions and nothing leaves its container.
        QVERIFY(std::abs(window.width() * 474.0 / window.height() - 1064) < 8);
        for (QWidget* control : window.findChildren<QWidget*>()) {
            if (!control->objectName().isEmpty() && !control->objectName().startsWith("qt_")) {
                QVERIFY2(control->parentWidget()->rect().contains(control->geometry()),
                         qPrintable(control->objectName()));
            }
        }
    }

    void textStandsOutFromItsField_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::addColumn<bool>("skinned");
        QTest::newRow("light desktop") << false << false;
        QTest::newRow("dark desktop") << true << false;
        QTest::newRow("light desktop, skinned") << false << true;
        QTest::newRow("dark desktop, skinned") << true << true;
    }

    void textStandsOutFromItsField()
    {
        QFETCH(bool, dark);
        QFETCH(bool, skinned);
        WindowHarness h;
        if (skinned) {
            std::filesystem::create_directories(h.dir.path() / "program" / "x");
            std::filesystem::copy_file(SHEETFRAY_SKIN_FILE,
                                       h.dir.path() / "program" / "x" / "o.cjs");
        }
        if (dark) {
            QApplication::setPalette(darkPalette());
        }
        QVERIFY(h.start());
        window::MainWindow& window = *h.window;
        QVERIFY(!window.styleSheet().isEmpty() == skinned);
        window.findChild<QLineEdit*>("Text2")->setText("x;y");
        // On a light desktop the window keeps its laid-out white.
        if (!dark && !skinned) {
            QCOMPARE(window.palette().color(QPalette::Window), QColor(Qt::white));
        }
        QImage drawn = window.grab().toImage();
        for (const char* name :
             {"Option1", "Option7", "Text1", "Text2", "PushButton2", "ProgressBar1", "Option14"}) {
            QVERIFY2(inkContrast(drawn, *window.findChild<QWidget*>(name)) >= 120, name);
        }
        // A disabled button is greyed, yet still readable.
        auto* start = window.findChild<QPushButton*>("PushButton2");
        const int enabled = inkContrast(drawn, *start);
        start->setEnabled(false);
        drawn = window.grab().toImage();
        const int disabled = inkContrast(drawn, *start);
        QVERIFY2(disabled < enabled * 3 / 4 && disabled >= 30,
                 qPrintable(QStringLiteral("%1 against %2").arg(disabled).arg(enabled)));
    }

    void followsTheDesktopWhenItTurnsDark()
    {
        WindowHarness h;
        QVERIFY(h.start());
        window::MainWindow& window = *h.window;
        window.findChild<QLineEdit*>("Text2")->setText("x;y");
        QApplication::setPalette(darkPalette());
        // A running application tells its windows so; a test's never runs its event loop.
        QEvent changed(QEvent::ApplicationPaletteChange);
        QApplication::sendEvent(&window, &changed);
        const QImage drawn = window.grab().toImage();
        for (const char* name : {"Option1", "Text2", "Text1"}) {
            QVERIFY2(inkContrast(drawn, *window.findChild<QWidget*>(name)) >= 120, name);
        }
        QVERIFY(!window::isLight(window.palette().color(QPalette::Window)));
    }

private:
    QPalette m_desktop = QApplication::palette();
};

} // namespace sheetfray::testing

QTEST_MAIN(sheetfray::testing::LegibilityTest)
#include "LegibilityTest.moc"
