#include "app/grid_model.h"

#include <utility>

namespace sorami {

TGridModel::TGridModel(std::vector<TGridColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), columns_(std::move(columns)) {}

// No records until the dataset layer supplies them.
int TGridModel::rowCount(const QModelIndex&) const { return 0; }

int TGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant TGridModel::data(const QModelIndex&, int) const { return {}; }

QVariant TGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
      section >= columnCount()) {
    return {};
  }
  return QString::fromUtf8(columns_[static_cast<size_t>(section)].title);
}

Qt::ItemFlags TGridModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
}

}  // namespace sorami
