#include "db/querymodel.h"

#include "db/datamodulepos.h"

QueryTableModel::QueryTableModel(const QStringList& fields, const QStringList& headings, QObject* parent)
    : QAbstractTableModel(parent)
    , m_fields(fields)
    , m_headings(headings)
{
}

void QueryTableModel::load(const TQuery& query)
{
    const QStringList columns = query.columns();
    QVector<int> at;
    for (const QString& f : m_fields)
        at << columns.indexOf(f);
    beginResetModel();
    m_rows.clear();
    for (int r = 0; r < query.recordCount(); ++r) {
        QStringList row;
        for (int c : at)
            row << (c < 0 ? QString() : query.cell(r, c).asString());
        m_rows << row;
    }
    endResetModel();
}

QString QueryTableModel::text(int row, const QString& field) const
{
    const int c = m_fields.indexOf(field);
    if (row < 0 || row >= m_rows.size() || c < 0)
        return {};
    return m_rows.at(row).at(c);
}

int QueryTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int QueryTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_fields.size());
}

QVariant QueryTableModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_rows.size())
        return {};
    return m_rows.at(index.row()).at(index.column());
}

QVariant QueryTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return section < m_headings.size() ? m_headings.at(section) : QVariant();
    return section + 1;
}
