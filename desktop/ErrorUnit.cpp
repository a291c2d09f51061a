#include "desktop/ErrorUnit.h"

#include <QVBoxLayout>
#include <memory>

#include "desktop/FunctionMix.h"

TErrorForm* ErrorForm = nullptr;

namespace {

std::unique_ptr<TErrorForm> Instance;

constexpr int kLogHeight = 113;
constexpr int kSplitterWidth = 3;

QPlainTextEdit* NewMemo(QWidget* parent, const char* name) {
    auto* memo = new QPlainTextEdit(parent);
    memo->setObjectName(name);
    memo->setFrameShape(QFrame::Box);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    return memo;
}

}  // namespace

TErrorForm::TErrorForm(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      FOutsidePress(this, [this] { Dismiss(); }) {
    setObjectName("ErrorForm");
    setWindowTitle("ErrorForm");
    setWindowOpacity(200 / 255.0);
    QFont formFont(font());
    formFont.setPixelSize(11);
    setFont(formFont);
    resize(302, 217);

    Splitter1 = new QSplitter(Qt::Vertical, this);
    Splitter1->setObjectName("Splitter1");
    Splitter1->setHandleWidth(kSplitterWidth);
    Splitter1->setChildrenCollapsible(false);
    Splitter1->setStyleSheet("QSplitter::handle { background: yellow; }");
    MemoError = NewMemo(Splitter1, "MemoError");
    MemoLog = NewMemo(Splitter1, "MemoLog");
    Splitter1->addWidget(MemoError);
    Splitter1->addWidget(MemoLog);
    // A resize of the window goes to the error pane; the log pane keeps its height.
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 0);
    Splitter1->setSizes({height() - kLogHeight - kSplitterWidth, kLogHeight});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Splitter1);

    ErrorTimer.SetInterval(2000);
    ErrorTimer.OnTimer = [this](TThreadedTimer*) { ErrorTimerTimer(); };
}

TErrorForm::~TErrorForm() {
    if (ErrorForm == this) ErrorForm = nullptr;
}

void TErrorForm::ShowInFront(const QWidget* owner) {
    if (!FPlaced && owner) {
        QRect area = frameGeometry();
        area.moveCenter(owner->frameGeometry().center());
        move(area.topLeft());
        FPlaced = true;
    }
    show();
    raise();
    activateWindow();
}

void TErrorForm::SetErrorText(const std::string& text) {
    MemoError->setPlainText(QString::fromStdString(text));
}

void TErrorForm::Dismiss() {
    ErrorTimer.SetEnabled(false);
    hide();
}

void TErrorForm::ErrorTimerTimer() {
    Dismiss();
}

TErrorForm* OpenErrorForm() {
    if (!FormIsOpen("ErrorForm") || !ErrorForm) {
        Instance = std::make_unique<TErrorForm>();
        ErrorForm = Instance.get();
    }
    return ErrorForm;
}

void FreeErrorForm() {
    Instance.reset();
}

void LogLine(const std::string& line) {
    if (ErrorForm) ErrorForm->MemoLog->appendPlainText(QString::fromStdString(line));
}
