#include "ui/engine/player_scheme.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

#include "core/bridge/bridge_protocol.h"
#include "core/bridge/font_names.h"
#include "core/bridge/movie_text.h"
#include "core/platform/case_path.h"
#include "core/platform/file_io.h"

namespace {

using namespace bridge_protocol;

QByteArray MimeType(const QString& path) {
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == "html" || ext == "htm")
        return "text/html";
    if (ext == "js")
        return "application/javascript";
    if (ext == "wasm")
        return "application/wasm";
    if (ext == "swf")
        return "application/x-shockwave-flash";
    if (ext == "xml")
        return "text/xml";
    if (ext == "css")
        return "text/css";
    if (ext == "json")
        return "application/json";
    if (ext == "txt")
        return "text/plain";
    if (ext == "png")
        return "image/png";
    if (ext == "jpg" || ext == "jpeg")
        return "image/jpeg";
    if (ext == "gif")
        return "image/gif";
    if (ext == "mp3")
        return "audio/mpeg";
    return "application/octet-stream";
}

QBuffer* ReadOnlyBuffer(const QByteArray& bytes) {
    auto* buffer = new QBuffer;
    buffer->setData(bytes);  // shared, not copied
    buffer->open(QIODevice::ReadOnly);
    return buffer;
}

void Reply(QWebEngineUrlRequestJob* job, const QByteArray& type, QIODevice* device) {
    device->setParent(job);
    job->reply(type, device);
}

}  // namespace

void PlayerSchemeHandler::RegisterScheme() {
    QWebEngineUrlScheme scheme(kScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::LocalAccessAllowed |
                    QWebEngineUrlScheme::CorsEnabled);
    QWebEngineUrlScheme::registerScheme(scheme);
}

PlayerSchemeHandler& PlayerSchemeHandler::Instance() {
    static PlayerSchemeHandler* handler = new PlayerSchemeHandler;
    return *handler;
}

PlayerSchemeHandler::PlayerSchemeHandler() {
    FindFont();
}

QWebEngineProfile* PlayerSchemeHandler::Profile(FlashProcess process) {
    QWebEngineProfile*& profile = m_profiles[process];
    if (!profile) {
        profile = new QWebEngineProfile(this);  // off the record: nothing is kept on disk
        profile->installUrlSchemeHandler(kScheme, this);
    }
    return profile;
}

void PlayerSchemeHandler::SetWorkspace(const QString& nativeFolder, const QString& issueIdentity) {
    m_roots[kWorkspaceHost] = {nativeFolder, "/" + issueIdentity};
}

QString PlayerSchemeHandler::FileOf(const QUrl& url) const {
    if (url.scheme() != kScheme || !m_roots.contains(url.host()))
        return {};
    const Root& root = m_roots[url.host()];
    const QString path = url.path(QUrl::FullyDecoded);
    if (!path.startsWith(root.prefix + "/"))
        return {};
    const QString base = QDir(root.folder).canonicalPath();
    const auto found = platform::ResolveInFolder(base.toStdString(),
                                                 path.mid(root.prefix.size() + 1).toStdU16String());
    if (base.isEmpty() || !found)
        return {};
    // Nothing outside the folder is served, whatever the URL or a link inside says.
    const QString file = QFileInfo(QString::fromStdString(*found)).canonicalFilePath();
    if (!file.startsWith(base + "/") || QFileInfo(file).isDir())
        return {};
    return file;
}

QString PlayerSchemeHandler::IssueFile(const QUrl& url) const {
    return url.host() == kWorkspaceHost ? FileOf(url) : QString();
}

QString PlayerSchemeHandler::PublishFile(const QString& nativePath) {
    const QFileInfo info(nativePath);
    const QString file = info.absoluteFilePath();
    for (auto it = m_roots.cbegin(); it != m_roots.cend(); ++it) {
        const QString root = QDir(it.value().folder).absolutePath() + "/";
        if (file.startsWith(root)) {
            return QString("%1://%2%3/").arg(kScheme, it.key(), it.value().prefix) +
                   QString(QUrl::toPercentEncoding(file.mid(root.size()), "/"));
        }
    }
    // A movie a command names outside the workspace is served from its own folder.
    const QString host = QString("m%1").arg(m_roots.size());
    m_roots[host] = {info.absolutePath(), QString()};
    return QString("%1://%2/").arg(kScheme, host) +
           QString(QUrl::toPercentEncoding(info.fileName()));
}

int PlayerSchemeHandler::RegisterEngine(CallHandler handler) {
    const int id = m_nextEngine++;
    m_engines[id] = std::move(handler);
    return id;
}

void PlayerSchemeHandler::UnregisterEngine(int id) {
    m_engines.remove(id);
}

void PlayerSchemeHandler::FindFont() {
    if (const auto font = FindCjkFont()) {
        m_fontFile = QString::fromStdString(font->path);
        for (const auto& name : font->faces)
            m_fontFaces << QString::fromStdU16String(name);
    }
}

const QByteArray* PlayerSchemeHandler::EngineFile(const QString& resource) {
    auto it = m_engineFiles.find(resource);
    if (it == m_engineFiles.end()) {
        QFile file(resource);
        if (resource.contains("..") || !file.open(QIODevice::ReadOnly))
            return nullptr;
        it = m_engineFiles.insert(resource, file.readAll());
    }
    return &it.value();
}

