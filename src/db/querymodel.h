#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <QVector>

class TQuery;

// A read-only grid model over the rows a query object returned: a copy of them, so later
// statements on the same query object leave the grid as it was shown.
class QueryTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // fields: result columns to show, in order; headings: their captions.
    QueryTableModel(const QStringList& fields, const QStringList& headings, QObject* parent = nullptr);

    // Replaces the rows with the query's result.
    void load(const TQuery& query);

    // The text of a row's field, empty for NULL or an unknown field.
    QString text(int row, const QString& field) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QStringList m_fields;
    QStringList m_headings;
    QVector<QStringList> m_rows;
};
