#include "app/form_v7tov8.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QPalette>
#include <QScreen>
#include <algorithm>
#include <cmath>

#include "app/blank_text.h"
#include "app/button_pictures.h"
#include "app/file_filter.h"
#include "app/grid_columns.h"
#include "app/grid_model.h"

namespace sorami {

namespace {

// Default width of a grid column: the field's display width in digits of the grid's font, and
// never narrower than the title.
int DefaultColumnWidth(const QFontMetrics& metrics, const TGridColumn& column) {
  const int padding = 4;
  const int by_display_width = column.display_width * metrics.horizontalAdvance(QLatin1Char('0'));
  const int by_title = metrics.horizontalAdvance(QString::fromUtf8(column.title));
  return std::max(by_display_width, by_title) + padding;
}

}  // namespace

double TFormV7toV8::ScreenScale() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr || screen->logicalDotsPerInch() <= 0) return 1.0;
  return screen->logicalDotsPerInch() / 96.0;
}

QStringList TFormV7toV8::FontFamilies() {
  return {QString::fromUtf8(kFormFontFamily), QStringLiteral("IPAGothic"),
          QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")};
}

TFormV7toV8::TFormV7toV8(TUserDialogs& dialogs, double scale, QWidget* parent)
    : QWidget(parent), dialogs_(dialogs), scale_(scale) {
  setObjectName(QStringLiteral("FormV7toV8"));
  setWindowTitle(QString::fromUtf8(kFormCaption));

  QFont form_font;
  form_font.setFamilies(FontFamilies());
  form_font.setPixelSize(static_cast<int>(std::lround(kFormFontPixelSize * scale_)));
  setFont(form_font);

  // Button-face background, black text.
  QPalette form_palette = palette();
  form_palette.setColor(QPalette::Window, form_palette.color(QPalette::Button));
  form_palette.setColor(QPalette::WindowText, Qt::black);
  setPalette(form_palette);
  setAutoFillBackground(true);

  label1_ = new QLabel(QString::fromUtf8(kFileLabelText), this);
  label1_->setObjectName(QStringLiteral("Label1"));
  label1_->setGeometry(Scaled(16, 8, 328, 19));

  TFileOpenRequest request;
  request.filter = kCsvFileFilter;
  request.default_extension = kCsvDefaultExtension;
  file_open_edit1_ = new TFileNameBox(dialogs_, request, this);
  file_open_edit1_->setObjectName(QStringLiteral("FileOpenEdit1"));
  file_open_edit1_->setScale(scale_);
  file_open_edit1_->setGeometry(Scaled(16, 33, 597, 28));

  button_csv_read_ = new QPushButton(QString::fromUtf8(kReadButtonText), this);
  button_csv_read_->setObjectName(QStringLiteral("ButtonCSVRead"));
  button_csv_read_->setGeometry(Scaled(236, 75, 141, 70));
  button_csv_read_->setIcon(QIcon(DrawReadPicture(scale_)));
  button_csv_read_->setIconSize(ScaledSize(kReadPictureSize, scale_));
  connect(button_csv_read_, &QPushButton::clicked, this, &TFormV7toV8::ButtonCSVReadClick);

  db_grid1_ =
      MakeGrid("DBGrid1", new TGridModel(kAccountsGridColumns, this), Scaled(8, 400, 261, 153));
  db_grid2_ =
      MakeGrid("DBGrid2", new TGridModel(kCategoriesGridColumns, this), Scaled(275, 400, 133, 153));
  db_grid3_ =
      MakeGrid("DBGrid3", new TGridModel(kEntriesGridColumns, this), Scaled(8, 160, 761, 229));

  bit_btn1_ = new QPushButton(QString::fromUtf8(kCloseButtonText), this);
  bit_btn1_->setObjectName(QStringLiteral("BitBtn1"));
  bit_btn1_->setGeometry(Scaled(653, 16, 131, 41));
  bit_btn1_->setIcon(QIcon(DrawClosePicture(scale_)));
  bit_btn1_->setIconSize(ScaledSize(kClosePictureSize, scale_));
  connect(bit_btn1_, &QPushButton::clicked, this, &QWidget::close);

  speed_button1_ = new QToolButton(this);
  speed_button1_->setObjectName(QStringLiteral("SpeedButton1"));
  speed_button1_->setGeometry(Scaled(692, 527, 77, 26));
  speed_button1_->setAutoRaise(true);
  speed_button1_->setFocusPolicy(Qt::NoFocus);
  speed_button1_->setIcon(QIcon(DrawVersionPicture(scale_)));
  speed_button1_->setIconSize(ScaledSize(kVersionPictureSize, scale_));
  connect(speed_button1_, &QToolButton::clicked, this, &TFormV7toV8::SpeedButton1Click);

  // Tab order: file name, read button, accounts, categories, entries, close.
  setTabOrder(file_open_edit1_->edit(), button_csv_read_);
  setTabOrder(button_csv_read_, db_grid1_);
  setTabOrder(db_grid1_, db_grid2_);
  setTabOrder(db_grid2_, db_grid3_);
  setTabOrder(db_grid3_, bit_btn1_);

  resize(Scaled(0, 0, kFormClientWidth, kFormClientHeight).size());
  CentreOnScreen();
}

void TFormV7toV8::CentreOnScreen() {
  const QScreen* target = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
  if (target == nullptr) return;
  QRect frame = frameGeometry();
  frame.moveCenter(target->availableGeometry().center());
  move(frame.topLeft());
}

void TFormV7toV8::ButtonCSVReadClick() {
  if (IsBlankText(file_open_edit1_->text())) return;
  // The import of the file named in the box runs here.
}

void TFormV7toV8::SpeedButton1Click() { dialogs_.ShowConfirmation(kVersionNotice); }

QRect TFormV7toV8::Scaled(int left, int top, int width, int height) const {
  auto scaled = [this](int value) { return static_cast<int>(std::lround(value * scale_)); };
  return QRect(scaled(left), scaled(top), scaled(width), scaled(height));
}

QTableView* TFormV7toV8::MakeGrid(const char* name, TGridModel* model, QRect geometry) {
  auto* grid = new QTableView(this);
  grid->setObjectName(QString::fromUtf8(name));
  grid->setGeometry(geometry);
  grid->setModel(model);
  // Tab leaves the grid, as it does for the other controls.
  grid->setTabKeyNavigation(false);
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid->setSelectionBehavior(QAbstractItemView::SelectItems);
  grid->horizontalHeader()->setFont(font());
  grid->horizontalHeader()->setStretchLastSection(false);
  grid->horizontalHeader()->setHighlightSections(false);
  // The row indicator: a narrow column without numbers.
  grid->verticalHeader()->setFixedWidth(static_cast<int>(std::lround(11 * scale_)));
  const QFontMetrics metrics(font());
  for (int i = 0; i < model->columnCount(); ++i) {
    const TGridColumn& column = model->columns()[static_cast<size_t>(i)];
    grid->setColumnWidth(i, column.width > 0 ? static_cast<int>(std::lround(column.width * scale_))
                                             : DefaultColumnWidth(metrics, column));
  }
  return grid;
}

}  // namespace sorami
