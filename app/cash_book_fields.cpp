#include "app/cash_book_fields.h"

namespace sorami {

const std::vector<TBoundField>& BoundFieldsOf(const std::string& table_name) {
  static const std::vector<TBoundField> kSorami = {
      {"年月日", TBoundFieldKind::kDate},  {"コード", TBoundFieldKind::kText},
      {"区分", TBoundFieldKind::kText},    {"摘要", TBoundFieldKind::kText},
      {"入金", TBoundFieldKind::kFloat},   {"出金", TBoundFieldKind::kFloat},
      {"残高", TBoundFieldKind::kFloat}};
  static const std::vector<TBoundField> kKamoku = {{"コード", TBoundFieldKind::kText},
                                                   {"勘定科目", TBoundFieldKind::kText}};
  static const std::vector<TBoundField> kKubun = {{"区分", TBoundFieldKind::kText}};
  static const std::vector<TBoundField> kNone;
  if (table_name == "SORAMI") return kSorami;
  if (table_name == "KAMOKU") return kKamoku;
  if (table_name == "kubun") return kKubun;
  return kNone;
}

}  // namespace sorami
