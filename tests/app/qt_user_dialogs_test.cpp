#include "app/qt_user_dialogs.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "app/file_filter.h"

namespace sorami_test {
namespace {

// Waits (inside the modal box's own loop) for the modal widget to appear, hands it to
// `inspect`, which must close it. Gives up after a few seconds so that a test cannot hang.
void InspectNextModal(std::function<void(QWidget*)> inspect) {
  auto* timer = new QTimer(qApp);
  auto tries = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, [timer, tries, inspect] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr && ++*tries < 500) return;
    timer->stop();
    timer->deleteLater();
    if (modal != nullptr) inspect(modal);
  });
  timer->start(10);
}

TEST(QtUserDialogsTest, BoxesHaveTheirKindAndOneOkButton) {
  const struct {
    std::function<void(sorami::TQtUserDialogs&, const std::string&)> show;
    QMessageBox::Icon icon;
  } cases[] = {
      {[](sorami::TQtUserDialogs& d, const std::string& t) { d.ShowWarning(t); },
       QMessageBox::Warning},
      {[](sorami::TQtUserDialogs& d, const std::string& t) { d.ShowConfirmation(t); },
       QMessageBox::Question},
      {[](sorami::TQtUserDialogs& d, const std::string& t) { d.ShowErrorReport(t); },
       QMessageBox::Critical},
  };
  for (const auto& c : cases) {
    sorami::TQtUserDialogs dialogs;
    bool inspected = false;
    InspectNextModal([&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      if (box == nullptr) {
        ADD_FAILURE() << "no message box";
        modal->close();
        return;
      }
      inspected = true;
      EXPECT_EQ(box->icon(), c.icon);
      EXPECT_EQ(box->text().toStdString(), "一行目\n二行目");
      ASSERT_EQ(box->buttons().size(), 1);
      EXPECT_EQ(box->standardButton(box->buttons().first()), QMessageBox::Ok);
      box->buttons().first()->click();
    });
    c.show(dialogs, "一行目\r\n二行目");
    EXPECT_TRUE(inspected);
  }
}

TEST(QtUserDialogsTest, FileDialogOffersTheFilters) {
  sorami::TQtUserDialogs dialogs;
  bool inspected = false;
  InspectNextModal([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    if (dialog == nullptr) {
      ADD_FAILURE() << "no file dialog";
      modal->close();
      return;
    }
    inspected = true;
    EXPECT_EQ(dialog->nameFilters(), QStringList({"CSVファイル (*.csv)", "テキストファイル (*.txt)",
                                                  "全てのファイル (*)"}));
    EXPECT_EQ(dialog->selectedNameFilter(), QStringLiteral("CSVファイル (*.csv)"));
    EXPECT_EQ(dialog->defaultSuffix(), QStringLiteral("csv"));
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
    dialog->reject();
  });
  const std::optional<std::string> chosen =
      dialogs.PromptOpenFileName({sorami::kCsvFileFilter, sorami::kCsvDefaultExtension, ""});
  EXPECT_TRUE(inspected);
  EXPECT_FALSE(chosen.has_value());
}

}  // namespace
}  // namespace sorami_test
