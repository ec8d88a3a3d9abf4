#pragma once

#include "core/util/BuildInfo.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

namespace qv {

// What a launch brings with it: links of the URL scheme ("quadrivo %u"), text for the inbox
// ("--add-text", the text on standard input) and files for the inbox ("--add-file PATH").
// A second copy hands it to the running one as a message.
struct LaunchRequest;

// What the command line asks for.
struct ParsedLaunch {
    std::shared_ptr<LaunchRequest> request; // empty: do not start (see exitCode)
    QString output;                         // usage, version or the error, for the terminal
    int exitCode = 0;
};

struct LaunchRequest {
    QStringList urls;
    std::optional<QString> text;
    // Absolute paths: the running copy may have another working folder.
    QStringList files;

    bool isEmpty() const { return urls.isEmpty() && !text && files.isEmpty(); }

    // Exit codes of a refused command line: unknown options and the like; input that cannot
    // be handed over.
    static constexpr int kUsageError = 2;
    static constexpr int kInputError = 1;

    // Standard input is read only for --add-text, at most this much.
    static constexpr qsizetype kMaxTextBytes = 16 * 1024 * 1024;

    // arguments as QCoreApplication::arguments() gives them (the program first); needs no
    // application object. A link that is not ours or cannot be read, a file that is missing,
    // a folder or unreadable, and text that is empty, blank or holds a NUL byte are refused:
    // no request, exit code 1, the reason in output. syncHost: the sync server's host as links
    // carry it (empty: no server, so no link names a project or an item).
    static ParsedLaunch fromArguments(const QStringList& arguments,
                                      const std::function<QByteArray()>& readStandardInput,
                                      const QString& workingFolder,
                                      const QString& syncHost = BuildInfo::syncHost());
    // A link the application follows: a project or an item of the sync server, a sync, or
    // the bare scheme.
    static bool isReadableLink(const QUrl& url, const QString& syncHost);

    // The arguments without the window system's own options ("-platform NAME", "-display D",
    // "-reverse", ...), which the application object takes out only once it exists; so a
    // command line can be judged before any display is needed. platformGiven: whether
    // "-platform" names the window system.
    static QStringList withoutWindowSystemOptions(const QStringList& arguments,
                                                  bool* platformGiven = nullptr);

    QByteArray toMessage() const;
    // nullopt for a message that is not one of ours.
    static std::optional<LaunchRequest> fromMessage(const QByteArray& message);
};

} // namespace qv
