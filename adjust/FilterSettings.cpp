#include "adjust/FilterSettings.h"

#include <gst/gst.h>

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QThreadPool>

#include "desktop/FileTypes.h"
#include "desktop/LiteRegistry.h"
#include "graph/ExternalFilters.h"
#include "platform/Paths.h"

namespace {

bool IsClassRegistered(const CLSID& classId) {
    const TExternalFilter* filter = FindExternalFilter(classId);
    if (!filter || (filter->InClassTable && !ClassFactoryExists(classId))) return false;
    if (!gst_is_initialized()) gst_init(nullptr, nullptr);
    for (const std::string& name : filter->Elements) {
        GstPluginFeature* feature = gst_registry_lookup_feature(gst_registry_get(), name.c_str());
        if (!feature) return false;
        gst_object_unref(feature);
    }
    return true;
}

// One DWORD under the current user; `create` makes a missing key first, otherwise a missing
// key is skipped.
void WriteUserDword(const std::string& key, const std::string& name, uint32_t value, bool create) {
    const HKEY handle = create ? CreateRegKey(HKEY_CURRENT_USER, key, KEY_ALL_ACCESS)
                               : OpenRegKey(HKEY_CURRENT_USER, key, KEY_ALL_ACCESS);
    if (!handle) return;
    const bool written = WriteRegDword(handle, name, value);
    CloseRegKey(handle);
    if (!written) throw ERegistryException("Failed to set data for '" + name + "'");
}

// The same value for the ffdshow video decoder, then the raw video filter.
void WriteFfdshowDword(const std::string& name, uint32_t value) {
    for (const CLSID& filter : {CLSID_ffdshowVideoDecoder, CLSID_ffdshowRawVideoFilter})
        WriteUserDword(FindExternalFilter(filter)->RegistryKey, name, value, true);
}

// Plugin files the program brings along join GStreamer's registry; the global pool's threads
// are waited for when the application ends, so a scan never outlives the program.
void ScanPluginFolder(const std::string& folder) {
    QThreadPool::globalInstance()->start(
        [folder] { gst_registry_scan_path(gst_registry_get(), folder.c_str()); });
}

}  // namespace

bool IsEvrRegistered() {
    return IsClassRegistered(CLSID_EnhancedVideoRenderer);
}

bool IsVideoDecoderRegistered() {
    return IsClassRegistered(CLSID_ClvsdVideoDecoder);
}

bool IsEqualizerRegistered() {
    if (IsClassRegistered(CLSID_GraphicEqualizer)) return true;
    WriteUserDword(FindExternalFilter(CLSID_GraphicEqualizer)->RegistryKey, "Enabled", 1, false);
    return false;
}

void RegisterMissingFilters() {
    // Every test runs, for the equaliser's side effect; one scan serves all that are missing.
    const bool renderer = IsEvrRegistered();
    const bool equalizer = IsEqualizerRegistered();
    const bool decoder = IsVideoDecoderRegistered();
    if (!renderer || !equalizer || !decoder) ScanPluginFolder(ProgramFolderPath());
}

void DisableFilterTrayUi() {
    WriteUserDword("Software\\GNU\\Xvid", "display_status", 0, true);
    WriteUserDword("Software\\Haali\\Matroska Splitter", "ui.trayicon", 0, true);
}

void SetFfdshowPictureProps(int value) {
    WriteFfdshowDword("isPictProp", static_cast<uint32_t>(value));
}

void SetFfdshowSharpen(uint32_t value) {
    WriteFfdshowDword("xsharpen", value);
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
