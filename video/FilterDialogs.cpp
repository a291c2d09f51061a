#include "video/FilterDialogs.h"

#include <utility>

#include "graph/ExternalFilters.h"
#include "video/EqualizerPage.h"
#include "video/FfdshowDialog.h"

void RegisterFilterDialogs() {
    TFilterDialogs dialogs;
    dialogs.ShowDecoderDialog = [](IffDecoder& decoder, QObject* open, QWidget* owner) {
        auto* dialog = qobject_cast<QDialog*>(open);
        if (!dialog) dialog = new TffdshowDialog(decoder, owner);
        dialog->show();
        dialog->raise();
        return static_cast<QObject*>(dialog);
    };
    dialogs.MakeEqualizerPage = [](_GstElement* filter, IGraphicEqualizer& equalizer,
                                   QWidget* parent) -> QWidget* {
        return new TEqualizerPage(filter, equalizer, parent);
    };
    SetFilterDialogs(std::move(dialogs));
}
