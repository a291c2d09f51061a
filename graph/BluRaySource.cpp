#include "graph/BluRaySource.h"

// No playlist is taken yet.
std::string BluRayPlaylistUri(const std::string&) {
    return {};
}
