#pragma once
// A figure's value beside its caption. A screen reader reads the label by its accessible name,
// so the name carries both the caption and the value ("平均の速さ 1.10 問/秒"), kept up to date
// whenever the value changes.

#include <QLabel>
#include <QString>

namespace keta {

class FigureLabel : public QLabel {
    Q_OBJECT
public:
    explicit FigureLabel(QString caption, QWidget* parent = nullptr);

    // Shows `value` and names the label "<caption> <value>". Hides QLabel::setText on purpose:
    // every caller that holds a FigureLabel updates both at once.
    void setText(const QString& value);
    const QString& Caption() const { return caption_; }

private:
    QString caption_;
};

// Sizes a top-level window to its wanted size, but never larger than the available area of the
// screen it opens on (at any scale factor), and places its frame inside that area.
void FitToScreen(QWidget& window);
// Places a top-level window centred over `over` (the window it was opened from), inside the
// screen, instead of where the window system puts a new window.
void CentreOver(QWidget& window, const QWidget& over);

}  // namespace keta
