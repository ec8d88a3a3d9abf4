#include "platform/rest/MultipartParams.h"

#include <QFile>
#include <QFileInfo>
#include <QHttpMultiPart>
#include <QRandomGenerator>

namespace qv::rest {

namespace {

// Keeps a name from ending the quoted field or the header line.
QByteArray quoted(const QString& text)
{
    QByteArray bytes = text.toUtf8();
    bytes.replace('"', "%22").replace('\r', "%0D").replace('\n', "%0A");
    return '"' + bytes + '"';
}

} // namespace

MultipartParams::MultipartParams()
{
    quint32 words[4];
    QRandomGenerator::global()->fillRange(words);
    m_boundary = "qv-boundary-" + QByteArray(reinterpret_cast<const char*>(words), sizeof words).toHex();
}

void MultipartParams::setValue(const QString& value, const QString& param)
{
    m_parts.append({param, value.toUtf8(), {}, {}, {}});
}

void MultipartParams::setFile(const QString& path, const QString& param)
{
    m_parts.append({param, {}, path, QFileInfo(path).fileName(), "application/octet-stream"});
}

void MultipartParams::setData(const QByteArray& data, const QString& param, const QString& fileName,
                              const QByteArray& mimeType)
{
    m_parts.append({param, data, {}, fileName.isEmpty() ? param : fileName, mimeType});
}

QByteArray MultipartParams::contentType() const
{
    // The form QNetworkAccessManager writes for a QHttpMultiPart.
    return "multipart/form-data; boundary=\"" + m_boundary + '"';
}

QByteArray MultipartParams::dispositionOf(const Field& field) const
{
    QByteArray value = "form-data; name=" + quoted(field.param);
    if (field.isFile())
        value += "; filename=" + quoted(field.fileName);
    return value;
}

qint64 MultipartParams::contentLength() const
{
    // Mirrors QHttpMultiPart's layout: "--" boundary CRLF, headers, CRLF, body, CRLF per part,
    // then "--" boundary "--" CRLF.
    qint64 size = 0;
    for (const Field& field : m_parts) {
        qint64 headers = QByteArray("Content-Disposition: ").size() + dispositionOf(field).size() + 2;
        if (field.isFile())
            headers += QByteArray("Content-Type: ").size() + field.mimeType.size() + 2;
        qint64 body = field.value.size();
        if (!field.filePath.isEmpty()) {
            QFileInfo info(field.filePath);
            if (!info.isFile() || !info.isReadable())
                return -1;
            body = info.size();
        }
        size += 2 + m_boundary.size() + 2 + headers + 2 + body + 2;
    }
    return size + 2 + m_boundary.size() + 4;
}

QHttpMultiPart* MultipartParams::build(QObject* parent, QString* error) const
{
    auto* multipart = new QHttpMultiPart(QHttpMultiPart::FormDataType, parent);
    multipart->setBoundary(m_boundary);
    for (const Field& field : m_parts) {
        QHttpPart httpPart;
        httpPart.setRawHeader("Content-Disposition", dispositionOf(field));
        if (field.isFile())
            httpPart.setRawHeader("Content-Type", field.mimeType);
        if (!field.filePath.isEmpty()) {
            auto* file = new QFile(field.filePath, multipart);
            if (!file->open(QIODevice::ReadOnly)) {
                if (error)
                    *error = QStringLiteral("Cannot read %1: %2").arg(field.filePath, file->errorString());
                delete multipart;
                return nullptr;
            }
            httpPart.setBodyDevice(file);
        } else {
            httpPart.setBody(field.value);
        }
        multipart->append(httpPart);
    }
    return multipart;
}

} // namespace qv::rest
