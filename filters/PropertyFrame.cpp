#include "filters/PropertyFrame.h"

#include <QWidget>
#include <vector>

#include "filters/TransformMain.h"

QWidget* ShowPropertyPage(GstElement* filter, QWidget* parent) {
    ISpecifyPropertyPages* pages = QuerySpecifyPropertyPages(filter);
    std::vector<CLSID> ids;
    if (!pages || FAILED(pages->GetPages(ids)) || ids.empty()) return nullptr;
    QWidget* page = CreatePropertyPage(ids.front(), filter, parent);
    if (!page) return nullptr;
    page->setAttribute(Qt::WA_DeleteOnClose);
    page->setWindowFlag(Qt::Window);
    page->show();
    return page;
}
