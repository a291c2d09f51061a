// A private desktop for association tests: the program folder (VEXLO_HOME), XDG_DATA_HOME and
// XDG_CONFIG_HOME lie in a temporary folder, and a stand-in update-desktop-database first on
// PATH logs each start, so the tests can count how often the desktop was told.
#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>
#include <map>
#include <optional>
#include <string>

#include "tests/support/EventPump.h"

class TDesktopSandbox {
  public:
    TDesktopSandbox() {
        const QString bin = FDir.filePath("bin");
        QDir().mkpath(bin);
        QFile tool(bin + "/update-desktop-database");
        tool.open(QIODevice::WriteOnly);
        tool.write("#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"" + Path("notified.log").toUtf8() +
                   "\"\n");
        tool.close();
        tool.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        Set("PATH", bin + ":" + qEnvironmentVariable("PATH"));
        Set("VEXLO_HOME", Path("home"));
        Set("XDG_DATA_HOME", Path("data"));
        Set("XDG_CONFIG_HOME", Path("config"));
    }
    ~TDesktopSandbox() {
        for (const auto& [name, value] : FSaved)
            value ? qputenv(name.c_str(), *value) : qunsetenv(name.c_str());
    }

    QString Path(const QString& relative) const { return FDir.filePath(relative); }
    std::string Entry() const { return Read("data/applications/vexlo.desktop"); }
    std::string MimeApps() const { return Read("config/mimeapps.list"); }
    std::string Registry() const { return Read("home/Registry.reg"); }
    std::string Read(const QString& relative) const {
        QFile file(Path(relative));
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
    }
    void Write(const QString& relative, const std::string& text) const {
        QDir().mkpath(QFileInfo(Path(relative)).absolutePath());
        QFile file(Path(relative));
        file.open(QIODevice::WriteOnly);
        file.write(text.data(), static_cast<qint64>(text.size()));
    }

    // The stand-in's starts so far, each with the folder it was given.
    QStringList Notifications() const {
        return QString::fromStdString(Read("notified.log")).split('\n', Qt::SkipEmptyParts);
    }
    // Waits until `count` starts have logged, then a little longer so that extra ones show.
    QStringList NotificationsAfterWaiting(int count) const {
        PumpUntil([&] { return Notifications().size() >= count; }, 5000);
        PumpFor(200);
        return Notifications();
    }

  private:
    void Set(const char* name, const QString& value) {
        if (!FSaved.count(name))
            FSaved[name] =
                qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt;
        qputenv(name, value.toUtf8());
    }

    QTemporaryDir FDir;
    std::map<std::string, std::optional<QByteArray>> FSaved;
};
