#include "app/LaunchRequest.h"

#include "core/util/BuildInfo.h"
#include "core/util/Utils.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include <algorithm>

namespace qv {

namespace {

const QString kScheme = QStringLiteral("quadrivo");
const QString kUrls = QStringLiteral("urls");
const QString kText = QStringLiteral("text");
const QString kFiles = QStringLiteral("files");

std::optional<QStringList> stringList(const QJsonValue& value)
{
    if (value.isUndefined())
        return QStringList();
    if (!value.isArray())
        return std::nullopt;
    QStringList list;
    for (const QJsonValue& entry : value.toArray()) {
        if (!entry.isString())
            return std::nullopt;
        list << entry.toString();
    }
    return list;
}

// Options the application object and its window system plug-in read, with one dash or two.
const QStringList kWindowSystemOptionsWithValue{QStringLiteral("platform"),
                                                QStringLiteral("platformpluginpath"),
                                                QStringLiteral("platformtheme"),
                                                QStringLiteral("plugin"),
                                                QStringLiteral("qwindowgeometry"),
                                                QStringLiteral("geometry"),
                                                QStringLiteral("qwindowtitle"),
                                                QStringLiteral("title"),
                                                QStringLiteral("qwindowicon"),
                                                QStringLiteral("icon"),
                                                QStringLiteral("session"),
                                                QStringLiteral("display"),
                                                QStringLiteral("name"),
                                                QStringLiteral("style"),
                                                QStringLiteral("stylesheet")};
const QStringList kWindowSystemFlags{QStringLiteral("reverse"),     QStringLiteral("sync"),
                                     QStringLiteral("nograb"),      QStringLiteral("dograb"),
                                     QStringLiteral("widgetcount"), QStringLiteral("testability")};
const QStringList kWindowSystemOptionsWithEquals{QStringLiteral("style="), QStringLiteral("stylesheet="),
                                                 QStringLiteral("qmljsdebugger=")};

} // namespace

QStringList LaunchRequest::withoutWindowSystemOptions(const QStringList& arguments, bool* platformGiven)
{
    if (platformGiven)
        *platformGiven = false;
    QStringList kept;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        // The program's name, and everything after "--", stay as they are.
        if (i == 0 || !argument.startsWith(u'-')) {
            kept << argument;
            continue;
        }
        if (argument == QLatin1String("--")) {
            kept << arguments.mid(i);
            break;
        }
        const QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
        if (kWindowSystemOptionsWithValue.contains(name) && i + 1 < arguments.size()) {
            if (name == QLatin1String("platform") && platformGiven)
                *platformGiven = true;
            ++i;
            continue;
        }
        const bool withEquals =
            std::any_of(kWindowSystemOptionsWithEquals.begin(), kWindowSystemOptionsWithEquals.end(),
                        [&name](const QString& prefix) { return name.startsWith(prefix); });
        if (kWindowSystemFlags.contains(name) || withEquals)
            continue;
        kept << argument;
    }
    return kept;
}

bool LaunchRequest::isReadableLink(const QUrl& url, const QString& syncHost)
{
    // The running copy follows these and passes over anything else without a word.
    if (!syncHost.isEmpty() &&
        (Utils::projectIDFromURL(url, syncHost) || Utils::itemIDFromURL(url, syncHost)))
        return true;
    return Utils::isSyncURL(url) || Utils::isBlankURL(url);
}

