#include "ScreenDump.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPixmap>
#include <QSaveFile>
#include <QScreen>
#include <QWidget>
#include <cstdint>

namespace {

constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderSize = 40;

void Put16(QByteArray& out, uint16_t value) {
  out.append(static_cast<char>(value & 0xFF));
  out.append(static_cast<char>(value >> 8));
}

void Put32(QByteArray& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) {
    out.append(static_cast<char>((value >> shift) & 0xFF));
  }
}

}  // namespace

QByteArray EncodeBmp(const QImage& source) {
  if (source.isNull()) {
    return QByteArray();
  }
  const bool indexed = source.format() == QImage::Format_Indexed8 ||
                       source.format() == QImage::Format_Mono ||
                       source.format() == QImage::Format_MonoLSB;
  const QImage image =
      source.convertToFormat(indexed ? QImage::Format_Indexed8 : QImage::Format_RGB32);
  const int bits = indexed ? 8 : 32;
  const uint32_t colours = indexed ? static_cast<uint32_t>(image.colorCount()) : 0;
  const uint32_t row_bytes = ((static_cast<uint32_t>(image.width()) * bits + 31) / 32) * 4;
  const uint32_t pixel_bytes = row_bytes * static_cast<uint32_t>(image.height());
  const uint32_t offset = kFileHeaderSize + kInfoHeaderSize + colours * 4;

  QByteArray out;
  out.reserve(static_cast<qsizetype>(offset + pixel_bytes));
  out.append("BM", 2);
  Put32(out, offset + pixel_bytes);
  Put16(out, 0);
  Put16(out, 0);
  Put32(out, offset);

  Put32(out, kInfoHeaderSize);
  Put32(out, static_cast<uint32_t>(image.width()));
  Put32(out, static_cast<uint32_t>(image.height()));  // positive: rows run bottom-up
  Put16(out, 1);                                      // planes
  Put16(out, static_cast<uint16_t>(bits));
  Put32(out, 0);  // no compression
  Put32(out, pixel_bytes);
  Put32(out, 3780);  // 96 dots per inch, in dots per metre
  Put32(out, 3780);
  Put32(out, colours);
  Put32(out, 0);  // all colours matter

  for (uint32_t i = 0; i < colours; ++i) {
    const QRgb rgb = image.color(static_cast<int>(i));
    out.append(static_cast<char>(qBlue(rgb)));
    out.append(static_cast<char>(qGreen(rgb)));
    out.append(static_cast<char>(qRed(rgb)));
    out.append('\0');
  }
  const QByteArray padding(static_cast<qsizetype>(row_bytes), '\0');
  for (int y = image.height() - 1; y >= 0; --y) {
    const uchar* line = image.constScanLine(y);
    if (indexed) {
      out.append(reinterpret_cast<const char*>(line), image.width());
      out.append(padding.constData(), static_cast<qsizetype>(row_bytes) - image.width());
    } else {
      // RGB32 is 0xffRRGGBB per pixel: written little-endian that is blue, green, red, 0.
      const QRgb* pixels = reinterpret_cast<const QRgb*>(line);
      for (int x = 0; x < image.width(); ++x) {
        Put32(out, pixels[x] & 0x00FFFFFFu);
      }
    }
  }
  return out;
}

QImage GrabWindowImage(QWidget* widget) {
  const QRect area = widget->isWindow() ? widget->frameGeometry()
                                        : QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size());
  QPixmap pixmap;
  if (QScreen* screen = widget->screen()) {
    pixmap = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
  }
  if (pixmap.isNull()) {
    // Platforms that do not hand out the screen's contents still let a widget draw itself.
    pixmap = widget->grab();
  }
  QImage image = pixmap.toImage();
  if (QScreen* screen = widget->screen(); screen != nullptr && screen->depth() <= 8) {
    image = image.convertToFormat(QImage::Format_Indexed8);
  }
  return image;
}

bool DumpImage(const QImage& image, const QString& path) {
  if (image.isNull()) {
    return false;
  }
  if (QClipboard* clipboard = QGuiApplication::clipboard()) {
    clipboard->setImage(image);
  }
  const QByteArray bmp = EncodeBmp(image);
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    return false;
  }
  if (file.write(bmp) != bmp.size()) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}
