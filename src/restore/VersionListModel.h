#pragma once

#include <QAbstractTableModel>
#include <cstdint>
#include <vector>

class BackupCatalog;

// Versions found in a catalog, one row each: path, size, modification time and the newest archive
// that holds it.
class VersionListModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column
    {
        PathColumn,
        SizeColumn,
        ModifiedColumn,
        BackupColumn,
        ColumnCount
    };

    using QAbstractTableModel::QAbstractTableModel;

    // The catalog must outlive the showing; a null one shows nothing.
    void show(const BackupCatalog* catalog, std::vector<std::uint32_t> versions);
    std::uint32_t versionAt(int row) const { return m_versions[static_cast<std::size_t>(row)]; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    const BackupCatalog* m_catalog = nullptr;
    std::vector<std::uint32_t> m_versions;
};
