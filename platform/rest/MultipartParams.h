#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace qv::rest {

class SendOnceBody;

// A multipart form body: text values and files, sent in the order they were set.
class MultipartParams {
public:
    MultipartParams();

    void setValue(const QString& value, const QString& param);
    // The file's bytes are read when the request is sent; its name travels as the last path
    // component.
    void setFile(const QString& path, const QString& param);
    void setData(const QByteArray& data, const QString& param, const QString& fileName,
                 const QByteArray& mimeType = "application/octet-stream");

    QByteArray boundary() const { return m_boundary; }
    // "multipart/form-data; boundary=..."
    QByteArray contentType() const;
    // The body's size in bytes, or -1 when a file cannot be read.
    qint64 contentLength() const;

    // Adds the body's pieces, in the layout contentLength() counts; false (and why in error)
    // when a file cannot be opened.
    bool appendTo(SendOnceBody& body, QString* error) const;

private:
    struct Field {
        QString param;
        QByteArray value; // text value or in-memory data
        QString filePath; // file parts read from disk
        QString fileName; // set for file and data parts
        QByteArray mimeType;
        bool isFile() const { return !fileName.isEmpty(); }
    };
    QByteArray dispositionOf(const Field& field) const;

    QByteArray m_boundary;
    QList<Field> m_parts;
};

} // namespace qv::rest
