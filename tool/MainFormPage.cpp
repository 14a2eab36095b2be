// Layout of the language editor page and the wiring of its events.
#include "MainForm.h"

#include "ui/Application.h"
#include "AutoSizeLabel.h"
#include "PageControls.h"
#include "Resources.h"

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <limits>

namespace morlex {
namespace {

constexpr int kLanguageEditorTag = 3;
// Width of the edit group at design time; anchored controls keep their
// distance to its right edge.
constexpr int kDesignGroupWidth = 690;

QLabel* NewLabel(const char* name, const char* caption, QWidget* parent, int left, int top)
{
    auto* label = new TAutoSizeLabel(QString::fromLatin1(caption), parent);
    label->setObjectName(name);
    label->move(left, top);
    return label;
}

QLineEdit* NewEdit(const char* name, QWidget* parent, int left, int top, int width)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setGeometry(left, top, width, 21);
    // A message may be of any length; the toolkit's default would cut it.
    edit->setMaxLength(std::numeric_limits<int>::max());
    return edit;
}

QAction* NewAction(const char* name, const char* caption, QObject* parent)
{
    auto* action = new QAction(QString::fromLatin1(caption), parent);
    action->setObjectName(name);
    return action;
}

} // namespace

void TfrmMain::BuildLanguagePage()
{
    TabSheet4 = new QWidget(pageRight);
    TabSheet4->setObjectName("TabSheet4");
    SetPageTag(TabSheet4, kLanguageEditorTag);
    pageRight->addTab(TabSheet4, "TabSheet4");
    auto* layout = new QVBoxLayout(TabSheet4);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    BuildLanguagePopup();
    BuildLanguageHeader(TabSheet4);
    BuildMessageList(TabSheet4);
    BuildEditPanel(TabSheet4);
    layout->addWidget(panLanguage);
    layout->addWidget(lvLanguage, 1);
    layout->addWidget(panLangEdit);

    setTabOrder(lvLanguage, cboLanguageFile);
    setTabOrder(cboLanguageFile, txtDefaultLang);
    setTabOrder(txtDefaultLang, cmdLangModify);
    setTabOrder(cmdLangModify, txtUserLang);
}

void TfrmMain::BuildLanguagePopup()
{
    actLangNew = NewAction("actLangNew", "New Language File", this);
    actLangRename = NewAction("actLangRename", "Rename Language File", this);
    actLangDelete = NewAction("actLangDelete", "Delete Language File", this);
    for (QAction* action : {actLangNew, actLangRename, actLangDelete}) action->setProperty("category", "Language");

    mnuLangPopup = new QMenu(this);
    mnuLangPopup->setObjectName("mnuLangPopup");
    // Entries 1, 3 and 4 are their actions, as the entries take caption and command from them.
    mnuLangPopupNew = actLangNew;
    mnuLangPopup->addAction(mnuLangPopupNew);
    N4 = mnuLangPopup->addSeparator();
    N4->setObjectName("N4");
    mnuLangPopupRename = actLangRename;
    mnuLangPopupDelete = actLangDelete;
    mnuLangPopup->addAction(mnuLangPopupRename);
    mnuLangPopup->addAction(mnuLangPopupDelete);
    mnuSepExport = mnuLangPopup->addSeparator();
    mnuSepExport->setObjectName("mnuSepExport");
    mnuLangPopupExport = NewAction("mnuLangPopupExport", "Export to Delphi Source Code", this);
    mnuLangPopup->addAction(mnuLangPopupExport);
}

