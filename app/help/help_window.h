// The top-level help window: a tool bar (back, forward, contents) above a HelpBrowser.
#pragma once

#include <QMainWindow>
#include <memory>

namespace keta::help {

class ChmArchive;
class HelpBrowser;

class HelpWindow : public QMainWindow {
    Q_OBJECT
public:
    // A top-level window (Qt::Window) with `owner` as its parent, deleted on close, which never
    // keeps the application running (WA_QuitOnClose off). Shows `topic` (an archive path) or,
    // when that is empty or missing, the archive's default topic.
    HelpWindow(std::shared_ptr<const ChmArchive> archive, QWidget* owner,
               const QString& topic = QString());

    QString filePath() const;
    HelpBrowser* browser() const { return browser_; }
    void showTopic(const QString& topic);

private:
    void updateTitle();
    void placeBesideOwner();

    std::shared_ptr<const ChmArchive> archive_;
    HelpBrowser* browser_ = nullptr;
};

}  // namespace keta::help
