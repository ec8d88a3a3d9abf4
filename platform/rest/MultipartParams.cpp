#include "platform/rest/MultipartParams.h"

#include "platform/rest/SendOnceBody.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <memory>
#include <vector>

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
    // The layout appendTo() writes: "--" boundary CRLF, headers, CRLF, body, CRLF per part,
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

bool MultipartParams::appendTo(SendOnceBody& body, QString* error) const
{
    // Every file is opened first, so a body is either whole or not started.
    std::vector<std::unique_ptr<QFile>> files;
    for (const Field& field : m_parts) {
        if (field.filePath.isEmpty())
            continue;
        auto file = std::make_unique<QFile>(field.filePath);
        if (!file->open(QIODevice::ReadOnly)) {
            if (error)
                *error = QStringLiteral("Cannot read %1: %2").arg(field.filePath, file->errorString());
            return false;
        }
        files.push_back(std::move(file));
    }
    auto nextFile = files.begin();
    const QByteArray dashes = "--";
    for (const Field& field : m_parts) {
        QByteArray head = dashes + m_boundary + "\r\n";
        head += "Content-Disposition: " + dispositionOf(field) + "\r\n";
        if (field.isFile())
            head += "Content-Type: " + field.mimeType + "\r\n";
        head += "\r\n";
        body.append(head);
        if (field.filePath.isEmpty())
            body.append(field.value);
        else
            body.append(std::move(*nextFile++));
        body.append(QByteArrayLiteral("\r\n"));
    }
    body.append(dashes + m_boundary + dashes + "\r\n");
    return true;
}

} // namespace qv::rest
