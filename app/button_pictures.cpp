#include "app/button_pictures.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <cmath>

namespace sorami {

namespace {

// A transparent pixmap and a painter whose coordinates are those at 96 dpi.
class TPictureCanvas {
 public:
  TPictureCanvas(QSize size, double scale) : pixmap_(ScaledSize(size, scale)) {
    pixmap_.fill(Qt::transparent);
    painter_.begin(&pixmap_);
    painter_.setRenderHint(QPainter::Antialiasing);
    painter_.setRenderHint(QPainter::TextAntialiasing);
    painter_.scale(scale, scale);
  }
  QPainter& painter() { return painter_; }
  QPixmap Finish() {
    painter_.end();
    return pixmap_;
  }

 private:
  QPixmap pixmap_;
  QPainter painter_;
};

}  // namespace

QSize ScaledSize(QSize size, double scale) {
  return QSize(static_cast<int>(std::lround(size.width() * scale)),
               static_cast<int>(std::lround(size.height() * scale)));
}

QPixmap DrawReadPicture(double scale) {
  TPictureCanvas canvas(kReadPictureSize, scale);
  QPainter& p = canvas.painter();
  // A shaft and a head, centred, pointing down.
  const QPolygonF arrow({{17, 4}, {31, 4}, {31, 24}, {42, 24}, {24, 44}, {6, 24}, {17, 24}});
  p.setPen(QPen(Qt::black, 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
  p.setBrush(QColor(128, 128, 128));
  p.drawPolygon(arrow);
  return canvas.Finish();
}

QPixmap DrawClosePicture(double scale) {
  TPictureCanvas canvas(kClosePictureSize, scale);
  QPainter& p = canvas.painter();
  // The door frame.
  p.setPen(QPen(Qt::black, 1));
  p.setBrush(QColor(192, 192, 192));
  p.drawRect(QRectF(3.5, 1.5, 10, 17));
  // The open door, seen at an angle.
  p.setBrush(QColor(128, 64, 0));
  p.drawPolygon(QPolygonF({{3.5, 1.5}, {9.5, 3.5}, {9.5, 19.5}, {3.5, 18.5}}));
  // The arrow leaving through the doorway.
  p.setPen(QPen(QColor(0, 128, 0), 2));
  p.drawLine(QPointF(11, 10), QPointF(18, 10));
  p.setBrush(QColor(0, 128, 0));
  p.setPen(Qt::NoPen);
  p.drawPolygon(QPolygonF({{15, 6.5}, {19.5, 10}, {15, 13.5}}));
  return canvas.Finish();
}

QPixmap DrawVersionPicture(double scale) {
  TPictureCanvas canvas(kVersionPictureSize, scale);
  QPainter& p = canvas.painter();
  QFont font;
  font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"),
                    QStringLiteral("IPAGothic")});
  font.setPixelSize(11);
  font.setBold(true);
  p.setFont(font);
  p.setPen(QColor(64, 64, 64));
  p.drawText(QRectF(QPointF(0, 0), QSizeF(kVersionPictureSize)), Qt::AlignCenter,
             QStringLiteral("Version"));
  return canvas.Finish();
}

}  // namespace sorami
