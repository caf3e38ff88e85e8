#include "answer_row.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

#include "fonts.h"

namespace keta {

double RowPointsFor(const QWidget& window) {
    const QScreen* shown =
        window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
    const int available = shown != nullptr ? shown->availableGeometry().width() : 1280;
    return std::clamp(available / 52.0, 10.0, 24.0);
}

AnswerRowWidgets BuildAnswerRow(QGridLayout& grid, double boxPoints, QObject* context,
                                const std::function<void(int)>& edited) {
    AnswerRowWidgets row;
    grid.setHorizontalSpacing(2);
    for (int i = 0; i < kDigitCount; ++i) {
        auto* digit = new QLabel;
        digit->setObjectName(QStringLiteral("digit%1").arg(i + 1));
        digit->setFont(GothicFont(boxPoints + 4));
        digit->setAlignment(Qt::AlignCenter);
        row.digits[static_cast<std::size_t>(i)] = digit;
        grid.addWidget(digit, 0, 2 * i, 1, 2);
    }
    for (int b = 1; b <= kBoxCount; ++b) {
        auto* box = new QLineEdit;
        box->setObjectName(QStringLiteral("box%1").arg(b));
        box->setAccessibleName(QStringLiteral("答え %1").arg(b));
        box->setFont(GothicFont(boxPoints));
        box->setAlignment(Qt::AlignCenter);
        box->setAttribute(Qt::WA_InputMethodEnabled, false);
        box->setFixedWidth(QFontMetrics(box->font()).horizontalAdvance(QStringLiteral("00")) + 12);
        row.boxes[static_cast<std::size_t>(b)] = box;
        grid.addWidget(box, 1, 2 * b - 1, 1, 2, Qt::AlignCenter);
        QObject::connect(box, &QLineEdit::textEdited, context, [edited, b] { edited(b); });
    }
    return row;
}

}  // namespace keta
