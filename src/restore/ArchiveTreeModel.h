#pragma once

#include <QAbstractItemModel>
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <utility>
#include <vector>

class BackupCatalog;

// One archive of a catalog as a tree of folders and files, with size and modification time;
// folders first, then files, each by name ignoring case. Folders the archive only implies (no
// entry of their own) are shown too.
class ArchiveTreeModel final : public QAbstractItemModel
{
    Q_OBJECT
public:
    enum Column
    {
        NameColumn,
        SizeColumn,
        ModifiedColumn,
        ColumnCount
    };

    using QAbstractItemModel::QAbstractItemModel;

    // Shows that archive of the catalog, or nothing (a null catalog); the catalog must outlive the
    // showing.
    void show(const BackupCatalog* catalog, int archive);

    // The versions at and below the items, each once, with each one's path below the folder that
    // holds the item it was chosen through: an item inside another chosen item counts as part of it.
    std::vector<std::pair<std::uint32_t, QByteArray>> versionsUnder(const QModelIndexList& items) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Node
    {
        int parent = -1;
        int row = 0;
        std::vector<int> children;
        QByteArray path; // relative, without a trailing "/"
        QString name;
        std::int64_t version = -1; // -1 for a folder the archive only implies
        bool folder = true;
        std::uint64_t size = 0; // a folder's: all it holds
        std::int64_t mtimeNs = 0;
    };

    int nodeFor(const QByteArray& path, QHash<QByteArray, int>& nodes);
    void arrange(int node);
    int nodeOf(const QModelIndex& index) const;
    Node& node(int id) { return m_nodes[static_cast<std::size_t>(id)]; }
    const Node& node(int id) const { return m_nodes[static_cast<std::size_t>(id)]; }

    std::vector<Node> m_nodes = std::vector<Node>(1); // the first is the root
};
