#include "MainForm.h"

#include "ui/Application.h"
#include "AutoSizeLabel.h"
#include "FormAbout.h"
#include "PageControls.h"
#include "Resources.h"
#include "uDyxSubs.h"
#include "ui/QtText.h"

#include <QAction>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace morlex {

TfrmMain* frmMain = nullptr;

namespace {

constexpr int kRootTag = 1;
constexpr int kLanguageEditorTag = 3;

QFrame* NewPanel(const char* name, QWidget* parent, QFrame::Shadow shadow)
{
    auto* panel = new QFrame(parent);
    panel->setObjectName(name);
    panel->setFrameStyle(QFrame::Panel | shadow);
    return panel;
}

QAction* NewAction(const char* name, const char* caption, QObject* parent)
{
    auto* action = new QAction(QString::fromLatin1(caption), parent);
    action->setObjectName(name);
    return action;
}

// The selection keeps its colours when the control loses the focus.
void KeepSelectionHighlighted(QWidget* view)
{
    QPalette palette = view->palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    view->setPalette(palette);
}

int NodeData(const QStandardItem* node)
{
    return node ? node->data(Qt::UserRole).toInt() : 0;
}

} // namespace

TfrmMain::TfrmMain()
{
    InitResources();
    setObjectName("frmMain");
    setWindowTitle("Morlex");
    setWindowIcon(ProgramIcon32());
    setFont(FormFont());
    ImageSection = {SectionImage(0), SectionImage(1), SectionImage(2)};
    BuildFrame();
    BuildLanguagePage();
    ConnectFrame();
    ConnectLanguagePage();
    ConnectLanguageCommands();

    resize(846, 522);
    vantrel::MoveCenter(this);
}

TfrmMain::~TfrmMain()
{
    if (frmMain == this) frmMain = nullptr;
}

void TfrmMain::BuildFrame()
{
    BuildMenus();
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setFixedHeight(19);
    StatusBar1->setSizeGripEnabled(false);
    setStatusBar(StatusBar1);

    auto* central = new QWidget(this);
    auto* layout = new QHBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    Splitter1 = new QSplitter(Qt::Horizontal, central);
    Splitter1->setObjectName("Splitter1");
    Splitter1->setHandleWidth(4);
    Splitter1->setChildrenCollapsible(false);
    layout->addWidget(Splitter1);
    setCentralWidget(central);

    BuildLeftPanel();
    pageRight = new QTabWidget(Splitter1);
    pageRight->setObjectName("pageRight");
    Splitter1->addWidget(pageRight);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({161, 846 - 161 - 4});
}

void TfrmMain::BuildMenus()
{
    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName("MainMenu1");
    setMenuBar(MainMenu1);

    actFileClose = NewAction("actFileClose", "Exit", this);
    actFileClose->setProperty("category", "File");
    actFileClose->setStatusTip("Close and exit.");
    actFileClose->setToolTip("Close and exit.");
    mnuFile = MainMenu1->addMenu("&File");
    mnuFile->setObjectName("mnuFile");
    mnuFile->addAction(actFileClose);
    // The entry and its action are one object in this toolkit.
    Exit1 = actFileClose;

    mnuHelp = MainMenu1->addMenu("&Help");
    mnuHelp->setObjectName("mnuHelp");
    mnuHelp2 = NewAction("mnuHelp2", "&Help", this);
    mnuAbout = NewAction("mnuAbout", "&About...", this);
    mnuHelp->addAction(mnuHelp2);
    mnuHelp->addAction(mnuAbout);
}

void TfrmMain::BuildLeftPanel()
{
    panLeft = new QFrame(Splitter1);
    panLeft->setObjectName("panLeft");
    panLeft->setMinimumWidth(20);
    // Placed while still empty: the splitter measures what it takes in, and
    // the filled panel is measured when the window is first laid out.
    Splitter1->addWidget(panLeft);
    auto* layout = new QVBoxLayout(panLeft);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    panLeftTool = NewPanel("panLeftTool", panLeft, QFrame::Sunken);
    panLeftTool->setFixedHeight(24);
    lblLeftTool = new TAutoSizeLabel("Vantrel Tools", panLeftTool);
    lblLeftTool->setObjectName("lblLeftTool");
    lblLeftTool->move(5, 6);
    layout->addWidget(panLeftTool);

    tvLeft = new QTreeView(panLeft);
    tvLeft->setObjectName("tvLeft");
    tvLeftItems = new QStandardItemModel(tvLeft);
    tvLeft->setModel(tvLeftItems);
    tvLeft->setHeaderHidden(true);
    tvLeft->setRootIsDecorated(false);
    tvLeft->setIndentation(19);
    tvLeft->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvLeft->setSelectionMode(QAbstractItemView::SingleSelection);
    tvLeft->setFrameShape(QFrame::Box);
    tvLeft->setLineWidth(1);
    KeepSelectionHighlighted(tvLeft);
    auto* gate = new TTreeSelectionGate(tvLeftItems, tvLeft, [this](const QModelIndex& index) {
        bool allow = true;
        ui::Protect([&] { tvLeftChanging(tvLeft, tvLeftItems->itemFromIndex(index), allow); });
        return allow;
    });
    QItemSelectionModel* former = tvLeft->selectionModel();
    tvLeft->setSelectionModel(gate);
    delete former;
    layout->addWidget(tvLeft);
}

