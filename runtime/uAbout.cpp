#include "uAbout.h"

#include "ui/Application.h"
#include "ui/DisplayProbe.h"
#include "ui/QtText.h"
#include "uDyxSubs.h"
#include "win32/shell.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QShowEvent>
#include <QThread>

#include <algorithm>
#include <functional>
#include <utility>

// Outside any namespace: Q_INIT_RESOURCE declares a global function.
static void InitVantrelImages()
{
    Q_INIT_RESOURCE(vantrel);
}

namespace vantrel {

TfrmAbout* frmAbout = nullptr;
std::string strUserName;

namespace {

constexpr const char* kMaker = "Vantrel Software";
constexpr const char* kHomeHost = "www.vantrel.example.com";
constexpr const char* kSupportMail = "support@vantrel.example.com";
constexpr const char* kProduct = "Vantrel  Version 1.22";
constexpr const char* kRights = "Copyright (C) Vantrel Software";
constexpr const char* kIcon = ":/vantrel/Vantrel.xpm";

const QColor kTeal(0, 128, 128);
const QColor kBlue(0, 0, 255);

// The unit's close-down, when the library is unloaded.
struct UnitLifetime {
    ~UnitLifetime() { strUserName.clear(); }
};
const UnitLifetime gUnitLifetime;

// Runs before the dialog's base is built: a widget made without a
// QApplication, or on another thread, ends the whole process.
QWidget* ToolkitReadyFor(QWidget* owner)
{
    const char* const wrongThread = "The about dialog can only be used on the user-interface thread";
    // Until a host has an application object, the main thread is the one
    // that gets it: another thread's call makes none, display or not.
    if (!QCoreApplication::instance() && !ui::detail::OnMainThread()) throw Exception(wrongThread);
    QApplication* app = ui::EnsureApplication();
    if (!app) throw Exception("The about dialog cannot be shown: no display is available");
    if (QThread::currentThread() != app->thread()) throw Exception(wrongThread);
    static const bool ready = [] {
        InitVantrelImages();
        QFont::insertSubstitutions("MS Sans Serif", {"Liberation Sans", "Arimo", "Arial", "Helvetica", "DejaVu Sans"});
        return true;
    }();
    (void)ready;
    return owner;
}

// A label's click: the left button let go over the label it went down on.
class LabelClick : public QObject {
public:
    LabelClick(QLabel* label, std::function<void()> handler) : QObject(label), handler_(std::move(handler))
    {
        label->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonRelease) return false;
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton) return false;
        if (event->type() == QEvent::MouseButtonPress) {
            down_ = true;
        } else if (std::exchange(down_, false)
                   && static_cast<QWidget*>(watched)->rect().contains(mouse->position().toPoint())) {
            ui::Protect(handler_);
        }
        return false;
    }

private:
    std::function<void()> handler_;
    bool down_ = false;
};

void OpenWithShell(const std::string& target)
{
    win32::ShellExecuteA(0, nullptr, target.c_str(), nullptr, nullptr, win32::SW_SHOWNORMAL);
}

QFont LabelFont(QFont font, int pixelHeight, bool bold, bool underline)
{
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    font.setUnderline(underline);
    return font;
}

void Paint(QLabel* label, const QColor& colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

} // namespace

TfrmAbout::TfrmAbout(QWidget* AOwner)
    : QDialog(ToolkitReadyFor(AOwner), Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                                           | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName("frmAbout");
    setWindowTitle("About");
    QFont font("MS Sans Serif");
    font.setPixelSize(11);
    setFont(font);
    setFixedSize(327, 247);
    CreateButtons();
    CreateGroup();
    setTabOrder(cmdOK, cmdBuy);
    setTabOrder(cmdBuy, GroupBox1);
    cmdOK->setFocus();
}

TfrmAbout::~TfrmAbout() = default;

void TfrmAbout::CreateButtons()
{
    cmdOK = new QPushButton("Close", this);
    cmdOK->setObjectName("cmdOK");
    cmdOK->setGeometry(183, 210, 75, 25);
    cmdOK->setDefault(true);
    ui::Connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOKClick(cmdOK); });

    cmdBuy = new QPushButton("Buy Now", this);
    cmdBuy->setObjectName("cmdBuy");
    cmdBuy->setGeometry(81, 210, 75, 25);
    ui::Connect(cmdBuy, &QPushButton::clicked, this, [this] { cmdBuyClick(cmdBuy); });
}

void TfrmAbout::CreateGroup()
{
    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setGeometry(9, 12, 307, 184);

    Image1 = new QLabel(GroupBox1);
    Image1->setObjectName("Image1");
    Image1->setGeometry(16, 24, 33, 33);
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setPixmap(QPixmap(kIcon));

    const QFont form = font();
    Label1 = AddLabel("Label1", kProduct, QRect(71, 33, 214, 16), LabelFont(form, 13, true, false));
    Label2 = AddLabel("Label2", kRights, QRect(71, 57, 214, 13), form);
    Label3 = AddLabel("Label3", kMaker, QRect(111, 96, 120, 16), LabelFont(form, 13, true, true));
    const std::string homePage = "http://" + std::string(kHomeHost);
    Label5 = AddLabel("Label5", homePage.c_str(), QRect(90, 129, 149, 16), LabelFont(form, 13, false, false));
    Label6 = AddLabel("Label6", kSupportMail, QRect(93, 153, 146, 16), LabelFont(form, 13, false, false));
    Paint(Label3, kTeal);
    Paint(Label5, kBlue);
    Paint(Label6, kBlue);

    for (QLabel* link : {Label3, Label5, Label6}) link->setCursor(Qt::PointingHandCursor);
    new LabelClick(Label3, [this] { Label3Click(Label3); });
    new LabelClick(Label5, [this] { Label5Click(Label5); });
    new LabelClick(Label6, [this] { Label6Click(Label6); });
}

QLabel* TfrmAbout::AddLabel(const char* name, const char* text, const QRect& bounds, const QFont& font)
{
    auto* label = new QLabel(ui::ToQString(text), GroupBox1);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    // The label grows to its text, as a self-sizing label would, but never
    // below its designed size.
    label->setGeometry(bounds);
    label->resize(std::max(bounds.width(), label->sizeHint().width()), bounds.height());
    return label;
}

void TfrmAbout::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Only a showing asked for by the program, not the window system's
    // report of one.
    if (!event->spontaneous()) FormShow(this);
}

void TfrmAbout::keyPressEvent(QKeyEvent* event)
{
    // No button answers Escape, so it does not close the dialog.
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfrmAbout::cmdOKClick(QObject*)
{
    close();
}

void TfrmAbout::FormShow(QObject*)
{
    MoveCenter(this);
}

void TfrmAbout::Label5Click(QObject*)
{
    OpenWithShell(kHomeHost);
}

void TfrmAbout::Label6Click(QObject*)
{
    OpenWithShell(std::string("mailto:") + kSupportMail);
}

void TfrmAbout::cmdBuyClick(QObject*)
{
    OpenWithShell(std::string(kHomeHost) + "/purchase.htm");
}

void TfrmAbout::Label3Click(QObject*)
{
    OpenWithShell(kHomeHost);
}

} // namespace vantrel