void TfrmMain::BuildLanguageHeader(QWidget* page)
{
    panLanguage = new QFrame(page);
    panLanguage->setObjectName("panLanguage");
    panLanguage->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panLanguage->setFixedHeight(33);
    lblLanguageFile = NewLabel("lblLanguageFile", "Your Language File :", panLanguage, 8, 12);

    cboLanguageFile = new QComboBox(panLanguage);
    cboLanguageFile->setObjectName("cboLanguageFile");
    cboLanguageFile->setEditable(false);
    cboLanguageFile->setGeometry(120, 8, 237, 21);
    cboLanguageFile->setContextMenuPolicy(Qt::CustomContextMenu);
    // The wheel changes the file only while the box has the focus; it does not give the focus either.
    cboLanguageFile->setFocusPolicy(Qt::StrongFocus);

    ToolBar2 = new QToolBar(panLanguage);
    ToolBar2->setObjectName("ToolBar2");
    ToolBar2->setGeometry(364, 4, 69, 25);
    ToolBar2->setMovable(false);
    ToolBar2->setFloatable(false);
    ToolButton2 = new QToolButton(ToolBar2);
    ToolButton2->setObjectName("ToolButton2");
    // A drop-down button: the 31 pixels of the picture's part, then its arrow.
    ToolButton2->setFixedSize(31 + 14, 25);
    ToolBar2->setContentsMargins(0, 0, 0, 0);
    ToolBar2->layout()->setContentsMargins(0, 0, 0, 0);
    // A tool button takes no keyboard focus: the mouse alone opens its menu.
    ToolButton2->setFocusPolicy(Qt::NoFocus);
    ToolButton2->setIcon(LanguageFileImage());
    ToolButton2->setIconSize(QSize(24, 24));
    ToolButton2->setMenu(mnuLangPopup);
    ToolButton2->setPopupMode(QToolButton::InstantPopup);
    ToolBar2->addWidget(ToolButton2);
}

void TfrmMain::BuildMessageList(QWidget* page)
{
    lvLanguage = new QTreeWidget(page);
    lvLanguage->setObjectName("lvLanguage");
    lvLanguage->setColumnCount(3);
    lvLanguage->setHeaderLabels({"Message ID", "Messages", "Your Language"});
    lvLanguage->setColumnWidth(0, 80);
    lvLanguage->setColumnWidth(1, 250);
    lvLanguage->setColumnWidth(2, 500);
    lvLanguage->setRootIsDecorated(false);
    lvLanguage->setItemsExpandable(false);
    lvLanguage->setUniformRowHeights(true);
    lvLanguage->setAllColumnsShowFocus(true);
    lvLanguage->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvLanguage->setSelectionMode(QAbstractItemView::SingleSelection);
    lvLanguage->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvLanguage->setSortingEnabled(false);
    lvLanguage->header()->setSectionsClickable(false);
    lvLanguage->header()->setStretchLastSection(false);
    lvLanguage->setContextMenuPolicy(Qt::CustomContextMenu);
    QPalette palette = lvLanguage->palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    lvLanguage->setPalette(palette);

    lvLanguageDraw = new TListDrawDelegate(
        lvLanguage, [this](TListDrawDelegate* sender, const QModelIndex& index, int column, bool& defaultDraw) {
            ui::Protect([&] {
                lvLanguageAdvancedCustomDrawSubItem(sender, lvLanguage->itemFromIndex(index), column, 0,
                                                    TCustomDrawStage::cdPrePaint, defaultDraw);
            });
        });
    lvLanguage->setItemDelegate(lvLanguageDraw);
}

void TfrmMain::BuildEditPanel(QWidget* page)
{
    panLangEdit = new QFrame(page);
    panLangEdit->setObjectName("panLangEdit");
    panLangEdit->setFixedHeight(155);
    GroupBox1 = new QGroupBox("  Edit Your Language  ", panLangEdit);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setGeometry(1, 8, kDesignGroupWidth, 146);

    Label1 = NewLabel("Label1", "Message ID: ", GroupBox1, 36, 26);
    lblMsgId = NewLabel("lblMsgId", "1", GroupBox1, 126, 26);
    // Wide enough for every id, so that showing one needs no new layout.
    lblMsgId->setMinimumWidth(60);
    Label2 = NewLabel("Label2", "Message", GroupBox1, 48, 58);
    txtDefaultLang = NewEdit("txtDefaultLang", GroupBox1, 120, 53, 478);
    txtDefaultLang->setReadOnly(true);
    QPalette face = txtDefaultLang->palette();
    face.setColor(QPalette::Base, face.color(QPalette::Button));
    txtDefaultLang->setPalette(face);
    Label3 = NewLabel("Label3", "   Your  Language", GroupBox1, 12, 88);
    txtUserLang = NewEdit("txtUserLang", GroupBox1, 120, 83, 478);
    QFont own("MS Sans Serif");
    own.setPixelSize(11);
    txtUserLang->setFont(own);
    cmdLangModify = new QPushButton("Modify", GroupBox1);
    cmdLangModify->setObjectName("cmdLangModify");
    cmdLangModify->setGeometry(607, 80, 75, 25);
    cmdLangModify->setAutoDefault(false);
    cmdLangModify->setDefault(true);
    Label4 = NewLabel("Label4", "Note: here you can translate message  into your own language.", GroupBox1, 120, 118);
    panLangEdit->installEventFilter(this);
}

