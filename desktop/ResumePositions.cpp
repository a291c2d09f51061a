#include "desktop/ResumePositions.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QSaveFile>
#include <algorithm>
#include <utility>

namespace {

// A thousand entries of long paths stay well below this; anything bigger is not ours.
constexpr qint64 kMaxFileSize = 4 * 1024 * 1024;
constexpr int64_t kMinPositionMs = 30000;

bool ParseNumber(const QByteArray& text, int64_t& value) {
    bool ok = false;
    value = text.toLongLong(&ok);
    return ok;
}

}  // namespace

TResumePositions::TResumePositions(std::string fileName) : FFileName(std::move(fileName)) {
    QFile file(QFile::decodeName(QByteArray::fromStdString(FFileName)));
    if (file.size() > kMaxFileSize || !file.open(QIODevice::ReadOnly)) return;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        TEntry entry;
        if (fields.size() != 3 || !ParseNumber(fields[0], entry.PositionMs) ||
            !ParseNumber(fields[1], entry.LengthMs) || fields[2].isEmpty())
            continue;
        entry.Path = QByteArray::fromPercentEncoding(fields[2]).toStdString();
        Forget(entry.Path);
        FEntries.push_back(std::move(entry));
    }
    if (FEntries.size() > kMaxEntries)
        FEntries.erase(FEntries.begin(), FEntries.end() - kMaxEntries);
}

bool TResumePositions::WorthResuming(int64_t positionMs, int64_t lengthMs) {
    if (lengthMs <= 0 || positionMs < kMinPositionMs) return false;
    const double share = static_cast<double>(positionMs) / static_cast<double>(lengthMs);
    return share >= 0.05 && share <= 0.95;
}

bool TResumePositions::Take(const std::string& path, int64_t lengthMs, int64_t& positionMs) {
    const auto found = std::find_if(FEntries.begin(), FEntries.end(),
                                    [&](const TEntry& entry) { return entry.Path == path; });
    if (found == FEntries.end()) return false;
    positionMs = found->PositionMs;
    Forget(path);
    Write();
    return WorthResuming(positionMs, lengthMs);
}

bool TResumePositions::Keep(const std::string& path, int64_t positionMs, int64_t lengthMs) {
    const bool forgotten = Forget(path);
    if (!WorthResuming(positionMs, lengthMs)) return !forgotten || Write();
    FEntries.push_back({path, positionMs, lengthMs});
    if (FEntries.size() > kMaxEntries) FEntries.erase(FEntries.begin());
    return Write();
}

bool TResumePositions::Forget(const std::string& path) {
    const auto before = FEntries.size();
    std::erase_if(FEntries, [&](const TEntry& entry) { return entry.Path == path; });
    return FEntries.size() != before;
}

bool TResumePositions::Write() const {
    QSaveFile file(QFile::decodeName(QByteArray::fromStdString(FFileName)));
    if (!file.open(QIODevice::WriteOnly)) return false;
    for (const TEntry& entry : FEntries) {
        const QByteArray line = QByteArray::number(static_cast<qlonglong>(entry.PositionMs)) +
                                '\t' + QByteArray::number(static_cast<qlonglong>(entry.LengthMs)) +
                                '\t' +
                                QByteArray::fromStdString(entry.Path).toPercentEncoding("/") +
                                '\n';
        file.write(line);
    }
    return file.commit();
}
