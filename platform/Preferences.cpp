#include "platform/Preferences.h"

#include "platform/LockFiles.h"
#include "platform/Paths.h"

#include <QDataStream>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include <optional>
#include <utility>

namespace qv {

namespace {

// The INI file keeps plain numbers and booleans as bare text, so after a reload they would
// come back as strings. Such values are stored as "@<type>:<text>" instead (the file shows
// "@@", the INI escape for a leading "@"); a real string starting with "@" gets one more "@".
const QString kListTag = QStringLiteral("QVariantList");
const QString kStringListTag = QStringLiteral("QStringList");
// A list holding what JSON cannot carry (bytes, an invalid value: what QSettings itself reads
// from a list in the file) is kept in Qt's binary form, in Base64, so that it reads back as it was.
const QString kBinaryListTag = QStringLiteral("QVariantList.bin");
constexpr QDataStream::Version kBinaryListVersion = QDataStream::Qt_6_0;

bool isTaggedScalar(int typeId)
{
    switch (typeId) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

QString tagged(const QString& tag, const QString& text)
{
    return '@' + tag + ':' + text;
}

QString jsonText(const QVariantList& list)
{
    return QString::fromUtf8(QJsonDocument(QJsonArray::fromVariantList(list)).toJson(QJsonDocument::Compact));
}

bool jsonCarries(const QVariantList& list)
{
    return QJsonArray::fromVariantList(list).toVariantList() == list;
}

std::optional<QString> binaryText(const QVariantList& list)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream.setVersion(kBinaryListVersion);
    stream << list;
    if (stream.status() != QDataStream::Ok)
        return std::nullopt;
    return QString::fromLatin1(bytes.toBase64());
}

std::optional<QVariantList> binaryList(const QString& text)
{
    const auto decoded =
        QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    QDataStream stream(*decoded);
    stream.setVersion(kBinaryListVersion);
    QVariantList list;
    stream >> list;
    if (stream.status() != QDataStream::Ok || !stream.atEnd())
        return std::nullopt;
    return list;
}

QVariant encode(const QVariant& value)
{
    const int type = value.typeId();
    if (type == QMetaType::QString) {
        const QString text = value.toString();
        return text.startsWith('@') ? QVariant('@' + text) : value;
    }
    if (isTaggedScalar(type))
        return tagged(QString::fromLatin1(value.metaType().name()), value.toString());
    if (type == QMetaType::QStringList)
        return tagged(kStringListTag, jsonText(value.toList()));
    if (type == QMetaType::QVariantList) {
        const QVariantList list = value.toList();
        if (jsonCarries(list))
            return tagged(kListTag, jsonText(list));
        if (const std::optional<QString> binary = binaryText(list))
            return tagged(kBinaryListTag, *binary);
        return tagged(kListTag, jsonText(list));
    }
    return value;
}

QVariant decode(const QVariant& stored)
{
    if (stored.typeId() != QMetaType::QString)
        return stored;
    const QString text = stored.toString();
    if (!text.startsWith('@'))
        return stored;
    if (text.startsWith(QLatin1String("@@")))
        return text.mid(1);
    const qsizetype colon = text.indexOf(':');
    if (colon < 0)
        return stored;
    const QString tag = text.mid(1, colon - 1);
    const QString body = text.mid(colon + 1);
    if (tag == kBinaryListTag) {
        const std::optional<QVariantList> list = binaryList(body);
        return list ? QVariant(*list) : stored;
    }
    if (tag == kListTag || tag == kStringListTag) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(body.toUtf8(), &error);
        if (error.error != QJsonParseError::NoError || !document.isArray())
            return stored;
        const QVariantList list = document.array().toVariantList();
        return tag == kStringListTag ? QVariant(QVariant(list).toStringList()) : QVariant(list);
    }
    const QMetaType type = QMetaType::fromName(tag.toLatin1());
    if (!type.isValid() || !isTaggedScalar(type.id()))
        return stored;
    QVariant converted(body);
    return converted.convert(type) ? converted : stored;
}

} // namespace

