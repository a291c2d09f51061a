#pragma once
// The debugger channel of the original: one line per call, through the Qt
// logging category "vexlo.debug" (stderr unless a message handler is set;
// QT_LOGGING_RULES="vexlo.debug=false" silences it).
#include <QLoggingCategory>
#include <string>

Q_DECLARE_LOGGING_CATEGORY(lcVexloDebug)

void OutputDebugString(const std::string& text);
