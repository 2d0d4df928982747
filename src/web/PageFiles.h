// The files of the web page, compiled into the program's resources: looked
// up by request path, each with its content type and entity tag. Nothing is
// ever read from disk, so no request path can reach any other file.
#pragma once

#include <QByteArray>
#include <QString>

#include <map>
#include <string>
#include <string_view>

namespace tembrel::web {

struct PageFile {
    QByteArray body;
    QByteArray contentType;
    QByteArray etag;   // quoted, as sent in the ETag header
    bool revalidate{}; // sent with no-cache, else kept for an hour
};

class PageFiles {
public:
    // Request path of the page itself; the other files are under kAppPrefix.
    static constexpr std::string_view kIndexPath = "/";
    static constexpr std::string_view kAppPrefix = "/app/";
    // Where the resource compiler puts the page's files.
    static constexpr std::string_view kResourceRoot = ":/web/page";

    // Loads every file under `resourceRoot`.
    explicit PageFiles(const QString& resourceRoot = QString::fromLatin1(kResourceRoot.data(),
                                                                         kResourceRoot.size()));

    // The file a request path names exactly; null for any other path.
    [[nodiscard]] const PageFile* find(std::string_view path) const;
    // Adds or replaces a generated file (for example the protocol table).
    void add(std::string path, QByteArray body, QByteArray contentType, bool revalidate);

    [[nodiscard]] std::size_t size() const noexcept { return files_.size(); }
    [[nodiscard]] std::size_t totalBytes() const noexcept;

private:
    std::map<std::string, PageFile, std::less<>> files_;
};

// The content type of a file name by its extension.
[[nodiscard]] QByteArray contentTypeFor(std::string_view fileName);

} // namespace tembrel::web
