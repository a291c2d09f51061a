#include "adjust/FilterSettings.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include "desktop/LiteRegistry.h"
#include "graph/ExternalFilters.h"

// The first three routines change nothing yet.

void RegisterMissingFilters() {}

void DisableFilterTrayUi() {}

void SetFfdshowPictureProps(int) {}

void SetFfdshowSharpen(uint32_t value) {
    for (const CLSID& filter : {CLSID_ffdshowVideoDecoder, CLSID_ffdshowRawVideoFilter}) {
        const HKEY handle = CreateRegKey(HKEY_CURRENT_USER, FindExternalFilter(filter)->RegistryKey,
                                         KEY_ALL_ACCESS);
        WriteRegDword(handle, "xsharpen", value);
        CloseRegKey(handle);
    }
}

void DrawOverlayText(QPainter& painter, int x, int y, int pointSize, const std::string& text) {
    if (text.empty()) return;
    QFont font(QStringLiteral("Sans Serif"), pointSize);
    font.setStyleHint(QFont::SansSerif);
    font.setBold(pointSize > 10);
    painter.save();
    painter.setFont(font);
    painter.setPen(QColor(0, 255, 0));
    painter.setBackgroundMode(Qt::TransparentMode);
    // One line: a line break is drawn as a blank, as the single-line text call would.
    QString line = QString::fromStdString(text);
    line.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    painter.drawText(QPoint(x, y + QFontMetrics(font).ascent()), line);
    painter.restore();
}
