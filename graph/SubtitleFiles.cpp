#include "graph/SubtitleFiles.h"

#include <langinfo.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QUtf8StringView>
#include <algorithm>
#include <array>

namespace {

constexpr std::array<const char*, 5> kExtensions = {"srt", "ass", "ssa", "vtt", "sub"};
// A feature film's subtitles take well under 1 MB: a file many times that is no subtitle file,
// and is passed over rather than left to the parser.
constexpr qint64 kLargestSubtitleFile = 10 * 1024 * 1024;
// Enough of the head to tell text from binary and the encoding of the text.
constexpr qint64 kHeadBytes = 64 * 1024;

std::string ReadHead(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.read(kHeadBytes).toStdString();
}

// Text has no NUL and next to no control characters besides tabs and line ends.
bool LooksLikeText(const std::string& head) {
    if (head.empty()) return false;
    size_t control = 0;
    for (unsigned char c : head) {
        if (c == 0) return false;
        control += c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f';
    }
    return control * 100 < head.size();
}

bool Usable(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.size() <= kLargestSubtitleFile && LooksLikeText(ReadHead(path));
}

// A head cut inside a character is still UTF-8: only the last three bytes may be incomplete.
bool ValidUtf8Head(const std::string& head) {
    const QByteArray bytes = QByteArray::fromStdString(head);
    for (qsizetype cut = 0; cut <= std::min<qsizetype>(3, bytes.size()); ++cut)
        if (QUtf8StringView(bytes.chopped(cut)).isValidUtf8()) return true;
    return false;
}

}  // namespace

std::string FindSubtitleFile(const std::string& mediaPath) {
    const QFileInfo media(QFile::decodeName(QByteArray::fromStdString(mediaPath)));
    const QDir folder = media.dir();
    const QString prefix = media.completeBaseName() + ".";
    QStringList names = folder.entryList(QDir::Files, QDir::Name);
    names.removeIf([&](const QString& name) { return !name.startsWith(prefix); });
    const auto usable = [&](const QString& name) { return Usable(folder.filePath(name)); };
    for (const char* extension : kExtensions)
        for (const QString& name : names)
            if (name.mid(prefix.size()).compare(extension, Qt::CaseInsensitive) == 0 &&
                usable(name))
                return QFile::encodeName(folder.filePath(name)).toStdString();
    // "film.en.srt", "film.pt-BR.srt": the first usable one in name order.
    for (const QString& name : names) {
        const QString rest = name.mid(prefix.size());
        const QString language = rest.chopped(std::min<qsizetype>(4, rest.size()));
        if (rest.endsWith(".srt", Qt::CaseInsensitive) && !language.isEmpty() &&
            !language.contains('.') && usable(name))
            return QFile::encodeName(folder.filePath(name)).toStdString();
    }
    return {};
}

std::string SubtitleEncoding(const std::string& head) {
    if (ValidUtf8Head(head)) return "UTF-8";
    const std::string locale = nl_langinfo(CODESET);
    const bool legacy = !locale.empty() && locale != "UTF-8" && locale != "ANSI_X3.4-1968";
    return legacy ? locale : "WINDOWS-1252";
}

std::string SubtitleFileEncoding(const std::string& path) {
    return SubtitleEncoding(ReadHead(QFile::decodeName(QByteArray::fromStdString(path))));
}
