// The entry GStreamer looks for when it loads libgstvexlobrightness.so from its plugin path.
#include <gst/gst.h>

#include "filters/TransformMain.h"

// GStreamer's plugin description names the source package by this macro.
#define PACKAGE "vexlo"

GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, vexlobrightness,
                  "Vexlo Player's brightness, invert and contrast filter", BrightnessPluginInit,
                  VEXLO_VERSION, GST_LICENSE_UNKNOWN, "vexlo", "Vexlo Player")
