#include "help_window.h"

#include <QAction>
#include <QGuiApplication>
#include <QKeySequence>
#include <QScreen>
#include <QStyle>
#include <QToolBar>
#include <utility>

#include "chm_archive.h"
#include "help_browser.h"

namespace keta::help {

HelpWindow::HelpWindow(std::shared_ptr<const ChmArchive> archive, QWidget* owner,
                       const QString& topic)
    : QMainWindow(owner, Qt::Window), archive_(std::move(archive)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_QuitOnClose, false);
    setObjectName(QStringLiteral("keta_help_window"));

    browser_ = new HelpBrowser(archive_, this);
    browser_->setObjectName(QStringLiteral("keta_help_browser"));
    setCentralWidget(browser_);

    QToolBar* bar = addToolBar(QStringLiteral("ナビゲーション"));
    bar->setObjectName(QStringLiteral("keta_help_toolbar"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bar->toggleViewAction()->setEnabled(false);

    QAction* back =
        bar->addAction(style()->standardIcon(QStyle::SP_ArrowBack), QStringLiteral("戻る"));
    back->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Left));
    back->setToolTip(QStringLiteral("前のページへ戻ります (Alt+←)"));
    back->setEnabled(false);
    QAction* forward =
        bar->addAction(style()->standardIcon(QStyle::SP_ArrowForward), QStringLiteral("進む"));
    forward->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Right));
    forward->setToolTip(QStringLiteral("次のページへ進みます (Alt+→)"));
    forward->setEnabled(false);
    QAction* home =
        bar->addAction(style()->standardIcon(QStyle::SP_DirHomeIcon), QStringLiteral("目次"));
    home->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Home));
    home->setToolTip(QStringLiteral("最初のページ（目次）を表示します (Alt+Home)"));
    // Window-wide shortcuts: they work wherever the focus is inside the help window; while the
    // page has the focus they take precedence over QTextBrowser's own Alt+arrow handling, so
    // each press moves once.
    for (QAction* action : {back, forward, home}) action->setShortcutContext(Qt::WindowShortcut);

    QAction* closeAction = new QAction(QStringLiteral("閉じる"), this);
    closeAction->setShortcut(QKeySequence::Close);
    connect(closeAction, &QAction::triggered, this, &QWidget::close);
    addAction(closeAction);

    connect(back, &QAction::triggered, browser_, &QTextBrowser::backward);
    connect(forward, &QAction::triggered, browser_, &QTextBrowser::forward);
    connect(home, &QAction::triggered, this, [this] { showTopic(QString()); });
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
    connect(browser_, &QTextBrowser::sourceChanged, this, &HelpWindow::updateTitle);

    resize(700, 680);
    placeBesideOwner();
    showTopic(topic);
    updateTitle();
}

QString HelpWindow::filePath() const { return archive_->filePath(); }

void HelpWindow::showTopic(const QString& topic) {
    const QString exact = topic.isEmpty() ? QString() : archive_->resolve(topic);
    browser_->setSource(HelpBrowser::urlFor(exact.isEmpty() ? archive_->defaultTopic() : exact));
}

void HelpWindow::updateTitle() {
    QString fileTitle = archive_->title();
    if (fileTitle.isEmpty()) fileTitle = QStringLiteral("ヘルプ");
    const QString page = browser_->documentTitle().trimmed();
    setWindowTitle(page.isEmpty() || page == fileTitle ? fileTitle
                                                       : page + QStringLiteral(" - ") + fileTitle);
}

// Beside the owner (to its right, else to its left) when there is room on the owner's screen,
// so that the help and the drill can be used side by side; narrower than usual if need be.
void HelpWindow::placeBesideOwner() {
    QWidget* owner = parentWidget();
    if (!owner || !owner->isVisible()) return;
    QScreen* screen = owner->screen();
    if (!screen) return;
    const QRect frame = owner->frameGeometry();
    const QRect avail = screen->availableGeometry();
    const int gap = 8;
    const int minWidth = 520;
    const int roomRight = avail.right() - (frame.right() + gap);
    const int roomLeft = (frame.left() - gap) - avail.left();
    int x;
    if (roomRight >= minWidth) {
        resize(qMin(width(), roomRight), height());
        x = frame.right() + 1 + gap;
    } else if (roomLeft >= minWidth) {
        resize(qMin(width(), roomLeft), height());
        x = frame.left() - gap - width();
    } else {
        return;  // no room either side: leave it to the window manager
    }
    resize(width(), qMin(height(), avail.height()));
    const int y = qBound(avail.top(), frame.top(), avail.bottom() - height());
    move(x, y);
}
}  // namespace keta::help
