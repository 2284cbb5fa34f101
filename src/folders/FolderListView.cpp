#include "folders/FolderListView.h"

#include "base/AppError.h"
#include "base/CursorFile.h"
#include "base/FileRoutines.h"
#include "base/RoutineNames.h"
#include "folders/DroppedPaths.h"
#include "folders/FoldersValue.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>

namespace {

// The list only reads the dropped paths. A move accepted here would let the source delete its
// files, so a drop is taken as a copy (or a link) and refused when the source offers only a move.
std::optional<Qt::DropAction> dropActionFor(Qt::DropActions offered)
{
    if (offered & Qt::CopyAction)
        return Qt::CopyAction;
    if (offered & Qt::LinkAction)
        return Qt::LinkAction;
    return std::nullopt;
}

// While dragging, only the formats on offer decide: reading the paths would ask the source for its
// data at every step and freeze the window for as long as a source takes to answer.
template<class Event> bool acceptFileDrag(Event* event)
{
    const auto action = dropActionFor(event->possibleActions());
    if (!action || !event->mimeData() || !event->mimeData()->hasUrls()) {
        event->setDropAction(Qt::IgnoreAction);
        event->ignore();
        return false;
    }
    event->setDropAction(*action);
    event->accept();
    return true;
}

} // namespace

FolderListView::FolderListView(QWidget* parent)
    : QTreeWidget(parent)
{
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setColumnCount(1);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Rows are reordered by exchanging texts, never by an outgoing drag toward other windows.
    setDragEnabled(false);
    setDragDropMode(QAbstractItemView::DropOnly);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    viewport()->setMouseTracking(true);
    header()->setStretchLastSection(false);
    setToolTip(QStringLiteral("Drag and drop files here. Double-click item to remove it. "
                              "Move | line to right and out of window to reveal full names."));
}

void FolderListView::appendEntry(const QString& path)
{
    addTopLevelItem(new QTreeWidgetItem(QStringList { path }));
}

void FolderListView::removeSelectedEntry()
{
    if (windowBusy() || entryCount() == 0)
        return;
    const QList<QTreeWidgetItem*> selected = selectedItems();
    if (selected.isEmpty())
        return;
    delete takeTopLevelItem(indexOfTopLevelItem(selected.first()));
}

void FolderListView::clearEntries()
{
    if (windowBusy())
        return;
    clear();
}

int FolderListView::entryCount() const
{
    return topLevelItemCount();
}

QString FolderListView::entryText(int position) const
{
    const QTreeWidgetItem* row = topLevelItem(position - 1);
    if (!row)
        throw AppError::indexOutOfBounds(Routine::FolderListItems);
    return row->text(0);
}

QStringList FolderListView::entries() const
{
    QStringList entries;
    for (int i = 1; i <= entryCount(); ++i)
        entries.append(entryText(i));
    return entries;
}

QString FolderListView::encodeFolders() const
{
    return FoldersValue(entries());
}

void FolderListView::decodeFolders(const QString& value)
{
    for (const QString& entry : FoldersFromValue(value))
        appendEntry(entry);
}

const QCursor& FolderListView::dragPointer()
{
    if (!m_dragPointer) {
        const auto loaded = LoadCursorFile(ProgramFolder() + QStringLiteral("/drag.ico"));
        m_dragPointer = loaded ? *loaded : QCursor(Qt::DragMoveCursor);
    }
    return *m_dragPointer;
}

void FolderListView::itemClick()
{
    viewport()->setCursor(dragPointer());
    const QList<QTreeWidgetItem*> selected = selectedItems();
    if (!selected.isEmpty())
        m_dragSource = indexFromItem(selected.first());
}

void FolderListView::mousePressEvent(QMouseEvent* event)
{
    m_armed = true;
    if (!itemAt(event->position().toPoint())) {
        // A press below the rows keeps the selection: a double-click there removes the selected row.
        setFocus(Qt::MouseFocusReason);
        event->accept();
        return;
    }
    // The list selects the row first; a press on a row is then the item click.
    QTreeWidget::mousePressEvent(event);
    itemClick();
}

void FolderListView::mouseMoveEvent(QMouseEvent* event)
{
    if (m_hoverPointerRule)
        m_hoverPointerRule();
    if (!m_armed) {
        QTreeWidget::mouseMoveEvent(event);
        return;
    }
    // While armed the list neither drag-selects nor scrolls by itself: the reorder step does both.
    reorderStep(event->position().toPoint(), qRound(event->globalPosition().y()));
}

void FolderListView::reorderStep(const QPoint& viewportPos, int screenY)
{
    QTreeWidgetItem* target = itemAt(viewportPos);
    QTreeWidgetItem* source = m_dragSource.isValid() ? itemFromIndex(m_dragSource) : nullptr;
    if (!target || !source || target == source)
        return;
    const QString targetText = target->text(0);
    const QString sourceText = source->text(0);
    if (targetText == sourceText)
        return;
    source->setText(0, targetText);
    target->setText(0, sourceText);
    setCurrentItem(target);
    m_dragSource = indexFromItem(target);
    // The screen position, not the list's: near the top of the screen the row above comes into
    // view, near the bottom the row below.
    if (screenY < ScrollUpBelowY) {
        if (QTreeWidgetItem* above = itemAbove(target))
            scrollToItem(above, EnsureVisible);
    } else if (screenY > ScrollDownAboveY) {
        if (QTreeWidgetItem* below = itemBelow(target))
            scrollToItem(below, EnsureVisible);
    }
}

void FolderListView::mouseReleaseEvent(QMouseEvent* event)
{
    // The release only ends the gesture: the list's own handling would select the row under the
    // pointer, or nothing below the rows, in place of the row the drag left selected.
    m_armed = false;
    viewport()->setCursor(Qt::ArrowCursor);
    event->accept();
}

void FolderListView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a double-click arms like any press; the row under the pointer plays no
    // part in the removal.
    m_armed = true;
    event->accept();
    removeSelectedEntry();
}

void FolderListView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Delete) {
        removeSelectedEntry();
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void FolderListView::dragEnterEvent(QDragEnterEvent* event)
{
    acceptFileDrag(event);
}

void FolderListView::dragMoveEvent(QDragMoveEvent* event)
{
    acceptFileDrag(event);
}

void FolderListView::dropEvent(QDropEvent* event)
{
    if (!acceptFileDrag(event))
        return;
    const std::optional<QStringList> paths
        = LocalPathsFromUriList(event->mimeData()->data(QStringLiteral("text/uri-list")));
    if (!paths || paths->isEmpty()) {
        event->setDropAction(Qt::IgnoreAction);
        event->ignore();
        return;
    }
    for (const QString& path : *paths)
        appendEntry(path);
}
