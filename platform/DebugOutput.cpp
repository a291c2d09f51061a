#include "platform/DebugOutput.h"

Q_LOGGING_CATEGORY(lcVexloDebug, "vexlo.debug")

void OutputDebugString(const std::string& text) {
    // "%s" keeps the text as it is: no quoting, no escaping of its characters.
    qCDebug(lcVexloDebug, "%s", text.c_str());
}
