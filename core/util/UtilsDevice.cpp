#include "core/util/Utils.h"

#include "core/util/UtilLogging.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QSysInfo>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace qv {

namespace {

// The server recognises a device by these exact values.
const QString kSalt = QStringLiteral("plumfeatherdrums");
const QString kEdition = QStringLiteral("Halvern");

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

QString describeData(const QByteArray& data)
{
    QString text = QStringLiteral("<");
    for (qsizetype i = 0; i < data.size(); ++i) {
        if (i > 0 && i % 4 == 0)
            text += u' ';
        text += QString::asprintf("%02x", unsigned(static_cast<unsigned char>(data[i])));
    }
    return text + u'>';
}

} // namespace

QString Utils::SHA1(const char* bytes)
{
    const QByteArray message = bytes ? QByteArray(bytes, qsizetype(std::strlen(bytes))) : QByteArray();
    return QString::fromLatin1(QCryptographicHash::hash(message, QCryptographicHash::Sha1).toHex());
}

QString Utils::SHA1fromString(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return SHA1(utf8.constData());
}

QString Utils::HashAndSalt(const QString& text)
{
    return SHA1fromString(QStringLiteral("%1%2").arg(kSalt, text));
}

Utils::MachineIdentity Utils::MachineIdentity::ofThisMachine(const std::function<QByteArray()>& readMachineId)
{
    return {readMachineId ? readMachineId() : QSysInfo::machineUniqueId(), QSysInfo::machineHostName()};
}

QString Utils::deviceUIDFor(const MachineIdentity& machine)
{
    const QString machineId = QString::fromLatin1(machine.machineId).trimmed();
    if (machineId.isEmpty()) {
        qCDebug(lcUtil, "host for authentication: '%s'", qUtf8Printable(machine.hostName.toLower()));
        return deviceUIDForHostName(machine.hostName);
    }
    // The machine identifier is confidential: only its salted digest leaves the machine.
    qCDebug(lcUtil, "machine identifier for authentication");
    return HashAndSalt(QStringLiteral("%1%2").arg(machineId.toLower(), kEdition));
}

QString Utils::deviceUIDForHostName(const QString& hostName)
{
    return HashAndSalt(QStringLiteral("%1%2").arg(hostName.toLower(), kEdition));
}

QString Utils::getDeviceUID()
{
    // Initialised once, thread-safely; concurrent first callers wait for the value.
    static const QString uid = deviceUIDFor(MachineIdentity::ofThisMachine());
    return uid;
}

QString Utils::appUserAgent()
{
    const auto orNull = [](const QString& s) {
        return s.isEmpty() ? QStringLiteral("(null)") : s;
    };
    return QStringLiteral("%1/%2").arg(orNull(QCoreApplication::applicationName()),
                                       orNull(QCoreApplication::applicationVersion()));
}

long Utils::offsetFromUTC(const QTimeZone& zone, const QDateTime& at)
{
    const long offset = long(zone.offsetFromUtc(at)) / 3600; // truncates toward zero
    qCDebug(lcUtil, "date=%s timeZoneOffset=%ld",
            qUtf8Printable(at.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss +0000"))), offset);
    return offset;
}

bool Utils::parseSystemVersion(const QString& text, unsigned* major, unsigned* minor, unsigned* bugFix)
{
    const QStringList parts = text.trimmed().split(u'.');
    if (parts.isEmpty() || parts.size() > 3)
        return false;
    unsigned numbers[3] = {0, 0, 0};
    for (qsizetype i = 0; i < parts.size(); ++i) {
        bool ok = false;
        numbers[i] = parts[i].toUInt(&ok);
        if (!ok)
            return false;
    }
    if (major)
        *major = numbers[0];
    if (minor)
        *minor = numbers[1];
    if (bugFix)
        *bugFix = numbers[2];
    return true;
}

void Utils::getSystemVersionMajor(unsigned* major, unsigned* minor, unsigned* bugFix)
{
    unsigned values[3] = {10, 0, 0};
    const QString version = QSysInfo::productVersion();
    if (!parseSystemVersion(version, &values[0], &values[1], &values[2])) {
        qCDebug(lcUtil, "Unable to obtain system version: '%s'", qUtf8Printable(version));
        values[0] = 10;
        values[1] = 0;
        values[2] = 0;
    }
    if (major)
        *major = values[0];
    if (minor)
        *minor = values[1];
    if (bugFix)
        *bugFix = values[2];
}

unsigned Utils::systemVersionCode(unsigned major, unsigned minor, unsigned bugFix)
{
    const unsigned m = std::min(major, 99u);
    return ((m / 10) << 12) | ((m % 10) << 8) | (std::min(minor, 9u) << 4) | std::min(bugFix, 9u);
}

unsigned Utils::macVersion()
{
    // Racing first callers store the same value.
    static std::atomic<unsigned> cached{0};
    unsigned code = cached.load(std::memory_order_relaxed);
    if (code == 0) {
        unsigned major = 0, minor = 0, bugFix = 0;
        getSystemVersionMajor(&major, &minor, &bugFix);
        code = systemVersionCode(major, minor, bugFix);
        cached.store(code, std::memory_order_relaxed);
    }
    return code;
}

bool Utils::isHex(const QString& text)
{
    const qsizetype n = std::min<qsizetype>(text.size(), 5);
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c > 127 || hexValue(char(c)) < 0)
            return false;
    }
    return true;
}

void Utils::hexToBinary(char* buffer, qsizetype length)
{
    if (!buffer || length < 2)
        return;
    for (qsizetype i = 0; i < length / 2; ++i) {
        const int high = std::max(hexValue(buffer[2 * i]), 0);
        const int low = std::max(hexValue(buffer[2 * i + 1]), 0);
        buffer[i] = char(16 * high + low);
    }
}

QByteArray Utils::hexToBinary(const QString& text)
{
    QByteArray data;
    const qsizetype pairs = text.size() / 2;
    data.reserve(pairs);
    for (qsizetype i = 0; i < pairs; ++i) {
        // A pair is read like a base-16 number: reading stops at the first non-digit.
        int value = 0;
        for (qsizetype k = 0; k < 2; ++k) {
            const char16_t c = text[2 * i + k].unicode();
            const int digit = c > 127 ? -1 : hexValue(char(c));
            if (digit < 0)
                break;
            value = value * 16 + digit;
        }
        data.append(char(value & 0xff));
    }
    qCDebug(lcUtil, "%s", qUtf8Printable(describeData(data)));
    return data;
}

} // namespace qv
