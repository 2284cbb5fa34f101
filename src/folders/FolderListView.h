#pragma once

#include <QCursor>
#include <QPersistentModelIndex>
#include <QTreeWidget>
#include <functional>
#include <optional>

// The user's ordered list of folders to back up: one column, entries exactly as
// received, duplicates allowed. Takes drops of files and folders from a file manager, removes the
// selected row on double-click or Delete, and lets the user reorder rows by dragging them.
class FolderListView : public QTreeWidget
{
    Q_OBJECT
public:
    explicit FolderListView(QWidget* parent = nullptr);

    void appendEntry(const QString& path);
    // Removes the selected row; nothing while the window is busy, the list is empty or no row is selected.
    void removeSelectedEntry();
    // Removes every row unless the window is busy.
    void clearEntries();
    int entryCount() const;
    // The entry at a 1-based position; raises "Index out of bounds" past the end.
    QString entryText(int position) const;
    QStringList entries() const;
    QString encodeFolders() const;
    void decodeFolders(const QString& value);

    // The window tells the list whether it is busy (removal is blocked then) and applies its hover
    // pointer rule when the mouse moves over the list. Without them the list is never busy.
    void setBusyQuery(std::function<bool()> isBusy) { m_isBusy = std::move(isBusy); }
    void setHoverPointerRule(std::function<void()> rule) { m_hoverPointerRule = std::move(rule); }

    // Reorder state, readable for the window and for tests.
    bool isArmed() const { return m_armed; }
    // The row the dragged text sits in now (0-based), or -1.
    int dragSourceRow() const { return m_dragSource.isValid() ? m_dragSource.row() : -1; }

    // Screen rows (pixels from the top of the screen) between which a reorder step scrolls nothing.
    static constexpr int ScrollUpBelowY = 305;
    static constexpr int ScrollDownAboveY = 364;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    bool windowBusy() const { return m_isBusy && m_isBusy(); }
    void itemClick();
    void reorderStep(const QPoint& viewportPos, int screenY);
    const QCursor& dragPointer();

    std::function<bool()> m_isBusy;
    std::function<void()> m_hoverPointerRule;
    bool m_armed = false;
    // Outlives the gesture on purpose; a persistent index goes invalid when its row is removed.
    QPersistentModelIndex m_dragSource;
    std::optional<QCursor> m_dragPointer;
};
