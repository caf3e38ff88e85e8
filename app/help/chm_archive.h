// Reading a compiled HTML Help file (.chm) into memory with chmlib.
//
// chmlib is not robust against damaged files: besides short reads it can fault outright
// (a division by zero inside chm_open, a null decoder state in the LZX reset) on a few corrupted
// bytes. So chmlib never runs in this process: a forked child opens the file, enumerates and
// retrieves every object (capped in size) and streams them back through a pipe; the parent only
// parses that stream, with every length checked, under a deadline. A crash or hang of the child
// is then just "the file cannot be opened".
#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>

namespace keta::help {

class ChmArchive {
public:
    // An object that chmlib cannot read in full (a cut-off or damaged file) makes the whole
    // file count as damaged.
    // Limits for one archive; objects above kMaxObjectSize are left out, an archive whose
    // objects add up to more than kMaxTotalSize, or that takes longer than kLoadTimeoutMs
    // to read, is refused.
    static constexpr qint64 kMaxObjectSize = 16LL * 1024 * 1024;
    static constexpr qint64 kMaxTotalSize = 64LL * 1024 * 1024;
    static constexpr int kMaxObjects = 20000;
    static constexpr int kLoadTimeoutMs = 10000;

    // Reads the whole archive. Returns nullptr (and a short reason in *error, in Japanese)
    // when the file cannot be read, is not a .chm, is damaged, or has no page to show.
    static std::shared_ptr<const ChmArchive> load(const QString& filePath,
                                                  QString* error = nullptr);

    QString filePath() const { return filePath_; }

    // Archive path of the page the file opens with ("/index.html"), found from the file's own
    // metadata: the default-topic entry (code 2) of /#SYSTEM; failing that, the first entry of
    // the table of contents (.hhc); failing that, the first .htm/.html object. Never empty for a
    // loaded archive.
    QString defaultTopic() const { return defaultTopic_; }
    // How the default topic was found: "system", "contents" or "first-page".
    QString defaultTopicSource() const { return defaultTopicSource_; }
    // The title entry (code 3) of /#SYSTEM, empty when missing.
    QString title() const { return title_; }
    // The contents file (.hhc) named in /#SYSTEM (code 0) or found in the archive; may be empty.
    QString contentsFile() const { return contentsFile_; }

    // The archive path of an object as stored, for a path given in any letter case, with
    // backslashes or dot segments ("pictures\\Title.SVG" -> "/pictures/title.svg"); empty
    // when there is no such object.
    QString resolve(const QString& path) const;
    bool contains(const QString& path) const { return !resolve(path).isEmpty(); }
    // The bytes of an object, looked up like resolve(); a null QByteArray when missing.
    QByteArray object(const QString& path) const;
    // All object paths, sorted.
    QStringList objectPaths() const;

    // Normalises an archive path: forward slashes, leading "/", no "." or ".." segments.
    static QString normalizePath(const QString& path);

private:
    ChmArchive() = default;
    bool findMetadata();

    QString filePath_;
    QHash<QString, QByteArray> objects_;  // exact archive path -> contents
    QHash<QString, QString> folded_;      // case-folded path -> exact archive path
    QString defaultTopic_;
    QString defaultTopicSource_;
    QString title_;
    QString contentsFile_;
};

}  // namespace keta::help
