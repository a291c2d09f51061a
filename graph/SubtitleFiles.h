#pragma once
// The subtitle file a user keeps beside a film: same base name, a subtitle extension, perhaps a
// language between ("film.en.srt"), and the text encoding it was written in.
#include <string>

// The subtitle file for the media file, or empty when there is none the player takes. A file
// named exactly after the film comes first, then "name.<lang>.srt" in name order. Files that do
// not look like text (VobSub's binary ".sub", noise) and files too large to be subtitles are
// passed over.
std::string FindSubtitleFile(const std::string& mediaPath);

// The encoding of a subtitle file's text from its first bytes: "UTF-8" when they are valid
// UTF-8 (with or without a byte-order mark; a character cut at the end of the head counts as
// valid), else the locale's own charset when that is a legacy one, else "WINDOWS-1252".
std::string SubtitleEncoding(const std::string& head);
// The same for the file's head (bounded, so a large file is not read whole).
std::string SubtitleFileEncoding(const std::string& path);
