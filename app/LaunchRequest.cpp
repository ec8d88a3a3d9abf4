#include "app/LaunchRequest.h"

#include "core/util/BuildInfo.h"

#include <QCommandLineParser>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace qv {

namespace {

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

} // namespace

ParsedLaunch LaunchRequest::fromArguments(const QStringList& arguments,
                                          const std::function<QByteArray()>& readStandardInput,
                                          const QString& workingFolder)
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
        parsed.exitCode = 2;
        return parsed;
    }
    if (parser.isSet(helpOption)) {
        parsed.output = parser.helpText();
        return parsed;
    }
    if (parser.isSet(versionOption)) {
        parsed.output = BuildInfo::displayName() + u' ' + BuildInfo::version() + u'\n';
        return parsed;
    }

    LaunchRequest request;
    request.urls = parser.positionalArguments();
    const QDir base(workingFolder);
    for (const QString& path : parser.values(addFile))
        request.files << QDir::cleanPath(base.absoluteFilePath(path));
    if (parser.isSet(addText) && readStandardInput)
        request.text = QString::fromUtf8(readStandardInput());
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
