#pragma once

#include <QPlainTextEdit>
#include <QString>

namespace qv {

// The feed's comment input. Its placeholder says whether comments can be written now ("Write
// comment ..." online, "Offline ..." otherwise) and is hidden while the input has the focus.
// Shift+Return asks for the comment to be sent; Return alone starts a new line.
class ResponderTextView final : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit ResponderTextView(QWidget* parent = nullptr);

    void setOnline(bool online);
    // The placeholder's text, whether it is hidden or not.
    const QString& placeholder() const { return m_placeholder; }

signals:
    void sendRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void showPlaceholder();

    QString m_placeholder;
};

} // namespace qv
