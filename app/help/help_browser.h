// The page view of the help window: a QTextBrowser that serves pages, pictures and style sheets
// from a loaded .chm archive (URLs of the form chm:///path/in/archive.html).
#pragma once

#include <QTextBrowser>
#include <memory>

namespace keta::help {

class ChmArchive;

class HelpBrowser : public QTextBrowser {
    Q_OBJECT
public:
    static inline const QString kScheme = QStringLiteral("chm");

    explicit HelpBrowser(std::shared_ptr<const ChmArchive> archive, QWidget* parent = nullptr);

    // chm:///index.html for the archive path "/index.html".
    static QUrl urlFor(const QString& archivePath);

    // Shows the archive's default topic.
    void showDefaultTopic();

    // Serves HtmlResource (decoded by the page's meta charset), ImageResource (QImage; SVG is
    // rendered with QSvgRenderer at the screen's pixel ratio) and StyleSheetResource (QString)
    // from the archive. Relative names are resolved against the current page; names that differ
    // only in letter case from the stored ones are found too. Anything outside the archive
    // (file:, http:, ...) is not served.
    QVariant loadResource(int type, const QUrl& name) override;

protected:
    // Links to http, https and mailto open with QDesktopServices; chm: links are shown here;
    // other schemes are ignored.
    void doSetSource(const QUrl& name, QTextDocument::ResourceType type) override;

private:
    QUrl resolveInArchive(const QUrl& name) const;

    std::shared_ptr<const ChmArchive> archive_;
};

// Decodes an HTML page by its BOM or meta charset; UTF-8 when it names none or an unknown one.
QString decodeHtml(const QByteArray& data);

}  // namespace keta::help
