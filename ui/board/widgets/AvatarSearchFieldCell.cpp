#include "ui/board/widgets/AvatarSearchFieldCell.h"

#include "sync/AvatarManager.h"

#include <QPainter>

namespace qv {

AvatarSearchFieldCell::AvatarSearchFieldCell(QWidget* parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textChanged, this, &AvatarSearchFieldCell::lookUp);
}

void AvatarSearchFieldCell::setAvatarSource(CachedAvatar source)
{
    m_source = std::move(source);
    lookUp();
}

void AvatarSearchFieldCell::setAvatarManager(AvatarManager* avatars)
{
    disconnect(m_arrivals);
    if (!avatars) {
        setAvatarSource({});
        return;
    }
    m_arrivals = connect(avatars, &AvatarManager::avatarChanged, this, &AvatarSearchFieldCell::avatarArrived);
    setAvatarSource([avatars](const QString& email) {
        const AvatarImage* avatar = avatars->cachedAvatarForEmail(email);
        return avatar ? avatar->image() : QImage();
    });
}

QRect AvatarSearchFieldCell::avatarRect() const
{
    return QRect(width() - height(), 0, height(), height());
}

void AvatarSearchFieldCell::avatarArrived(const QString& email)
{
    if (email == text().trimmed())
        lookUp();
}

void AvatarSearchFieldCell::lookUp()
{
    const QString email = text().trimmed();
    m_shown = m_source && !email.isEmpty() ? m_source(email) : QImage();
    // The text stops short of the picture.
    setTextMargins(0, 0, m_shown.isNull() ? 0 : height(), 0);
    update();
}

void AvatarSearchFieldCell::resizeEvent(QResizeEvent* event)
{
    QLineEdit::resizeEvent(event);
    if (!m_shown.isNull())
        setTextMargins(0, 0, height(), 0);
}

void AvatarSearchFieldCell::paintEvent(QPaintEvent* event)
{
    QLineEdit::paintEvent(event);
    if (m_shown.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(avatarRect(), m_shown);
}

} // namespace qv
