#pragma once
// The player: URL scheme through which the movie pages get everything: the
// host page and its script, the movie engine's files, the CJK font, the movie
// files (from the workspace, or from a folder a command named explicitly), and
// the synchronous calls from the movie to the host, and the movies' saved
// objects (bridge/bridge_protocol.h).

#include <QByteArray>
#include <QStringList>

#include <QHash>
#include <QMap>
#include <QPointer>
#include <QString>
#include <QWebEngineUrlSchemeHandler>
#include <functional>

#include "core/services/shared_object_store.h"
#include "ui/engine/flash_engine.h"

class QWebEngineProfile;
class QWebEngineUrlRequestJob;

class PlayerSchemeHandler : public QWebEngineUrlSchemeHandler {
public:
    // Must run before the QApplication exists.
    static void RegisterScheme();
    // The handler of the profiles the movie pages use.
    static PlayerSchemeHandler& Instance();
    // The pages of one profile share a process of the web engine: one profile
    // for each group of movies.
    QWebEngineProfile* Profile(FlashProcess process = FlashProcess::Issue);

    // player://localhost/ISSUE/... serves this folder, finding names as Windows
    // did (letter case ignored).
    void SetWorkspace(const QString& nativeFolder, const QString& issueIdentity = "issue");
    // The file of the workspace a URL names (letter case ignored); empty when it
    // names none, or lies elsewhere.
    QString IssueFile(const QUrl& url) const;
    // The URL of a movie file: under the workspace, or else its folder is served
    // from now on under a host of its own.
    QString PublishFile(const QString& nativePath);

    // Calls from a page go to the engine registered under its id.
    using CallHandler =
        std::function<void(QWebEngineUrlRequestJob*, const QString& kind, const QString& data)>;
    int RegisterEngine(CallHandler handler);
    void UnregisterEngine(int id);

    // The names of the faces of the CJK font served to the movie engine.
    const QStringList& FontFaceNames() const { return m_fontFaces; }

    void requestStarted(QWebEngineUrlRequestJob* job) override;

private:
    // A folder served under a host, below a path prefix ("/ISSUE" or "").
    struct Root {
        QString folder;
        QString prefix;
    };

    PlayerSchemeHandler();
    // The native file `url` names under its root, if any.
    QString FileOf(const QUrl& url) const;
    void ServeFile(QWebEngineUrlRequestJob* job, const QString& path);
    void ServeStorage(QWebEngineUrlRequestJob* job, const QUrl& url);
    void FindFont();
    // A file of the movie engine, unpacked from the resources once: every movie
    // page loads the engine's 14 MB anew.
    const QByteArray* EngineFile(const QString& resource);

    QMap<FlashProcess, QWebEngineProfile*> m_profiles;
    QMap<QString, Root> m_roots;  // by host
    SharedObjectStore m_sharedObjects{SharedObjectStore::DefaultFolder()};
    QMap<int, CallHandler> m_engines;
    QHash<QString, QByteArray> m_engineFiles;
    int m_nextEngine = 1;
    QString m_fontFile;
    QStringList m_fontFaces;
};

// Sends a JSON answer to a pending call.
void AnswerCall(QWebEngineUrlRequestJob* job, const QByteArray& json);
// The plain answer: the call returns with no value.
void AnswerReturn(QWebEngineUrlRequestJob* job);
