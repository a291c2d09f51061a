#pragma once
// The player's shared state: what every handler of the player window reads and writes. Used on
// the UI thread only; the program's folder is not kept here but asked of ProgramFolder().
#include <cstdint>
#include <memory>
#include <string>

#include "platform/IniFile.h"

struct TPlayerState {
    std::string SystemFolder;     // ends in "/"
    std::string CurrentFolder;    // the playlist's folder; ends in "/" when the user chose it
    std::string MediaPath;        // CurrentFolder + the playlist row last opened
    std::string MediaName;        // file-name part of the open media
    std::string OverlayText;      // text drawn over the picture
    std::string CommandLineFile;  // first command-line argument
    std::string FolderListFile;   // the folder-history file
    std::string FullScreenState;  // "FullScreen", "Normal" or empty before the first switch

    bool DiagnosticMode = false;  // "testing.log" lies in the program folder
    bool PlayerReady = false;     // set by the first ready tick
    bool DvdMode = false;
    bool DvdSeekPending = false;
    bool FullScreenOn = false;
    bool ColorPanelShown = false;
    bool Exiting = false;

    // "bfilter.ini", open from the window's creation to its destruction.
    std::unique_ptr<TIniFile> FilterIniFile;

    int32_t LastListIndex = 0;
    int32_t BrightnessValue = 0;
    int32_t ZoomAmount = 0;
    int32_t ZoomUpStep = 0;
    int32_t ZoomDownStep = 0;
    int32_t OverlayFontSize = 10;
};

extern TPlayerState PlayerState;
