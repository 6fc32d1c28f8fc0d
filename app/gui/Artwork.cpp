#include "Artwork.h"

#include <QImageReader>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

bool SvgReadable() {
  static const bool readable = QImageReader::supportedImageFormats().contains("svg");
  return readable;
}

QPixmap FromResource(const QString& path, const QSize& size) {
  if (!SvgReadable()) return {};
  QImageReader reader(path);
  reader.setScaledSize(size);
  QImage img = reader.read();
  return img.isNull() ? QPixmap() : QPixmap::fromImage(img);
}

QPixmap Canvas(const QSize& size) {
  QPixmap pm(size);
  pm.fill(Qt::transparent);
  return pm;
}

// Everything below draws on a 64 x 64 grid scaled to the target.
void PaintMelody(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x1e, 0x6f, 0xd9));
  p.drawEllipse(QRectF(10, 40, 18, 13));
  p.drawEllipse(QRectF(36, 34, 18, 13));
  p.drawRect(QRectF(24, 12, 4, 35));
  p.drawRect(QRectF(50, 6, 4, 35));
  QPainterPath beam;
  beam.moveTo(24, 12);
  beam.lineTo(54, 6);
  beam.lineTo(54, 14);
  beam.lineTo(24, 20);
  beam.closeSubpath();
  p.drawPath(beam);
}

void PaintAnimation(QPainter& p) {
  p.setPen(QPen(QColor(0x5a, 0x2d, 0x91), 3));
  p.setBrush(QColor(0xe9, 0xdc, 0xf7));
  p.drawRoundedRect(QRectF(6, 12, 52, 40), 4, 4);
  p.setBrush(QColor(0x5a, 0x2d, 0x91));
  for (int i = 0; i < 5; ++i) {
    p.drawRect(QRectF(10 + i * 10, 15, 4, 4));
    p.drawRect(QRectF(10 + i * 10, 45, 4, 4));
  }
  QPolygonF play;
  play << QPointF(26, 24) << QPointF(42, 32) << QPointF(26, 40);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xf2, 0x8c, 0x28));
  p.drawPolygon(play);
}

void PaintPicture(QPainter& p) {
  p.setPen(QPen(QColor(0x2f, 0x7d, 0x32), 3));
  p.setBrush(QColor(0xe3, 0xf4, 0xfd));
  p.drawRect(QRectF(6, 10, 52, 44));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xfb, 0xc0, 0x2d));
  p.drawEllipse(QRectF(40, 16, 10, 10));
  QPolygonF hills;
  hills << QPointF(8, 52) << QPointF(24, 28) << QPointF(34, 42) << QPointF(42, 34) << QPointF(56, 52);
  p.setBrush(QColor(0x43, 0xa0, 0x47));
  p.drawPolygon(hills);
}

void PaintJava(QPainter& p) {
  p.setPen(QPen(QColor(0x8d, 0x4b, 0x25), 3));
  p.setBrush(QColor(0xff, 0xf3, 0xe0));
  QPainterPath cup;
  cup.moveTo(12, 26);
  cup.lineTo(44, 26);
  cup.lineTo(40, 52);
  cup.lineTo(16, 52);
  cup.closeSubpath();
  p.drawPath(cup);
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(38, 30, 14, 12), -90 * 16, 180 * 16);
  p.drawLine(QPointF(8, 57), QPointF(48, 57));
  p.setPen(QPen(QColor(0xc6, 0x28, 0x28), 2.5));
  for (int x : {20, 28, 36}) {
    QPainterPath steam;
    steam.moveTo(x, 22);
    steam.cubicTo(x - 4, 17, x + 4, 13, x, 7);
    p.drawPath(steam);
  }
}

QPixmap PaintTool(TToolPicture picture, const QSize& size) {
  QPixmap pm = Canvas(size);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size.width() / 64.0, size.height() / 64.0);
  switch (picture) {
    case TToolPicture::Melody: PaintMelody(p); break;
    case TToolPicture::Animation: PaintAnimation(p); break;
    case TToolPicture::Picture: PaintPicture(p); break;
    case TToolPicture::Java: PaintJava(p); break;
  }
  return pm;
}

QPixmap PaintLogo(const QSize& size) {
  QPixmap pm = Canvas(size);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size.width() / 320.0, size.height() / 200.0);
  QLinearGradient sky(0, 0, 0, 200);
  sky.setColorAt(0, QColor(0x0d, 0x47, 0xa1));
  sky.setColorAt(1, QColor(0x42, 0xa5, 0xf5));
  p.setPen(Qt::NoPen);
  p.setBrush(sky);
  p.drawRect(QRectF(0, 0, 320, 200));
  // Phone outline with two link arcs towards a screen.
  p.setBrush(QColor(255, 255, 255, 230));
  p.drawRoundedRect(QRectF(40, 40, 60, 110), 10, 10);
  p.setBrush(QColor(0x0d, 0x47, 0xa1));
  p.drawRect(QRectF(48, 54, 44, 64));
  p.setBrush(QColor(255, 255, 255, 230));
  p.drawRoundedRect(QRectF(210, 50, 80, 56), 4, 4);
  p.drawRect(QRectF(240, 106, 20, 16));
  p.drawRect(QRectF(226, 122, 48, 6));
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(0xff, 0xd5, 0x4f), 6, Qt::SolidLine, Qt::RoundCap));
  p.drawArc(QRectF(110, 50, 90, 70), 30 * 16, 120 * 16);
  p.drawArc(QRectF(110, 70, 90, 70), 210 * 16, 120 * 16);
  QFont f("Sans Serif");
  f.setPixelSize(30);
  f.setBold(true);
  p.setFont(f);
  p.setPen(Qt::white);
  p.drawText(QRectF(0, 150, 320, 44), Qt::AlignCenter, "Quendrel");
  return pm;
}

}  // namespace

QPixmap LogoPixmap(const QSize& size) {
  QPixmap pm = FromResource(":/quendrel/logo.svg", size);
  return pm.isNull() ? PaintLogo(size) : pm;
}

QIcon ToolIcon(TToolPicture picture) {
  static const char* names[] = {"melody", "animation", "picture", "java"};
  const QSize size(48, 48);
  QPixmap pm = FromResource(QString(":/quendrel/%1.svg").arg(names[static_cast<int>(picture)]), size);
  return QIcon(pm.isNull() ? PaintTool(picture, size) : pm);
}
