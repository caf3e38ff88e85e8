// The menu bar's 練習 and 記録 menus: every window of the grid's context menu, found without
// knowing that the grid has one.

#include <QAction>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMenuBar>

#include "analysis_menu.h"
#include "fonts.h"
#include "history_grid.h"
#include "history_model.h"

namespace keta {

QAction* AnalysisWindows::Action(const char* name, const char* text,
                                 void (AnalysisWindows::*open)()) {
    auto* action = new QAction(QString::fromUtf8(text), this);
    action->setObjectName(QString::fromLatin1(name));
    connect(action, &QAction::triggered, this, open);
    return action;
}

int AnalysisWindows::ChosenOrNewestRow() const {
    const int newest = model_.Rows() - 1;
    if (newest < 1) return 0;
    const QModelIndexList chosen = grid_.selectionModel() != nullptr
                                       ? grid_.selectionModel()->selectedIndexes()
                                       : QModelIndexList{};
    // Grid row r is the model's row r - 1; row 0 of the grid is its header.
    if (!chosen.isEmpty() && chosen.front().row() + 1 <= newest) return chosen.front().row() + 1;
    return newest;
}

void AnalysisWindows::AddToMenuBar(QMenuBar& bar) {
    QMenu* practice = bar.addMenu(QStringLiteral("練習(&P)"));
    practice->setObjectName(QStringLiteral("practiceMenu"));
    practice->addActions({sessionAction_, focusAction_, calendarAction_});

    QMenu* records = bar.addMenu(QStringLiteral("記録(&R)"));
    records->setObjectName(QStringLiteral("recordsMenu"));
    QAction* curve = records->addAction(QStringLiteral("作業曲線(&W)"));
    curve->setObjectName(QStringLiteral("menuWorkCurve"));
    connect(curve, &QAction::triggered, this, [this] { OpenWorkCurve(ChosenOrNewestRow()); });
    records->addActions({progressAction_, pairsAction_, sessionListAction_});
    records->addSeparator();
    QMenu* csv = records->addMenu(QStringLiteral("CSV の書き出し(&E)"));
    csv->setObjectName(QStringLiteral("csvMenu"));
    csv->addActions({historyCsvAction_, answersCsvAction_});
    // A work curve needs a saved round; the entry says so by being grey until there is one.
    connect(records, &QMenu::aboutToShow, this,
            [this, curve] { curve->setEnabled(ChosenOrNewestRow() > 0); });
    for (QMenu* menu : {practice, records, csv}) menu->setFont(GothicFont(9));
}

}  // namespace keta