Preferences::Preferences(QObject* parent)
    // An explicit path, read from the environment now: QSettings' own default location is
    // fixed once per process.
    : Preferences(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                      QStringLiteral("/Velmora/Quadrivo.conf"),
                  parent)
{
}

Preferences::Preferences(const QString& filePath, QObject* parent)
    : QObject(parent), m_settings(std::make_unique<QSettings>(filePath, QSettings::IniFormat))
{
    // QSettings also writes by itself from the event loop after a change, before any flush().
    removeOwnerlessLockFile(lockFileName());
}

void Preferences::makeFilePrivate()
{
    if (m_filePrivate)
        return;
    m_filePrivate = true;
    // QSettings would make the folder and the file readable by everyone; rewriting a file that
    // exists keeps its mode. Failing here, QSettings fails to write too and says so when flushed.
    const QFileInfo info(m_settings->fileName());
    if (!info.exists() && Paths::makePrivateFolder(info.absolutePath()))
        QFile(info.filePath())
            .open(QIODevice::WriteOnly | QIODevice::NewOnly,
                  QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

Preferences::~Preferences() = default;

void Preferences::registerDefaults(const QVariantMap& defaults)
{
    for (auto it = defaults.begin(); it != defaults.end(); ++it)
        m_defaults.insert(it.key(), it.value());
}

bool Preferences::registerDefaultsFromJson(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("Cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        if (error)
            *error = QStringLiteral("Cannot parse %1 at offset %2: %3")
                         .arg(path)
                         .arg(parseError.offset)
                         .arg(parseError.errorString());
        return false;
    }
    if (!document.isObject()) {
        if (error)
            *error = QStringLiteral("%1 does not hold a JSON object").arg(path);
        return false;
    }
    registerDefaults(document.object().toVariantMap());
    return true;
}

QVariant Preferences::value(const QString& key) const
{
    if (m_settings->contains(key))
        return decode(m_settings->value(key));
    return m_defaults.value(key);
}

bool Preferences::hasUserValue(const QString& key) const
{
    return m_settings->contains(key);
}

bool Preferences::boolValue(const QString& key) const
{
    return value(key).toBool();
}

int Preferences::intValue(const QString& key) const
{
    return value(key).toInt();
}

qint64 Preferences::int64Value(const QString& key) const
{
    return value(key).toLongLong();
}

double Preferences::doubleValue(const QString& key) const
{
    return value(key).toDouble();
}

QString Preferences::stringValue(const QString& key) const
{
    return value(key).toString();
}

QStringList Preferences::stringListValue(const QString& key) const
{
    return value(key).toStringList();
}

void Preferences::setValue(const QString& key, const QVariant& value)
{
    if (!value.isValid()) {
        remove(key);
        return;
    }
    const QVariant before = this->value(key);
    makeFilePrivate();
    m_settings->setValue(key, encode(value));
    if (this->value(key) != before)
        emit changed(key);
}

void Preferences::remove(const QString& key)
{
    if (!m_settings->contains(key))
        return;
    const QVariant before = value(key);
    makeFilePrivate();
    m_settings->remove(key);
    if (value(key) != before)
        emit changed(key);
}

bool Preferences::flush()
{
    // A writer killed as it took the lock would otherwise hold every write up for 30 s.
    removeOwnerlessLockFile(lockFileName());
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

void Preferences::holdWrites()
{
    if (std::exchange(m_holding, true))
        return;
    m_settings->installEventFilter(this);
}

bool Preferences::resumeWrites()
{
    if (std::exchange(m_holding, false))
        m_settings->removeEventFilter(this);
    return flush();
}

bool Preferences::eventFilter(QObject* watched, QEvent* event)
{
    // QSettings asks itself to write with this event; it asks again only once it has written.
    if (m_holding && watched == m_settings.get() && event->type() == QEvent::UpdateRequest)
        return true;
    return QObject::eventFilter(watched, event);
}

QString Preferences::fileName() const
{
    return m_settings->fileName();
}

QString Preferences::lockFileName() const
{
    return m_settings->fileName() + QStringLiteral(".lock");
}

} // namespace qv
