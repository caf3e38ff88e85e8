#include "help_browser.h"

#include <QDesktopServices>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QStringConverter>
#include <QStringDecoder>
#include <QSvgRenderer>
#include <QUrl>
#include <utility>

#include "chm_archive.h"

namespace keta::help {

namespace {

constexpr int kMaxImageSide = 4096;

bool looksLikeSvg(const QString& path, const QByteArray& data) {
    if (path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive) ||
        path.endsWith(QLatin1String(".svgz"), Qt::CaseInsensitive))
        return true;
    return data.left(1024).contains("<svg");
}

// SVG through QSvgRenderer (Qt6::Svg) rather than the image-format plugin: always available
// when this library links, and it lets the picture be drawn sharp at the screen's pixel ratio.
QImage renderSvg(const QByteArray& data, qreal dpr) {
    QSvgRenderer renderer(data);
    if (!renderer.isValid()) return {};
    QSize size = renderer.defaultSize();
    if (size.isEmpty()) size = QSize(32, 32);
    size = size.boundedTo(QSize(kMaxImageSide, kMaxImageSide));
    if (dpr < 1.0 || dpr > 4.0) dpr = 1.0;
    QImage image(size * dpr, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return {};
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    painter.end();
    image.setDevicePixelRatio(dpr);
    return image;
}

QString notFoundPage(const QString& path, const QString& home) {
    return QStringLiteral(
               "<html><head><title>ページが見つかりません</title></head><body>"
               "<h2>ページが見つかりません</h2>"
               "<p>「%1」はこのヘルプファイルの中にありません。</p>"
               "<p><a href=\"%2\">目次へ戻る</a></p></body></html>")
        .arg(path.toHtmlEscaped(), home.toHtmlEscaped());
}

}  // namespace

QString decodeHtml(const QByteArray& data) {
    if (const auto encoding = QStringConverter::encodingForHtml(data)) {
        QStringDecoder decoder(*encoding);
        return decoder(data);
    }
    // The page names a charset that the built-in converters do not know (Shift_JIS, ...):
    // try it by name, which works where Qt's converters are backed by ICU.
    static const QRegularExpression charset(
        QStringLiteral("charset\\s*=\\s*[\"']?\\s*([A-Za-z0-9_.:\\-]+)"),
        QRegularExpression::CaseInsensitiveOption);
    const auto match = charset.match(QString::fromLatin1(data.left(2048)));
    if (match.hasMatch()) {
        QStringDecoder decoder(match.captured(1).toLatin1().constData());
        if (decoder.isValid()) return decoder(data);
    }
    return QString::fromUtf8(data);
}

HelpBrowser::HelpBrowser(std::shared_ptr<const ChmArchive> archive, QWidget* parent)
    : QTextBrowser(parent), archive_(std::move(archive)) {
    setOpenLinks(true);
    setOpenExternalLinks(false);        // external links are handled in doSetSource
    document()->setDocumentMargin(14);  // Qt's rich text ignores a margin on <body>
}

QUrl HelpBrowser::urlFor(const QString& archivePath) {
    // With an empty authority, like file:///: "chm:///pictures/title.svg".
    const QByteArray path = QUrl::toPercentEncoding(ChmArchive::normalizePath(archivePath), "/");
    return QUrl::fromEncoded(kScheme.toLatin1() + "://" + path, QUrl::StrictMode);
}

void HelpBrowser::showDefaultTopic() { setSource(urlFor(archive_->defaultTopic())); }

QUrl HelpBrowser::resolveInArchive(const QUrl& name) const {
    if (!name.isRelative()) return name;
    QUrl base = source();
    if (!base.isValid() || base.scheme() != kScheme) base = urlFor(archive_->defaultTopic());
    return base.resolved(name);
}

QVariant HelpBrowser::loadResource(int type, const QUrl& name) {
    const QUrl url = resolveInArchive(name);
    if (!url.isValid() || url.scheme() != kScheme) return {};  // data: is done by QTextDocument
    const QString exact = archive_->resolve(url.path());
    if (exact.isEmpty()) {
        if (type == QTextDocument::HtmlResource)
            return notFoundPage(url.path(), urlFor(archive_->defaultTopic()).toString());
        return {};
    }
    const QByteArray bytes = archive_->object(exact);
    switch (type) {
        case QTextDocument::HtmlResource:
            return decodeHtml(bytes);
        case QTextDocument::ImageResource: {
            QImage image;
            if (looksLikeSvg(exact, bytes)) image = renderSvg(bytes, devicePixelRatioF());
            if (image.isNull()) image = QImage::fromData(bytes);
            if (image.isNull()) return {};
            return image;
        }
        case QTextDocument::StyleSheetResource:
        case QTextDocument::MarkdownResource: {
            QStringDecoder utf8(QStringDecoder::Utf8);  // also drops a BOM
            return QString(utf8(bytes));
        }
        default:
            return bytes;
    }
}

void HelpBrowser::doSetSource(const QUrl& name, QTextDocument::ResourceType type) {
    QUrl url = resolveInArchive(name);
    const QString scheme = url.scheme();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
        scheme == QLatin1String("mailto")) {
        QDesktopServices::openUrl(url);
        return;
    }
    if (scheme != kScheme) return;  // no local files or other schemes from a help page
    // The stored spelling of the path, so that history entries and relative links agree.
    const QString exact = archive_->resolve(url.path());
    if (!exact.isEmpty()) {
        const QString fragment = url.fragment();
        url = urlFor(exact);
        if (!fragment.isEmpty()) url.setFragment(fragment);
    }
    QTextBrowser::doSetSource(url, type);
}

}  // namespace keta::help
