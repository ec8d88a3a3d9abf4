#pragma once

#include <QAbstractListModel>
#include <QIcon>
#include <QWidget>

class QLabel;
class QListView;
class QProgressBar;
class QPushButton;

namespace qv {

class FileManager;
class ItemFilesController;
class ScreenCapture;

// The attachments of the Files tab with the desktop's icon for each file's type.
class ItemFilesModel final : public QAbstractListModel {
    Q_OBJECT
public:
    explicit ItemFilesModel(ItemFilesController& controller, QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // The desktop's icon for the file's type, or the style's file icon.
    static QIcon iconForName(const QString& name);

private:
    ItemFilesController& m_controller;
};

// The Files tab: an icon grid of the item's attachments that takes dropped files and image
// addresses, with commands to upload, capture the screen, download, open, rename and delete,
// and the transfer's progress.
class ItemFilesView final : public QWidget {
    Q_OBJECT
public:
    // capture may be null (no screen capture on this desktop).
    ItemFilesView(ItemFilesController& controller, FileManager& files, ScreenCapture* capture,
                  QWidget* parent = nullptr);

    QListView* grid() const { return m_grid; }
    QPushButton* captureButton() const { return m_capture; }
    std::vector<int> selectedRows() const;

public slots:
    void showFileUploadDialog();
    void captureSelectionFromScreen();
    void downloadSelectedFiles();
    void deleteSelectedFiles();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateStatus();
    void showMenu(const QPoint& at);

    ItemFilesController& m_controller;
    FileManager& m_files;
    ScreenCapture* m_screen;
    ItemFilesModel* m_model = nullptr;
    QListView* m_grid = nullptr;
    QPushButton* m_capture = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_status = nullptr;
};

} // namespace qv
