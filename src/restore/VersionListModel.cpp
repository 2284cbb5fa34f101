#include "restore/VersionListModel.h"

#include "restore/BackupCatalog.h"
#include "restore/ShownText.h"

#include <QFileInfo>

void VersionListModel::show(const BackupCatalog* catalog, std::vector<std::uint32_t> versions)
{
    beginResetModel();
    m_catalog = catalog;
    m_versions = catalog ? std::move(versions) : std::vector<std::uint32_t>();
    endResetModel();
}

int VersionListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_versions.size());
}

int VersionListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant VersionListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !m_catalog)
        return {};
    const BackupCatalog::Version& version = m_catalog->version(versionAt(index.row()));
    if (role == Qt::TextAlignmentRole && index.column() == SizeColumn)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case PathColumn:
        return m_catalog->shownPath(version.path);
    case SizeColumn:
        return ShownSize(version.size);
    case ModifiedColumn:
        return ShownTime(version.mtimeNs);
    case BackupColumn:
        return QFileInfo(m_catalog->archives()[static_cast<std::size_t>(version.newest)].path).fileName();
    default:
        return {};
    }
}

QVariant VersionListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char* const titles[] = { "Path", "Size", "Modified", "Backup" };
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section]) : QVariant();
}
