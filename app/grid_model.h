// The model behind a grid: a title row and the table's rows.
//
// Until the dataset layer supplies records, the model has the columns and no rows, and nothing
// in it can be edited; the data-aware model that follows a table component replaces it.
#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "app/grid_columns.h"

namespace sorami {

class TGridModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit TGridModel(std::vector<TGridColumn> columns, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  const std::vector<TGridColumn>& columns() const { return columns_; }

 private:
  std::vector<TGridColumn> columns_;
};

}  // namespace sorami
