// The file name box: an edit box with a browse button at its right edge. The browse button
// opens the file-open dialog (through TUserDialogs) and puts the chosen file's full path into
// the box; the user may also type any text. The box's text is what the import reads.
#pragma once

#include <QLineEdit>
#include <QToolButton>
#include <QWidget>

#include "app/user_dialogs.h"

namespace sorami {

class TFileNameBox : public QWidget {
  Q_OBJECT

 public:
  // The dialogs are borrowed and must outlive the box. `request` is what the browse button
  // asks of the file-open dialog (the box's current text becomes its initial file name).
  TFileNameBox(TUserDialogs& dialogs, TFileOpenRequest request, QWidget* parent = nullptr);

  QString text() const { return edit_->text(); }
  void setText(const QString& text) { edit_->setText(text); }

  QLineEdit* edit() const { return edit_; }
  QToolButton* browseButton() const { return browse_; }
  const TFileOpenRequest& request() const { return request_; }

  // Width of the browse button in pixels at 96 dpi.
  static constexpr int kBrowseButtonWidth = 18;
  // The screen scale (logical DPI / 96) for the browse button's width.
  void setScale(double scale);

 public slots:
  void Browse();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void LayOut();

  TUserDialogs& dialogs_;
  TFileOpenRequest request_;
  QLineEdit* edit_;
  QToolButton* browse_;
  double scale_ = 1.0;
};

}  // namespace sorami
