#pragma once
// The Blu-ray playlist source: ".mpls" files of a decrypted disc reach the pipeline through a
// URI of our own ("vexlo-bluray:///.../BDMV/PLAYLIST/00000.mpls"), which playbin hands to our
// source element. The element opens the disc two folders above the playlist with libbluray,
// delivers the title's transport stream (192-byte packets, all clips in order as one
// timeline), answers the title's length and seeks in time; a disc it cannot play fails its
// start with a pipeline error.

#include <string>

// Whether a path names a Blu-ray playlist (it ends in ".mpls", any case).
bool IsBluRayPlaylistPath(const std::string& path);

// The URI the pipeline opens for a Blu-ray playlist path, or "" when the path does not match
// the Blu-ray rule "(?i).mpls$". The first call registers the source element in this process.
std::string BluRayPlaylistUri(const std::string& path);
