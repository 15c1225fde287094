#include "app/form_v7tov8.h"

#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QImage>
#include <QRawFont>
#include <cmath>
#include <string>
#include <vector>

#include "app/blank_text.h"
#include "app/button_pictures.h"
#include "app/file_filter.h"
#include "tests/app/recording_dialogs.h"

namespace sorami_test {
namespace {

int Scale(int value, double scale) { return static_cast<int>(std::lround(value * scale)); }

class FormTest : public testing::TestWithParam<double> {
 protected:
  double scale() const { return GetParam(); }
  QRect Scaled(int left, int top, int width, int height) const {
    return QRect(Scale(left, scale()), Scale(top, scale()), Scale(width, scale()),
                 Scale(height, scale()));
  }

  TRecordingDialogs dialogs_;
  sorami::TFormV7toV8 form_{dialogs_, GetParam()};
};

TEST_P(FormTest, ControlsSitWhereTheyBelong) {
  EXPECT_EQ(form_.size(), QSize(Scale(792, scale()), Scale(569, scale())));
  const struct {
    const char* name;
    QWidget* widget;
    QRect geometry;
  } controls[] = {
      {"Label1", form_.Label1(), Scaled(16, 8, 328, 19)},
      {"FileOpenEdit1", form_.FileOpenEdit1(), Scaled(16, 33, 597, 28)},
      {"ButtonCSVRead", form_.ButtonCSVRead(), Scaled(236, 75, 141, 70)},
      {"DBGrid1", form_.DBGrid1(), Scaled(8, 400, 261, 153)},
      {"DBGrid2", form_.DBGrid2(), Scaled(275, 400, 133, 153)},
      {"DBGrid3", form_.DBGrid3(), Scaled(8, 160, 761, 229)},
      {"BitBtn1", form_.BitBtn1(), Scaled(653, 16, 131, 41)},
      {"SpeedButton1", form_.SpeedButton1(), Scaled(692, 527, 77, 26)},
  };
  for (const auto& control : controls) {
    EXPECT_EQ(control.widget->objectName().toStdString(), control.name);
    EXPECT_EQ(control.widget->parentWidget(), &form_) << control.name;
    EXPECT_EQ(control.widget->geometry(), control.geometry) << control.name;
  }
  // The browse button is 18 pixels wide at the right edge of the file name box once the box
  // is laid out on the screen.
  form_.show();
  const QRect browse = form_.FileOpenEdit1()->browseButton()->geometry();
  EXPECT_EQ(browse.width(), Scale(18, scale()));
  EXPECT_EQ(browse.right(), form_.FileOpenEdit1()->width() - 1);
  EXPECT_EQ(form_.FileOpenEdit1()->edit()->geometry().right(), browse.left() - 1);
  EXPECT_EQ(form_.ButtonCSVRead()->iconSize(), QSize(Scale(48, scale()), Scale(48, scale())));
  EXPECT_EQ(form_.SpeedButton1()->iconSize(), QSize(Scale(50, scale()), Scale(14, scale())));
  EXPECT_EQ(form_.font().pixelSize(), Scale(15, scale()));
}

TEST_P(FormTest, GridsHaveTheirColumns) {
  const struct {
    QTableView* grid;
    std::vector<std::string> titles;
    std::vector<int> fixed_widths;  // 0: the default width
  } grids[] = {
      {form_.DBGrid3(),
       {"年月日", "コード", "勘定科目名", "区分", "摘要", "入金", "出金", "残高"},
       {0, 64, 64, 64, 64, 64, 64, 64}},
      {form_.DBGrid1(), {"コード", "勘定科目"}, {0, 64}},
      {form_.DBGrid2(), {"区分"}, {0}},
  };
  const QFontMetrics metrics(form_.font());
  for (const auto& g : grids) {
    SCOPED_TRACE(g.grid->objectName().toStdString());
    QAbstractItemModel* model = g.grid->model();
    ASSERT_EQ(model->columnCount(), static_cast<int>(g.titles.size()));
    EXPECT_EQ(model->rowCount(), 0);
    for (int i = 0; i < model->columnCount(); ++i) {
      const QString title = model->headerData(i, Qt::Horizontal).toString();
      EXPECT_EQ(title.toStdString(), g.titles[static_cast<size_t>(i)]);
      const int width = g.grid->columnWidth(i);
      if (g.fixed_widths[static_cast<size_t>(i)] > 0) {
        EXPECT_EQ(width, Scale(g.fixed_widths[static_cast<size_t>(i)], scale())) << i;
      } else {
        // Wide enough for its title and for several digits of the field's display width.
        EXPECT_GT(width, metrics.horizontalAdvance(title)) << i;
        EXPECT_GE(width, 5 * metrics.horizontalAdvance(QLatin1Char('0'))) << i;
      }
    }
    EXPECT_EQ(g.grid->horizontalHeader()->font(), form_.font());
    EXPECT_FALSE(g.grid->tabKeyNavigation());
  }
}

INSTANTIATE_TEST_SUITE_P(Scales, FormTest, testing::Values(1.0, 1.5, 2.0));

class FormAt96DpiTest : public testing::Test {
 protected:
  TRecordingDialogs dialogs_;
  sorami::TFormV7toV8 form_{dialogs_, 1.0};
};

TEST_F(FormAt96DpiTest, CaptionTextsAndFont) {
  EXPECT_EQ(form_.windowTitle().toStdString(), "ソラミ V7 to V8 移行プログラム");
  EXPECT_EQ(form_.Label1()->text().toStdString(), "ソラミV7のCSVファイルを選んでください：");
  EXPECT_EQ(form_.ButtonCSVRead()->text().toStdString(), "読み込む");
  EXPECT_EQ(form_.BitBtn1()->text().toStdString(), "閉じる(&C)");
  EXPECT_FALSE(form_.ButtonCSVRead()->icon().isNull());
  EXPECT_FALSE(form_.BitBtn1()->icon().isNull());
  EXPECT_TRUE(form_.SpeedButton1()->autoRaise());
  EXPECT_TRUE(form_.FileOpenEdit1()->text().isEmpty());

  EXPECT_EQ(form_.font().families().value(0).toStdString(), "Meiryo UI");
  EXPECT_EQ(form_.palette().color(QPalette::Window), form_.palette().color(QPalette::Button));
  EXPECT_EQ(form_.palette().color(QPalette::WindowText), QColor(Qt::black));
  // Where "Meiryo UI" is missing, a fallback that has the Japanese characters is used.
  const QString family = QFontInfo(form_.font()).family();
  EXPECT_TRUE(sorami::TFormV7toV8::FontFamilies().contains(family)) << family.toStdString();
  const QRawFont raw = QRawFont::fromFont(form_.font(), QFontDatabase::Japanese);
  for (char32_t c : {U'読', U'ソ', U'込', U'：'}) EXPECT_TRUE(raw.supportsCharacter(c));
}

TEST_F(FormAt96DpiTest, TabOrderRunsFromFileNameToClose) {
  const std::vector<QWidget*> expected = {form_.FileOpenEdit1()->edit(),
                                          form_.ButtonCSVRead(),
                                          form_.DBGrid1(),
                                          form_.DBGrid2(),
                                          form_.DBGrid3(),
                                          form_.BitBtn1()};
  std::vector<QWidget*> order;
  QWidget* w = expected.front();
  do {
    if ((w->focusPolicy() & Qt::TabFocus) && w->focusProxy() == nullptr && w != &form_) {
      order.push_back(w);
    }
    w = w->nextInFocusChain();
  } while (w != expected.front());
  EXPECT_EQ(order, expected);
  EXPECT_EQ(form_.SpeedButton1()->focusPolicy(), Qt::NoFocus);
  EXPECT_EQ(form_.FileOpenEdit1()->browseButton()->focusPolicy(), Qt::NoFocus);
}

TEST_F(FormAt96DpiTest, VersionButtonShowsTheNotice) {
  form_.SpeedButton1()->click();
  ASSERT_EQ(dialogs_.boxes.size(), 1u);
  EXPECT_EQ(dialogs_.boxes[0].kind, TBoxKind::kConfirmation);
  const std::string& text = dialogs_.boxes[0].text;
  const std::string first_three =
      "ソラミ\r\nV7 to V8 データ移行プログラム（簡易版）\r\nVer.1.0\r\n";
  ASSERT_EQ(text.substr(0, first_three.size()), first_three);
  const std::string fourth = text.substr(first_three.size());
  EXPECT_FALSE(fourth.empty());
  EXPECT_EQ(fourth.find_first_of("\r\n"), std::string::npos);
}

TEST_F(FormAt96DpiTest, BrowseOffersTheFiltersAndFillsTheBox) {
  form_.FileOpenEdit1()->setText(QStringLiteral("/old/name.csv"));
  dialogs_.file_open_answer = "/home/u/書類/export.csv";
  form_.FileOpenEdit1()->browseButton()->click();
  ASSERT_EQ(dialogs_.file_open_requests.size(), 1u);
  const sorami::TFileOpenRequest& request = dialogs_.file_open_requests[0];
  EXPECT_EQ(request.filter, "CSVファイル|*.csv|テキストファイル|*.txt|全てのファイル|*.*");
  EXPECT_EQ(request.default_extension, ".csv");
  EXPECT_EQ(request.initial_file_name, "/old/name.csv");
  EXPECT_EQ(form_.FileOpenEdit1()->text().toStdString(), "/home/u/書類/export.csv");

  // Cancelling leaves the box as it was.
  dialogs_.file_open_answer.reset();
  form_.FileOpenEdit1()->browseButton()->click();
  EXPECT_EQ(dialogs_.file_open_requests.size(), 2u);
  EXPECT_EQ(form_.FileOpenEdit1()->text().toStdString(), "/home/u/書類/export.csv");
  EXPECT_TRUE(dialogs_.boxes.empty());
}

TEST_F(FormAt96DpiTest, ReadWithBlankFileNameDoesNothing) {
  for (const QString& name : {QString(), QStringLiteral("  \t ")}) {
    form_.FileOpenEdit1()->setText(name);
    form_.ButtonCSVRead()->click();
    EXPECT_TRUE(dialogs_.boxes.empty());
    EXPECT_TRUE(dialogs_.file_open_requests.empty());
    EXPECT_EQ(form_.FileOpenEdit1()->text(), name);
  }
}

TEST_F(FormAt96DpiTest, CloseButtonClosesTheWindow) {
  form_.show();
  ASSERT_TRUE(form_.isVisible());
  form_.BitBtn1()->click();
  EXPECT_FALSE(form_.isVisible());
}

TEST(BlankTextTest, OnlyCodesUpTo32AreBlank) {
  const struct {
    QString text;
    bool blank;
  } cases[] = {
      {QString(), true},
      {QStringLiteral(" \t\r\n"), true},
      {QString(QChar(0x01)), true},
      {QStringLiteral(" a "), false},
      {QString(QChar(0x3000)), false},  // the ideographic space is an ordinary character
      {QString(QChar(0xA0)), false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(sorami::IsBlankText(c.text), c.blank) << c.text.toStdString();
}

// Rows of opaque pixels of a picture: for each row, the count of opaque pixels.
std::vector<int> OpaqueWidths(const QImage& image) {
  std::vector<int> widths;
  for (int y = 0; y < image.height(); ++y) {
    int count = 0;
    for (int x = 0; x < image.width(); ++x) count += qAlpha(image.pixel(x, y)) > 128 ? 1 : 0;
    widths.push_back(count);
  }
  return widths;
}

TEST(ButtonPictureTest, ReadArrowIsGreyAndBlackAndPointsDown) {
  const QImage image = sorami::DrawReadPicture(1.0).toImage();
  ASSERT_EQ(image.size(), QSize(48, 48));
  bool black = false, grey = false;
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 48; ++x) {
      const QRgb p = image.pixel(x, y);
      if (qAlpha(p) < 250) continue;
      black = black || (qRed(p) < 40 && qGreen(p) < 40 && qBlue(p) < 40);
      grey =
          grey || (std::abs(qRed(p) - 128) < 20 && qRed(p) == qGreen(p) && qGreen(p) == qBlue(p));
    }
  }
  EXPECT_TRUE(black);
  EXPECT_TRUE(grey);
  // A narrow shaft above a wide head that narrows to a tip at the bottom.
  const std::vector<int> widths = OpaqueWidths(image);
  EXPECT_LT(widths[12], widths[26]);
  EXPECT_GT(widths[26], widths[40]);
  EXPECT_EQ(widths[47], 0);
  EXPECT_EQ(sorami::DrawReadPicture(2.0).size(), QSize(96, 96));
}

TEST(ButtonPictureTest, VersionPictureIsDarkGreyText) {
  const QImage image = sorami::DrawVersionPicture(1.0).toImage();
  ASSERT_EQ(image.size(), QSize(50, 14));
  int dark = 0, other = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QRgb p = image.pixel(x, y);
      if (qAlpha(p) < 250) continue;
      ++(qRed(p) < 100 && qRed(p) == qGreen(p) && qGreen(p) == qBlue(p) ? dark : other);
    }
  }
  EXPECT_GT(dark, 30);  // seven letters
  EXPECT_EQ(other, 0);
}

}  // namespace
}  // namespace sorami_test
