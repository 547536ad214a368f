// A progress bar that shows a caption of its own inside the bar instead of a percentage.
#pragma once

#include <QProgressBar>
#include <QString>

namespace sheetfray::window {

class CaptionProgressBar final : public QProgressBar
{
public:
    explicit CaptionProgressBar(QWidget* parent = nullptr);

    // The caption is shown as it stands: a "%" in a file name is no placeholder.
    void setCaption(const QString& caption);

    // The caption as the bar shows it: one too wide for the bar loses the middle of its part
    // before the last " - " (the workbook's name), so what follows stays whole.
    [[nodiscard]] QString text() const override;

    // The value as a percentage from 0 to 100, fractions kept (33.33... for one of three).
    void setPercent(double percent);

    [[nodiscard]] double percent() const { return m_percent; }

private:
    QString m_caption;
    double m_percent = 0;
};

} // namespace sheetfray::window
