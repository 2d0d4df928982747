// Loading of the page's compiled-in files and their content types.
#include "web/PageFiles.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFile>

#include <array>
#include <utility>

namespace tembrel::web {

namespace {

constexpr std::string_view kIndexFile = "index.html";
// Bytes of the content hash that make the entity tag.
constexpr qsizetype kEtagHashBytes = 12;

struct TypeByExtension {
    std::string_view extension;
    std::string_view contentType;
};

constexpr std::array kContentTypes{
    TypeByExtension{".html", "text/html; charset=utf-8"},
    TypeByExtension{".js", "text/javascript; charset=utf-8"},
    TypeByExtension{".mjs", "text/javascript; charset=utf-8"},
    TypeByExtension{".css", "text/css; charset=utf-8"},
    TypeByExtension{".json", "application/json"},
    TypeByExtension{".webmanifest", "application/manifest+json"},
    TypeByExtension{".svg", "image/svg+xml"},
    TypeByExtension{".png", "image/png"},
    TypeByExtension{".jpg", "image/jpeg"},
    TypeByExtension{".ico", "image/x-icon"},
    TypeByExtension{".woff2", "font/woff2"},
    TypeByExtension{".txt", "text/plain; charset=utf-8"},
};
constexpr std::string_view kDefaultContentType = "application/octet-stream";

[[nodiscard]] QByteArray etagOf(const QByteArray& body) {
    const QByteArray hash = QCryptographicHash::hash(body, QCryptographicHash::Sha256);
    return '"' +
           hash.left(kEtagHashBytes)
               .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals) +
           '"';
}

} // namespace

QByteArray contentTypeFor(std::string_view fileName) {
    for (const TypeByExtension& entry : kContentTypes) {
        if (fileName.ends_with(entry.extension)) {
            return QByteArray(entry.contentType.data(),
                              static_cast<qsizetype>(entry.contentType.size()));
        }
    }
    return QByteArray(kDefaultContentType.data(),
                      static_cast<qsizetype>(kDefaultContentType.size()));
}

PageFiles::PageFiles(const QString& resourceRoot) {
    QDirIterator it(resourceRoot, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString resource = it.next();
        QFile file(resource);
        if (!file.open(QIODevice::ReadOnly)) {
            continue;
        }
        const std::string relative = resource.mid(resourceRoot.size() + 1).toStdString();
        const bool isIndex = relative == kIndexFile;
        std::string path = isIndex ? std::string(kIndexPath) : std::string(kAppPrefix) + relative;
        // The page's code and styles are always revalidated (a cheap 304 on
        // the LAN), so a browser never runs a new page with old modules after
        // the server was updated; pictures may be kept for an hour.
        QByteArray type = contentTypeFor(relative);
        const bool revalidate = !type.startsWith("image/");
        add(std::move(path), file.readAll(), std::move(type), revalidate);
    }
}

const PageFile* PageFiles::find(std::string_view path) const {
    const auto found = files_.find(path);
    return found != files_.end() ? &found->second : nullptr;
}

void PageFiles::add(std::string path, QByteArray body, QByteArray contentType, bool revalidate) {
    QByteArray etag = etagOf(body);
    files_[std::move(path)] =
        PageFile{std::move(body), std::move(contentType), std::move(etag), revalidate};
}

std::size_t PageFiles::totalBytes() const noexcept {
    std::size_t total = 0;
    for (const auto& [path, file] : files_) {
        total += static_cast<std::size_t>(file.body.size());
    }
    return total;
}

} // namespace tembrel::web
