// The diagnostic screen dump: a window's image on the clipboard and in a BMP file.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

class QWidget;

// A complete BMP file: the 14-byte file header, the 40-byte bitmap header, the colour table
// (indexed images only) and the rows bottom-up, each padded to 4 bytes. The pixel data starts
// right after the three, whatever the depth. Indexed images are written with 8 bits per pixel,
// everything else with 32. An empty result for a null image.
QByteArray EncodeBmp(const QImage& image);

// The widget's window rectangle as the screen shows it (frame included where the platform
// gives it, else the widget alone), in the display's colour depth.
QImage GrabWindowImage(QWidget* widget);

// Puts the image on the clipboard and writes it to `path`, replacing any file there. True when
// the whole file was written; a failed write leaves no partial file behind.
bool DumpImage(const QImage& image, const QString& path);
