#include "restore/ArchiveTreeModel.h"

#include "restore/BackupCatalog.h"
#include "restore/ShownText.h"

#include <QApplication>
#include <QHash>
#include <QSet>
#include <QStyle>
#include <algorithm>

namespace {

QByteArray withoutTrailingSlash(const QByteArray& path)
{
    return path.endsWith('/') ? path.chopped(1) : path;
}

} // namespace

int ArchiveTreeModel::nodeFor(const QByteArray& path, QHash<QByteArray, int>& nodes)
{
    const auto found = nodes.constFind(path);
    if (found != nodes.constEnd())
        return *found;
    const qsizetype slash = path.lastIndexOf('/');
    const int parent = slash < 0 ? 0 : nodeFor(path.left(slash), nodes);
    Node added;
    added.parent = parent;
    added.path = path;
    added.name = ShownName(path.mid(slash + 1));
    const int id = static_cast<int>(m_nodes.size());
    m_nodes.push_back(std::move(added));
    node(parent).children.push_back(id);
    nodes.insert(path, id);
    return id;
}

// Orders the children, numbers their rows and adds up the folder's size.
void ArchiveTreeModel::arrange(int id)
{
    std::vector<int>& children = node(id).children;
    std::sort(children.begin(), children.end(), [this](int a, int b) {
        const Node& x = node(a);
        const Node& y = node(b);
        if (x.folder != y.folder)
            return x.folder;
        const int order = x.name.compare(y.name, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : x.path < y.path;
    });
    for (std::size_t row = 0; row < children.size(); ++row) {
        const int child = children[row];
        node(child).row = static_cast<int>(row);
        arrange(child);
        node(id).size += node(child).size;
    }
}

void ArchiveTreeModel::show(const BackupCatalog* catalog, int archive)
{
    beginResetModel();
    m_nodes.assign(1, Node {});
    if (catalog && archive >= 0 && static_cast<std::size_t>(archive) < catalog->archives().size()) {
        QHash<QByteArray, int> nodes;
        for (const std::uint32_t id : catalog->archives()[static_cast<std::size_t>(archive)].entries) {
            const BackupCatalog::Version& version = catalog->version(id);
            Node& shown = node(nodeFor(withoutTrailingSlash(catalog->path(version.path)), nodes));
            shown.version = id;
            shown.folder = version.kind == EntryFacts::Kind::Folder;
            shown.size = shown.folder ? 0 : version.size;
            shown.mtimeNs = version.mtimeNs;
        }
        arrange(0);
    }
    endResetModel();
}

std::vector<std::pair<std::uint32_t, QByteArray>> ArchiveTreeModel::versionsUnder(const QModelIndexList& items) const
{
    QSet<int> chosen;
    for (const QModelIndex& item : items)
        chosen.insert(nodeOf(item));
    std::vector<std::pair<std::uint32_t, QByteArray>> versions;
    for (const int top : std::as_const(chosen)) {
        bool inside = false;
        for (int up = node(top).parent; up > 0 && !inside; up = node(up).parent)
            inside = chosen.contains(up);
        if (inside || top == 0)
            continue;
        const qsizetype base = node(top).path.lastIndexOf('/') + 1;
        std::vector<int> pending { top };
        while (!pending.empty()) {
            const Node& below = node(pending.back());
            pending.pop_back();
            if (below.version >= 0)
                versions.emplace_back(static_cast<std::uint32_t>(below.version), below.path.mid(base));
            pending.insert(pending.end(), below.children.begin(), below.children.end());
        }
    }
    return versions;
}

int ArchiveTreeModel::nodeOf(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<int>(index.internalId()) : 0;
}

QModelIndex ArchiveTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    const std::vector<int>& children = node(nodeOf(parent)).children;
    if (row < 0 || static_cast<std::size_t>(row) >= children.size() || column < 0 || column >= ColumnCount)
        return {};
    return createIndex(row, column, static_cast<quintptr>(children[static_cast<std::size_t>(row)]));
}

QModelIndex ArchiveTreeModel::parent(const QModelIndex& child) const
{
    const int parent = node(nodeOf(child)).parent;
    if (parent <= 0)
        return {};
    return createIndex(node(parent).row, 0, static_cast<quintptr>(parent));
}

int ArchiveTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    return static_cast<int>(node(nodeOf(parent)).children.size());
}

int ArchiveTreeModel::columnCount(const QModelIndex&) const
{
    return ColumnCount;
}

QVariant ArchiveTreeModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const Node& shown = node(nodeOf(index));
    if (role == Qt::DecorationRole && index.column() == NameColumn)
        return QApplication::style()->standardIcon(shown.folder ? QStyle::SP_DirIcon : QStyle::SP_FileIcon);
    if (role == Qt::TextAlignmentRole && index.column() == SizeColumn)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case NameColumn:
        return shown.name;
    case SizeColumn:
        return ShownSize(shown.size);
    case ModifiedColumn:
        return shown.version < 0 ? QVariant() : QVariant(ShownTime(shown.mtimeNs));
    default:
        return {};
    }
}

QVariant ArchiveTreeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char* const titles[] = { "Name", "Size", "Modified" };
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section]) : QVariant();
}
