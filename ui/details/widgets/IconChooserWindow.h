#pragma once

#include <QDialog>

class QListWidget;

namespace qv {

// The icon chooser: a small window of the item icons we ship; a click on one chooses it and
// closes the window.
class IconChooserWindow : public QDialog {
    Q_OBJECT
public:
    explicit IconChooserWindow(QWidget* parent = nullptr);

    QListWidget* iconList() const { return m_list; }

signals:
    void iconChosen(const QString& name);

private:
    QListWidget* m_list = nullptr;
};

} // namespace qv
