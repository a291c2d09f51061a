#pragma once
// A host for a filter's settings page: asks the filter which page it has, creates that page
// through the class-factory table for the filter and shows it as a window of its own.
#include <gst/gst.h>

class QWidget;

// The shown page (deleted when it is closed), or null when the filter names no page or its
// page class is not registered.
QWidget* ShowPropertyPage(GstElement* filter, QWidget* parent = nullptr);
