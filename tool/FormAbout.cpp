#include "FormAbout.h"

#include "ui/Application.h"
#include "AutoSizeLabel.h"
#include "Resources.h"
#include "uDyxSubs.h"
#include "ui/QtText.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

namespace morlex {

TfrmAbout* frmAbout = nullptr;

TfrmAbout::TfrmAbout()
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                           | Qt::WindowCloseButtonHint)
{
    InitResources();
    setObjectName("frmAbout");
    setWindowTitle("About Morlex");
    setFont(FormFont());
    setFixedSize(298, 221);
    setWindowIcon(ProgramIcon32());

    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setGeometry(8, 8, 281, 173);
    // A lowered outer ring around a raised inner one: an etched edge.
    Panel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Panel1->setLineWidth(1);
    Panel1->setMidLineWidth(0);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName("ProgramIcon");
    ProgramIcon->setGeometry(20, 20, 37, 37);
    ProgramIcon->setPixmap(
        ProgramIcon32().pixmap(32, 32).scaled(37, 37, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    ProgramIcon->setAttribute(Qt::WA_TranslucentBackground);

    ProductName = AddLabel("ProductName", "Morlex", 116, 24);
    QFont bold = ProductName->font();
    bold.setBold(true);
    bold.setPixelSize(13);
    ProductName->setFont(bold);
    Version = AddLabel("Version", "Version 2.0", 124, 48);
    lblURL = AddLink("lblURL", kHomePage, 76, 124);
    lblSupport = AddLink("lblSupport", kSupportMail, 80, 148);

    OKButton = new QPushButton("OK", this);
    OKButton->setObjectName("OKButton");
    OKButton->setGeometry(111, 188, 75, 25);
    OKButton->setDefault(true);
    ui::Connect(OKButton, &QPushButton::clicked, this, [this] { accept(); });
    vantrel::MoveCenter(this);
}

QLabel* TfrmAbout::AddLabel(const char* name, const QString& text, int left, int top)
{
    auto* label = new TAutoSizeLabel(text, Panel1);
    label->setObjectName(name);
    label->move(left, top);
    return label;
}

QLabel* TfrmAbout::AddLink(const char* name, const char* text, int left, int top)
{
    QLabel* label = AddLabel(name, ui::ToQString(text), left, top);
    QFont font = label->font();
    font.setUnderline(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    label->setPalette(palette);
    label->setCursor(Qt::PointingHandCursor);
    label->installEventFilter(this);
    return label;
}

bool TfrmAbout::eventFilter(QObject* watched, QEvent* event)
{
    // A click is the left button let go over the label it was pressed on.
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        auto* label = qobject_cast<QLabel*>(watched);
        const bool click = mouse->button() == Qt::LeftButton && label
                           && label->rect().contains(mouse->position().toPoint());
        if (click && watched == lblURL) ui::Protect([&] { lblURLClick(lblURL); });
        if (click && watched == lblSupport) ui::Protect([&] { lblSupportClick(lblSupport); });
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmAbout::keyPressEvent(QKeyEvent* event)
{
    // The box has no cancel button, so Escape does not close it.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) return;
    QDialog::keyPressEvent(event);
}

int TfrmAbout::ShowModal()
{
    return exec();
}

void TfrmAbout::lblURLClick(QObject*)
{
    vantrel::DyxShellExecute(kHomePage, false);
}

void TfrmAbout::lblSupportClick(QObject*)
{
    vantrel::DyxShellExecute(std::string("mailto:") + kSupportMail, false);
}

} // namespace morlex
