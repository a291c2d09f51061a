#include "desktop/FileTypes.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QTimer>
#include <QVBoxLayout>
#include <utility>

#include "desktop/LiteRegistry.h"
#include "platform/Shell.h"

namespace {

constexpr int kCloseDelayMs = 100;

// The extensions in the order they are applied, with their tick at creation.
constexpr std::pair<const char*, bool> kTypes[] = {
    {".asf", true},  {".avi", true},  {".ifo", true},  {".flv", true},  {".mkv", true},
    {".m4v", true},  {".mp4", true},  {".mpg", true},  {".mpeg", true}, {".m2ts", true},
    {".mpls", true}, {".rm", true},   {".rmvb", true}, {".wmv", true},  {".webm", true},
    {".mp3", false}, {".wav", false}, {".wma", false},
};

std::string ClassesRootKey(const std::string& path) {
    return "HKEY_CLASSES_ROOT\\" + path;
}

// Opens the key (creating it when missing), writes its default value and closes it.
void WriteDefaultValue(const std::string& path, const std::string& value) {
    const HKEY key = CreateRegKey(HKEY_CLASSES_ROOT, path, KEY_ALL_ACCESS);
    const bool written = WriteRegString(key, "", value);
    CloseRegKey(key);
    if (!written) throw ERegistryException("Failed to set data for '' in " + ClassesRootKey(path));
}

void CreateClassesRootKey(const std::string& path) {
    const HKEY key = CreateRegKey(HKEY_CLASSES_ROOT, path, KEY_ALL_ACCESS);
    CloseRegKey(key);
    if (!key) throw ERegistryException("Failed to create key " + ClassesRootKey(path));
}

}  // namespace

TFormFileType::TFormFileType(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::WindowStaysOnTopHint) {
    setObjectName("FormFileType");
    setWindowTitle("Associate FileTypes");
    QFont formFont(font());
    formFont.setPixelSize(11);
    setFont(formFont);
    setFixedSize(179, 380);
    BuildComponents();
    FillTypes();
    connect(btnApply, &QPushButton::clicked, this, &TFormFileType::btnApplyClick);
    connect(btnCancel, &QPushButton::clicked, this, &TFormFileType::btnCancelClick);
}

void TFormFileType::BuildComponents() {
    LvTypes = new QTreeWidget(this);
    LvTypes->setObjectName("LvTypes");
    LvTypes->setColumnCount(1);
    LvTypes->setHeaderHidden(true);
    LvTypes->header()->setStretchLastSection(false);
    LvTypes->setColumnWidth(0, 100);
    LvTypes->setRootIsDecorated(false);
    LvTypes->setSelectionMode(QAbstractItemView::ExtendedSelection);
    LvTypes->setFrameShape(QFrame::NoFrame);
    QPalette colours = LvTypes->palette();
    colours.setColor(QPalette::Base, Qt::black);
    colours.setColor(QPalette::Text, QColor(0, 255, 0));
    LvTypes->setPalette(colours);

    Paneles1 = new TPaneles(this);
    Paneles1->setObjectName("Paneles1");
    Paneles1->setFixedHeight(41);
    btnApply = new QPushButton("Apply", Paneles1);
    btnApply->setObjectName("btnApply");
    btnApply->setGeometry(8, 8, 75, 25);
    btnCancel = new QPushButton("Cancel", Paneles1);
    btnCancel->setObjectName("btnCancel");
    btnCancel->setGeometry(88, 8, 75, 25);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(LvTypes, 1);
    layout->addWidget(Paneles1);
}

void TFormFileType::FillTypes() {
    for (const auto& [caption, ticked] : kTypes) {
        auto* item = new QTreeWidgetItem(LvTypes, {QString(caption)});
        item->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
    }
}

void TFormFileType::btnApplyClick() {
    std::exception_ptr failure;
    try {
        const std::string exe = QCoreApplication::applicationFilePath().toStdString();
        for (int i = 0; i < LvTypes->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = LvTypes->topLevelItem(i);
            const QString caption = item->text(0);
            if (item->checkState(0) == Qt::Checked && caption.startsWith('.'))
                AssociateFileType(caption.mid(1).toStdString(), exe);
        }
    } catch (...) {
        failure = std::current_exception();
    }
    // The dialog goes whatever happened, also when the hook itself raises.
    QTimer::singleShot(kCloseDelayMs, Qt::PreciseTimer, this, &QWidget::hide);
    if (!failure || !OnException) return;
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& error) {
        OnException(error);
    } catch (...) {
        OnException(std::runtime_error("Unknown error"));
    }
}

void TFormFileType::btnCancelClick() {
    hide();
}

void TFormFileType::AssociateFileType(const std::string& extension, const std::string& exe) {
    const std::string fileClass = extension + "file";
    WriteDefaultValue("." + extension, fileClass);
    CreateClassesRootKey(fileClass);
    WriteDefaultValue(fileClass + "\\DefaultIcon", exe + ",0");
    WriteDefaultValue(fileClass + "\\shell\\open\\command", "\"" + exe + "\" \"%1\"");
    AssociateExtension(extension, exe);
    NotifyAssociationsChanged();
}

void TFormFileType::showEvent(QShowEvent* event) {
    // The first showing centres the dialog on the window that owns it.
    if (!FPlaced && parentWidget()) {
        QRect area = frameGeometry();
        area.moveCenter(parentWidget()->window()->frameGeometry().center());
        move(area.topLeft());
        FPlaced = true;
    }
    QWidget::showEvent(event);
}
