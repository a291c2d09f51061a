#include "filters/BrightnessSettings.h"

#include "platform/IniFile.h"
#include "platform/Paths.h"

std::string BrightnessSettingsPath() {
    return ProgramFolderPath() + "bfilter.ini";
}

int ReadBrightnessSetting() {
    return TIniFile(BrightnessSettingsPath()).ReadInteger(kBrightnessSection, kBrightnessKey, 0);
}

void WriteBrightnessSetting(int value) {
    TIniFile(BrightnessSettingsPath()).WriteInteger(kBrightnessSection, kBrightnessKey, value);
}
