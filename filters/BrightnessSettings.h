#pragma once
// "bfilter.ini": the one brightness value shared by the brightness filter, its page and the
// player's brightness slider, as [Brightness] Value in the program folder.
#include <string>

constexpr const char* kBrightnessSection = "Brightness";
constexpr const char* kBrightnessKey = "Value";

// The program folder + "bfilter.ini".
std::string BrightnessSettingsPath();

// The stored value; 0 when the file, the section or the key is missing or not an integer.
int ReadBrightnessSetting();

// Creates the file and section as needed; raises EIniFileException when it cannot be written.
void WriteBrightnessSetting(int value);