void TfrmMain::ConnectFrame()
{
    ui::Connect(actFileClose, &QAction::triggered, this, [this] { actFileCloseExecute(actFileClose); });
    ui::Connect(mnuHelp2, &QAction::triggered, this, [this] { mnuHelp2Click(mnuHelp2); });
    ui::Connect(mnuAbout, &QAction::triggered, this, [this] { mnuAboutClick(mnuAbout); });
    ui::Connect(tvLeft->selectionModel(), &QItemSelectionModel::currentChanged, this,
                [this](const QModelIndex& current, const QModelIndex&) {
                    if (QStandardItem* node = tvLeftItems->itemFromIndex(current)) tvLeftChange(tvLeft, node);
                });
    ui::Connect(tvLeft, &QTreeView::collapsed, this, [this](const QModelIndex& index) {
        bool allow = true;
        tvLeftCollapsing(tvLeft, tvLeftItems->itemFromIndex(index), allow);
        // This toolkit reports a collapse after the fact, so a refusal undoes it.
        if (!allow) tvLeft->expand(index);
    });
    // Modify is the default button of the whole window, so a plain Enter in
    // the frame's controls reaches it too.
    tvLeft->installEventFilter(this);
    pageRight->tabBar()->installEventFilter(this);
}

void TfrmMain::FormCreate(QObject*)
{
    LanguageDir = vantrel::GetHomeDir() + "Language\\";
    vantrel::CreateFullPath(LanguageDir);
    InitPages();
    tvLeft->expand(tvLeftItems->index(0, 0));
    setWindowState(windowState() | Qt::WindowMaximized);
}

void TfrmMain::InitPages()
{
    tvLeftItems->clear();
    auto* root = new QStandardItem("Tools");
    root->setData(kRootTag, Qt::UserRole);
    tvLeftItems->appendRow(root);
    auto* editor = new QStandardItem("Language Editor");
    editor->setData(kLanguageEditorTag, Qt::UserRole);
    root->appendRow(editor);
    tvLeft->selectionModel()->setCurrentIndex(editor->index(), QItemSelectionModel::ClearAndSelect);

    for (QStandardItem* node : {root, editor}) node->setIcon(ImageSection.value(1));
    root->setIcon(ImageSection.value(0));

    DefaultLang = std::make_unique<vantrel::TMultiLang>();
    UserLang = std::make_unique<vantrel::TMultiLang>();
    LoadLanguageFileList(0, false, "");
    LoadDefaultMessages();
    LoadUserLanguageFile(FileBoxText());
}

int TfrmMain::GetSelectedPageTag() const
{
    return NodeData(tvLeftItems->itemFromIndex(tvLeft->currentIndex()));
}

int TfrmMain::PageTag(const QWidget* Page)
{
    return Page->property("Tag").toInt();
}

void TfrmMain::SetPageTag(QWidget* Page, int Tag)
{
    Page->setProperty("Tag", Tag);
}

void TfrmMain::ShowPage(int Tag, const std::string& Caption)
{
    for (int i = 0; i < pageRight->count(); ++i) {
        const bool shown = PageTag(pageRight->widget(i)) == Tag;
        pageRight->setTabVisible(i, shown);
        if (shown && !Caption.empty()) pageRight->setTabText(i, ui::ToQString(Caption));
    }
}

void TfrmMain::tvLeftChanging(QObject*, QStandardItem* Node, bool& AllowChange)
{
    if (NodeData(Node) == kRootTag) AllowChange = false;
}

void TfrmMain::tvLeftChange(QObject*, QStandardItem* Node)
{
    ShowPage(GetSelectedPageTag(), ui::FromQString(Node->text(), ui::TextEncoding::Locale));
}

void TfrmMain::tvLeftCollapsing(QObject*, QStandardItem* Node, bool& AllowCollapse)
{
    if (NodeData(Node) == kRootTag) AllowCollapse = false;
}

void TfrmMain::actFileCloseExecute(QObject*)
{
    close();
}

void TfrmMain::FormCloseQuery(QObject*, bool&)
{
}

void TfrmMain::FormClose(QObject*, TCloseAction&)
{
    DefaultLang.reset();
    UserLang.reset();
}

void TfrmMain::closeEvent(QCloseEvent* event)
{
    bool canClose = true;
    ui::Protect([&] { FormCloseQuery(this, canClose); });
    if (!canClose) {
        event->ignore();
        return;
    }
    TCloseAction action = TCloseAction::caHide;
    ui::Protect([&] { FormClose(this, action); });
    event->accept();
}

void TfrmMain::mnuHelp2Click(QObject*)
{
    vantrel::DyxShellExecute(vantrel::GetHomeDir() + "..\\Vantrel.chm", true);
}

void TfrmMain::mnuAboutClick(QObject*)
{
    frmAbout->ShowModal();
}

} // namespace morlex