ParsedLaunch LaunchRequest::fromArguments(const QStringList& arguments,
                                          const std::function<QByteArray()>& readStandardInput,
                                          const QString& workingFolder, const QString& syncHost)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(BuildInfo::displayName());
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption addText(QStringLiteral("add-text"),
                                     QStringLiteral("Add the text on standard input to the inbox."));
    const QCommandLineOption addFile(QStringLiteral("add-file"), QStringLiteral("Add the file to the inbox."),
                                     QStringLiteral("path"));
    parser.addOption(addText);
    parser.addOption(addFile);
    parser.addPositionalArgument(QStringLiteral("url"), QStringLiteral("A quadrivo:// link to open."),
                                 QStringLiteral("[url...]"));

    ParsedLaunch parsed;
    if (!parser.parse(arguments)) {
        parsed.output = parser.errorText() + u'\n';
        parsed.exitCode = kUsageError;
        return parsed;
    }
    if (parser.isSet(helpOption)) {
        parsed.output = parser.helpText();
        // Asked before the application object exists, the parser does not know our name.
        parsed.output.replace(QStringLiteral("<executable_name>"), QFileInfo(arguments.value(0)).fileName());
        return parsed;
    }
    if (parser.isSet(versionOption)) {
        parsed.output = BuildInfo::displayName() + u' ' + BuildInfo::version() + u'\n';
        return parsed;
    }

    // Whatever cannot be handed over is refused here, with the reason, before anything is
    // forwarded: the running copy would drop it without a word.
    const auto refuse = [&parsed](const QString& reason) {
        parsed.output = QStringLiteral("quadrivo: %1\n").arg(reason);
        parsed.exitCode = kInputError;
        return parsed;
    };
    LaunchRequest request;
    for (const QString& link : parser.positionalArguments()) {
        const QUrl url(link, QUrl::StrictMode);
        if (!url.isValid())
            return refuse(QStringLiteral("cannot read the link \"%1\"").arg(link));
        if (url.scheme().compare(kScheme, Qt::CaseInsensitive) != 0)
            return refuse(QStringLiteral("not a %1:// link: \"%2\"").arg(kScheme, link));
        if (!isReadableLink(url, syncHost))
            return refuse(QStringLiteral("cannot read the link \"%1\"").arg(link));
        request.urls << link;
    }
    const QDir base(workingFolder);
    for (const QString& path : parser.values(addFile)) {
        const QString absolute = QDir::cleanPath(base.absoluteFilePath(path));
        const QFileInfo file(absolute);
        if (!file.exists())
            return refuse(QStringLiteral("cannot add \"%1\": no such file").arg(path));
        if (file.isDir())
            return refuse(QStringLiteral("cannot add \"%1\": it is a folder").arg(path));
        if (!file.isReadable())
            return refuse(QStringLiteral("cannot add \"%1\": it cannot be read").arg(path));
        request.files << absolute;
    }
    if (parser.isSet(addText) && readStandardInput) {
        const QByteArray input = readStandardInput();
        if (input.contains('\0'))
            return refuse(QStringLiteral("the text on standard input holds a NUL byte"));
        request.text = QString::fromUtf8(input);
        // The inbox takes no item without a title.
        if (request.text->trimmed().isEmpty())
            return refuse(QStringLiteral("nothing to add: the text on standard input is empty or blank"));
    }
    parsed.request = std::make_shared<LaunchRequest>(std::move(request));
    return parsed;
}

QByteArray LaunchRequest::toMessage() const
{
    QJsonObject object;
    if (!urls.isEmpty())
        object.insert(kUrls, QJsonArray::fromStringList(urls));
    if (text)
        object.insert(kText, *text);
    if (!files.isEmpty())
        object.insert(kFiles, QJsonArray::fromStringList(files));
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<LaunchRequest> LaunchRequest::fromMessage(const QByteArray& message)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(message, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    LaunchRequest request;
    const std::optional<QStringList> urls = stringList(object.value(kUrls));
    const std::optional<QStringList> files = stringList(object.value(kFiles));
    if (!urls || !files)
        return std::nullopt;
    request.urls = *urls;
    for (const QString& path : *files) {
        // Relative paths would be read against the wrong working folder.
        if (QDir::isAbsolutePath(path))
            request.files << path;
    }
    const QJsonValue text = object.value(kText);
    if (!text.isUndefined()) {
        if (!text.isString())
            return std::nullopt;
        request.text = text.toString();
    }
    return request;
}

} // namespace qv
