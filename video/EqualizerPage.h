#pragma once
// TEqualizerPage: the graphic equaliser stand-in's settings page, one vertical slider per band
// in dB with its frequency below; a change reaches the running sound at once.

#include <QWidget>

#include "graph/ExternalFilters.h"

struct _GstElement;

class TEqualizerPage : public QWidget {
  public:
    TEqualizerPage(_GstElement* filter, IGraphicEqualizer& equalizer, QWidget* parent);
    ~TEqualizerPage() override;

  private:
    _GstElement* FFilter;  // keeps the equaliser alive while its page is open
};
