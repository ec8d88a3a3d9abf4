#pragma once

#include <QByteArray>
#include <QIODevice>

#include <memory>
#include <vector>

namespace qv::rest {

// A request body that can be read only once, from its first byte to its last.
//
// When a connection closes after a request went out and before any reply came, the network
// layer sends the request again by itself, although the server may have carried out the
// first one: a POST then creates its object twice. It cannot do that with a body that cannot
// be read again, and fails the request instead (QNetworkReply::ContentReSendError), so the
// caller decides what an unknown outcome means. The request needs the Content-Length header
// (size()) and QNetworkRequest::DoNotBufferUploadDataAttribute, or the layer keeps a copy.
class SendOnceBody : public QIODevice {
public:
    explicit SendOnceBody(QObject* parent = nullptr);
    ~SendOnceBody() override;

    // The pieces go out in the order they were added. A device is read to its end when its
    // turn comes; the body takes it over. Add everything before the body is opened.
    void append(const QByteArray& bytes);
    void append(std::unique_ptr<QIODevice> device);

    // Bytes the whole body holds.
    qint64 totalSize() const { return m_total; }

    bool isSequential() const override { return true; }
    bool reset() override { return false; }
    bool atEnd() const override;
    qint64 bytesAvailable() const override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 maxSize) override;

private:
    struct Piece {
        QByteArray bytes;
        std::unique_ptr<QIODevice> device;
        qint64 size = 0;
    };
    std::vector<Piece> m_pieces;
    size_t m_current = 0;
    qint64 m_offset = 0; // into the current piece
    qint64 m_total = 0;
    qint64 m_read = 0;
};

} // namespace qv::rest