void TfrmMain::PlaceEditPanel()
{
    GroupBox1->setGeometry(1, 8, std::max(panLangEdit->width() - 2, 200), panLangEdit->height() - 9);
    const int grow = GroupBox1->width() - kDesignGroupWidth;
    txtDefaultLang->resize(std::max(478 + grow, 20), txtDefaultLang->height());
    txtUserLang->resize(std::max(478 + grow, 20), txtUserLang->height());
    cmdLangModify->move(607 + grow, 80);
}

void TfrmMain::ConnectLanguagePage()
{
    // A choice by the user only: filling or selecting from code does not run it.
    ui::Connect(cboLanguageFile, &QComboBox::activated, this, [this](int) { cboLanguageFileChange(cboLanguageFile); });
    ui::Connect(lvLanguage->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection& deselected) {
                OnListSelectionChanged(selected, deselected);
            });
    ui::Connect(txtUserLang, &QLineEdit::textChanged, this, [this](const QString&) { txtUserLangChange(txtUserLang); });
    ui::Connect(cmdLangModify, &QPushButton::clicked, this, [this] { cmdLangModifyClick(cmdLangModify); });
    auto popupAt = [this](QWidget* owner) {
        return [this, owner](const QPoint& pos) { mnuLangPopup->popup(owner->mapToGlobal(pos)); };
    };
    ui::Connect(cboLanguageFile, &QWidget::customContextMenuRequested, this, popupAt(cboLanguageFile));
    ui::Connect(lvLanguage, &QWidget::customContextMenuRequested, this, popupAt(lvLanguage->viewport()));

    for (QWidget* control : {static_cast<QWidget*>(lvLanguage), static_cast<QWidget*>(cboLanguageFile),
                             static_cast<QWidget*>(txtDefaultLang), static_cast<QWidget*>(txtUserLang),
                             static_cast<QWidget*>(cmdLangModify), static_cast<QWidget*>(ToolButton2)})
        control->installEventFilter(this);
}

void TfrmMain::OnListSelectionChanged(const QItemSelection& Selected, const QItemSelection& Deselected)
{
    // The row that loses the selection is reported before the one that gains it.
    for (const QItemSelection* part : {&Deselected, &Selected}) {
        for (const QModelIndex& index : part->indexes()) {
            if (index.column() != 0) continue;
            lvLanguageChange(lvLanguage, lvLanguage->itemFromIndex(index), TItemChange::ctState);
        }
    }
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lblLanguageFile) return LanguageLabelEvent(event);
    if (watched == panLangEdit && event->type() == QEvent::Resize) {
        PlaceEditPanel();
        return false;
    }
    if (watched == cboLanguageFile && event->type() == QEvent::Wheel) return !cboLanguageFile->hasFocus();
    if (event->type() != QEvent::KeyPress) return QMainWindow::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (TakeDefaultButtonKey(watched, key)) return true;
    if (watched == txtUserLang) return TranslationBoxKey(key);
    return false;
}

bool TfrmMain::TakeDefaultButtonKey(QObject*, QKeyEvent* key)
{
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (!enter || !plain || !cmdLangModify->isEnabled()) return false;
    cmdLangModify->click();
    return true;
}

bool TfrmMain::TranslationBoxKey(QKeyEvent* key)
{
    int code = 0;
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: code = VK_RETURN; break;
    case Qt::Key_Up: code = VK_UP; break;
    case Qt::Key_Down: code = VK_DOWN; break;
    default: return false;
    }
    ui::Protect([&] { txtUserLangKeyDown(txtUserLang, code, key->modifiers()); });
    return code == 0;
}

} // namespace morlex
