#include "app/file_name_box.h"

#include <QPainter>
#include <QPixmap>
#include <algorithm>
#include <cmath>
#include <utility>

namespace sorami {

namespace {

// Three dots, the usual sign of a button that opens a dialog.
QIcon BrowseIcon() {
  QPixmap pixmap(12, 4);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::black);
  for (int x : {1, 5, 9}) p.drawRect(x, 1, 2, 2);
  p.end();
  return QIcon(pixmap);
}

}  // namespace

TFileNameBox::TFileNameBox(TUserDialogs& dialogs, TFileOpenRequest request, QWidget* parent)
    : QWidget(parent),
      dialogs_(dialogs),
      request_(std::move(request)),
      edit_(new QLineEdit(this)),
      browse_(new QToolButton(this)) {
  setFocusProxy(edit_);
  browse_->setIcon(BrowseIcon());
  browse_->setIconSize(QSize(12, 4));
  // The edit box takes the keyboard focus; the button is for the mouse.
  browse_->setFocusPolicy(Qt::NoFocus);
  connect(browse_, &QToolButton::clicked, this, &TFileNameBox::Browse);
  LayOut();
}

void TFileNameBox::setScale(double scale) {
  scale_ = scale;
  LayOut();
}

void TFileNameBox::Browse() {
  TFileOpenRequest request = request_;
  request.initial_file_name = edit_->text().toStdString();
  if (const std::optional<std::string> chosen = dialogs_.PromptOpenFileName(request)) {
    edit_->setText(QString::fromStdString(*chosen));
  }
}

void TFileNameBox::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  LayOut();
}

void TFileNameBox::LayOut() {
  const int button_width = static_cast<int>(std::lround(kBrowseButtonWidth * scale_));
  const int edit_width = std::max(0, width() - button_width);
  edit_->setGeometry(0, 0, edit_width, height());
  browse_->setGeometry(edit_width, 0, button_width, height());
}

}  // namespace sorami
