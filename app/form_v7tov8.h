// The main window: the file name box for the version 7 export, the read button, the three
// grids over the version 8 tables, the close button and the version button.
//
// Every control sits at a fixed position given in pixels at 96 dpi and scaled by the screen's
// logical DPI / 96. Messages and the file-open dialog go through TUserDialogs, which is
// borrowed and must outlive the window.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QWidget>

#include "app/file_name_box.h"
#include "app/user_dialogs.h"

namespace sorami {

class TGridModel;

inline constexpr char kFormCaption[] = "ソラミ V7 to V8 移行プログラム";
inline constexpr char kFileLabelText[] = "ソラミV7のCSVファイルを選んでください：";
inline constexpr char kReadButtonText[] = "読み込む";
inline constexpr char kCloseButtonText[] = "閉じる(&C)";
// The version notice: four lines joined by CR LF.
inline constexpr char kVersionNotice[] =
    "ソラミ\r\n"
    "V7 to V8 データ移行プログラム（簡易版）\r\n"
    "Ver.1.0\r\n"
    "© 2026 ソラミ移行プログラム開発チーム";

// The window's font: "Meiryo UI" where it is installed, else a Japanese font that is.
inline constexpr char kFormFontFamily[] = "Meiryo UI";
inline constexpr int kFormFontPixelSize = 15;

// Client size at 96 dpi.
inline constexpr int kFormClientWidth = 792;
inline constexpr int kFormClientHeight = 569;

class TFormV7toV8 : public QWidget {
  Q_OBJECT

 public:
  // `scale` is the screen's logical DPI / 96 (ScreenScale() for the primary screen).
  TFormV7toV8(TUserDialogs& dialogs, double scale, QWidget* parent = nullptr);

  // The primary screen's logical DPI / 96 (1 without a screen). Where Qt scales to device
  // pixels itself (high-DPI screens), the logical DPI it reports stays near 96, so the two
  // scalings do not add up.
  static double ScreenScale();
  // The font families tried for the window's font, in order.
  static QStringList FontFamilies();

  QLabel* Label1() const { return label1_; }
  TFileNameBox* FileOpenEdit1() const { return file_open_edit1_; }
  QPushButton* ButtonCSVRead() const { return button_csv_read_; }
  QTableView* DBGrid1() const { return db_grid1_; }
  QTableView* DBGrid2() const { return db_grid2_; }
  QTableView* DBGrid3() const { return db_grid3_; }
  QPushButton* BitBtn1() const { return bit_btn1_; }
  QToolButton* SpeedButton1() const { return speed_button1_; }

  // Places the window in the centre of its screen's available area.
  void CentreOnScreen();

 public slots:
  // The read button. The import of the version 7 export plugs in here; until it exists the
  // handler only applies the import's first rule: a blank file name does nothing.
  void ButtonCSVReadClick();
  // The version button: shows the version notice.
  void SpeedButton1Click();

 private:
  QRect Scaled(int left, int top, int width, int height) const;
  QTableView* MakeGrid(const char* name, TGridModel* model, QRect geometry);

  TUserDialogs& dialogs_;
  double scale_;
  QLabel* label1_;
  TFileNameBox* file_open_edit1_;
  QPushButton* button_csv_read_;
  QTableView* db_grid1_;
  QTableView* db_grid2_;
  QTableView* db_grid3_;
  QPushButton* bit_btn1_;
  QToolButton* speed_button1_;
};

}  // namespace sorami
