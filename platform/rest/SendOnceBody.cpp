#include "platform/rest/SendOnceBody.h"

#include <algorithm>
#include <cstring>

namespace qv::rest {

SendOnceBody::SendOnceBody(QObject* parent) : QIODevice(parent) {}

SendOnceBody::~SendOnceBody() = default;

void SendOnceBody::append(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return;
    m_pieces.push_back({bytes, nullptr, bytes.size()});
    m_total += bytes.size();
}

void SendOnceBody::append(std::unique_ptr<QIODevice> device)
{
    const qint64 size = device->size();
    m_total += size;
    m_pieces.push_back({{}, std::move(device), size});
}

bool SendOnceBody::atEnd() const
{
    return m_read >= m_total;
}

qint64 SendOnceBody::bytesAvailable() const
{
    return m_total - m_read + QIODevice::bytesAvailable();
}

qint64 SendOnceBody::readData(char* data, qint64 maxSize)
{
    qint64 done = 0;
    while (done < maxSize && m_current < m_pieces.size()) {
        Piece& piece = m_pieces[m_current];
        const qint64 wanted = std::min(maxSize - done, piece.size - m_offset);
        qint64 got = 0;
        if (piece.device) {
            got = piece.device->read(data + done, wanted);
            // A file that shrank or failed under us: the request cannot be completed.
            if (got <= 0 && wanted > 0)
                return done > 0 ? done : -1;
        } else {
            std::memcpy(data + done, piece.bytes.constData() + m_offset, size_t(wanted));
            got = wanted;
        }
        done += got;
        m_offset += got;
        if (m_offset >= piece.size) {
            piece.device.reset();
            ++m_current;
            m_offset = 0;
        }
    }
    m_read += done;
    // The end is told by -1: the body is sequential, so 0 would mean "more later".
    return done == 0 && maxSize > 0 ? -1 : done;
}

qint64 SendOnceBody::writeData(const char*, qint64)
{
    return -1;
}

} // namespace qv::rest
