#include "video/FfdshowDialog.h"

#include <QFormLayout>
#include <QSlider>

#include "graph/ExternalFilters.h"

TffdshowDialog::TffdshowDialog(IffDecoder& decoder, QWidget* owner) : QDialog(owner) {
    setWindowTitle("ffdshow video adjustment");
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QFormLayout(this);
    IffDecoder* settings = &decoder;
    for (const TPictureSetting& setting : PictureSettings()) {
        auto* slider = new QSlider(Qt::Horizontal, this);
        slider->setRange(setting.Minimum, setting.Maximum);
        slider->setValue(decoder.GetParam(setting.Id));
        const unsigned id = setting.Id;
        connect(slider, &QSlider::valueChanged, this,
                [settings, id](int value) { settings->PutParam(id, value); });
        layout->addRow(setting.Label, slider);
    }
}
