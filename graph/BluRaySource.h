#pragma once
// The Blu-ray playlist source: ".mpls" files of a decrypted disc reach the pipeline through a
// URI of our own.

#include <string>

// The URI the pipeline opens for a Blu-ray playlist path, or "" when the path is not one.
std::string BluRayPlaylistUri(const std::string& path);
