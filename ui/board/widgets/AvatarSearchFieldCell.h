#pragma once

#include <QImage>
#include <QLineEdit>

#include <functional>

namespace qv {

class AvatarManager;

// A search field that shows, at its right end, the picture of the person whose e-mail address
// it holds, once the avatar of that address is at hand.
class AvatarSearchFieldCell final : public QLineEdit {
    Q_OBJECT
public:
    explicit AvatarSearchFieldCell(QWidget* parent = nullptr);

    // The picture at hand for an address; a null image when there is none.
    using CachedAvatar = std::function<QImage(const QString& email)>;
    void setAvatarSource(CachedAvatar source);
    // Pictures from the manager's cache (nullptr: none); an arrival redraws the field.
    void setAvatarManager(AvatarManager* avatars);

    // The square the picture takes: the field's height at its right end.
    QRect avatarRect() const;
    // The picture drawn now; null when none.
    QImage shownAvatar() const { return m_shown; }

public slots:
    void avatarArrived(const QString& email);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void lookUp();

    CachedAvatar m_source;
    QMetaObject::Connection m_arrivals;
    QImage m_shown;
};

} // namespace qv
