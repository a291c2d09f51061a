#include "video/EqualizerPage.h"

#include <gst/gst.h>

#include <QGridLayout>
#include <QLabel>
#include <QSlider>
#include <cmath>

TEqualizerPage::TEqualizerPage(GstElement* filter, IGraphicEqualizer& equalizer, QWidget* parent)
    : QWidget(parent), FFilter(GST_ELEMENT(gst_object_ref(filter))) {
    setWindowTitle(equalizer.Enabled() ? "Graphic EQ" : "Graphic EQ (switched off)");
    auto* layout = new QGridLayout(this);
    for (int band = 0; band < IGraphicEqualizer::kBands; ++band) {
        auto* gain = new QLabel(this);
        auto* slider = new QSlider(Qt::Vertical, this);
        slider->setObjectName(QString("band%1").arg(band));
        slider->setRange(-24, 12);
        slider->setMinimumHeight(120);
        const int frequency = equalizer.BandFrequency(band);
        auto* caption =
            new QLabel(frequency < 1000 ? QString::number(frequency)
                                        : QString("%1K").arg(frequency / 1000.0, 0, 'g', 2),
                       this);
        const auto show = [gain](int value) { gain->setText(QString::number(value)); };
        slider->setValue(static_cast<int>(std::lround(equalizer.Band(band))));
        show(slider->value());
        IGraphicEqualizer* bands = &equalizer;
        connect(slider, &QSlider::valueChanged, this, [bands, band, show](int value) {
            bands->SetBand(band, value);
            show(value);
        });
        layout->addWidget(gain, 0, band, Qt::AlignHCenter);
        layout->addWidget(slider, 1, band, Qt::AlignHCenter);
        layout->addWidget(caption, 2, band, Qt::AlignHCenter);
    }
}

TEqualizerPage::~TEqualizerPage() {
    gst_object_unref(FFilter);
}
