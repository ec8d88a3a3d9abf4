#pragma once

#include <QDialog>

namespace qv {

// The master list as the window's commands reach it (the details layer builds it).
class MasterListSheet : public QDialog {
    Q_OBJECT
public:
    using QDialog::QDialog;
    virtual void reloadData() = 0;
    // Its own search field takes the keyboard.
    virtual void gotoMasterFindButton() = 0;
};

} // namespace qv