void PlayerSchemeHandler::ServeFile(QWebEngineUrlRequestJob* job, const QString& path) {
    if (path.isEmpty())
        return job->fail(QWebEngineUrlRequestJob::UrlNotFound);
    QByteArray type = MimeType(path);
    const MovieFileKind kind = KindOfMovieFile(path.toStdU16String());
    // Text the engine would misread is handed over as UTF-8; the largest text
    // files of an issue are a few megabytes, anything bigger is no text.
    constexpr qint64 kLargestText = 16 << 20;
    if (kind != MovieFileKind::Bytes && QFileInfo(path).size() <= kLargestText) {
        std::string bytes;
        if (!platform::ReadFileBytes(path.toStdString(), bytes))
            return job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        if (auto text = MovieTextAsUtf8(bytes, kind, MovieCodePage())) {
            bytes = std::move(*text);
            if (type == "application/octet-stream")
                type = "text/plain";
            type += ";charset=utf-8";
        }
        return Reply(job, type, ReadOnlyBuffer(QByteArray::fromStdString(bytes)));
    }
    auto* file = new QFile(path);
    if (!file->open(QIODevice::ReadOnly)) {
        delete file;
        return job->fail(QWebEngineUrlRequestJob::UrlNotFound);
    }
    Reply(job, type, file);
}

void PlayerSchemeHandler::ServeStorage(QWebEngineUrlRequestJob* job, const QUrl& url) {
    const QUrlQuery query(url);
    const QString op = query.queryItemValue("op");
    const std::string key = query.queryItemValue("key", QUrl::FullyDecoded).toStdString();
    QJsonObject answer;
    if (op == "get") {
        if (const auto value = m_sharedObjects.Get(key))
            answer["value"] = QString::fromStdString(*value);
    } else if (op == "set") {
        answer["ok"] = m_sharedObjects.Put(
            key, query.queryItemValue("value", QUrl::FullyDecoded).toStdString());
    } else if (op == "remove") {
        answer["ok"] = m_sharedObjects.Remove(key);
    }
    AnswerCall(job, QJsonDocument(answer).toJson(QJsonDocument::Compact));
}

void PlayerSchemeHandler::requestStarted(QWebEngineUrlRequestJob* job) {
    const QUrl url = job->requestUrl();
    const QString host = url.host();
    const QString path = url.path();
    if (host == kAppHost) {
        if (path == kCallPath) {
            const QUrlQuery query(url);
            const int engine = query.queryItemValue("engine").toInt();
            const QString kind = query.queryItemValue("kind");
            const QString data = query.queryItemValue("data", QUrl::FullyDecoded);
            // Answered from the event loop, never from here: a request answered
            // inside this call keeps later requests from arriving while the host
            // runs nested event loops (modal dialogs).
            QPointer<QWebEngineUrlRequestJob> guarded(job);
            QTimer::singleShot(0, this, [this, guarded, engine, kind, data] {
                if (!guarded)
                    return;
                const auto handler = m_engines.value(engine);
                if (handler) {
                    handler(guarded, kind, data);
                } else {
                    AnswerReturn(guarded);
                }
            });
            return;
        }
        if (path == kStoragePath)
            return ServeStorage(job, url);
        if (path == kFontPath && !m_fontFile.isEmpty()) {
            auto* file = new QFile(m_fontFile);
            if (file->open(QIODevice::ReadOnly))
                return Reply(job, "font/collection", file);
            delete file;
        }
        QString resource;
        const QLatin1String page(kPagePrefix), engine(kEnginePrefix);
        if (path.startsWith(page))
            resource = ":/web/" + path.mid(page.size());
        if (path.startsWith(engine)) {
            resource = ":/ruffle/" + path.mid(engine.size());
            if (const QByteArray* bytes = EngineFile(resource))
                return Reply(job, MimeType(resource), ReadOnlyBuffer(*bytes));
        }
        auto* file = new QFile(resource);
        if (resource.isEmpty() || resource.contains("..") || !file->open(QIODevice::ReadOnly)) {
            delete file;
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        return Reply(job, MimeType(resource), file);
    }
    if (m_roots.contains(host)) {
        const QString file = FileOf(url);
        // A name in another letter case is sent on to the file's own: a movie's
        // _url, and what it loads relative to it, then name the file as it is.
        const Root& root = m_roots[host];
        const QString relative = file.mid(QDir(root.folder).canonicalPath().size() + 1);
        if (!file.isEmpty() && url.path(QUrl::FullyDecoded) != root.prefix + "/" + relative) {
            return job->redirect(QUrl(QString("%1://%2%3/").arg(kScheme, host, root.prefix) +
                                      QString(QUrl::toPercentEncoding(relative, "/"))));
        }
        return ServeFile(job, file);
    }
    job->fail(QWebEngineUrlRequestJob::UrlNotFound);
}

void AnswerCall(QWebEngineUrlRequestJob* job, const QByteArray& json) {
    if (!job)
        return;
    Reply(job, "application/json", ReadOnlyBuffer(json));
}

void AnswerReturn(QWebEngineUrlRequestJob* job) {
    AnswerCall(job, QByteArray(R"({"op":")") + kOpReturn + R"("})");
}
