// The main window of Morlex: page tree, page control with the language
// editor page, status bar, menus.
#pragma once

#include "uMultiLanguage.h"

#include <QIcon>
#include <QList>
#include <QMainWindow>

#include <bitset>
#include <memory>
#include <string>

class QAction;
class QCloseEvent;
class QComboBox;
class QFrame;
class QGroupBox;
class QItemSelection;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPushButton;
class QSplitter;
class QStandardItem;
class QStandardItemModel;
class QStatusBar;
class QTabWidget;
class QToolBar;
class QToolButton;
class QTreeView;
class QTreeWidget;
class QTreeWidgetItem;

namespace morlex {

class TListDrawDelegate;

/// Virtual key codes that the translation box's key handler looks at.
constexpr int VK_RETURN = 13;
constexpr int VK_UP = 38;
constexpr int VK_DOWN = 40;

/// The kind of change a list reports for a row (only selection changes are reported).
enum class TItemChange { ctText, ctImage, ctState };

/// What happens to a window after its close handler.
enum class TCloseAction { caNone, caHide, caFree, caMinimize };

/// Stage of a custom-drawn list cell.
enum class TCustomDrawStage { cdPrePaint, cdPostPaint };

/// The main window. Build it with CreateForm (Startup.h) so that frmMain is
/// set before FormCreate runs.
class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    TfrmMain();
    ~TfrmMain() override;

    // Frame (main window layout)
    QMenuBar* MainMenu1 = nullptr;
    QMenu* mnuFile = nullptr;
    QAction* Exit1 = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuHelp2 = nullptr;
    QAction* mnuAbout = nullptr;
    QAction* actFileClose = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QFrame* panLeft = nullptr;
    QFrame* panLeftTool = nullptr;
    QLabel* lblLeftTool = nullptr;
    QTreeView* tvLeft = nullptr;
    /// The nodes of tvLeft.
    QStandardItemModel* tvLeftItems = nullptr;
    /// The tree's images: 0 folder, 1 blank page, 2 page with a red tick.
    QList<QIcon> ImageSection;
    QSplitter* Splitter1 = nullptr;
    QTabWidget* pageRight = nullptr;
    QWidget* TabSheet4 = nullptr;

    // Language editor page
    QFrame* panLanguage = nullptr;
    QLabel* lblLanguageFile = nullptr;
    QComboBox* cboLanguageFile = nullptr;
    QToolBar* ToolBar2 = nullptr;
    QToolButton* ToolButton2 = nullptr;
    QTreeWidget* lvLanguage = nullptr;
    TListDrawDelegate* lvLanguageDraw = nullptr;
    QFrame* panLangEdit = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* lblMsgId = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* txtDefaultLang = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* txtUserLang = nullptr;
    QPushButton* cmdLangModify = nullptr;
    QLabel* Label4 = nullptr;

    // Language file menu and its actions (category "Language")
    QMenu* mnuLangPopup = nullptr;
    QAction* mnuLangPopupNew = nullptr;
    QAction* N4 = nullptr;
    QAction* mnuLangPopupRename = nullptr;
    QAction* mnuLangPopupDelete = nullptr;
    QAction* mnuSepExport = nullptr;
    QAction* mnuLangPopupExport = nullptr;
    QAction* actLangNew = nullptr;
    QAction* actLangRename = nullptr;
    QAction* actLangDelete = nullptr;

    /// The language folder (program folder + "Language\"); set first in FormCreate.
    std::string LanguageDir;
    /// Bare name of the language file the translation column shows; "" when none.
    std::string CurrentLanguageFile;
    /// Catalog of the built-in default messages (table 0).
    std::unique_ptr<vantrel::TMultiLang> DefaultLang;
    /// Catalog of the chosen language file.
    std::unique_ptr<vantrel::TMultiLang> UserLang;

    // Frame operations and handlers
    void FormCreate(QObject* Sender);
    void InitPages();
    int GetSelectedPageTag() const;
    void ShowPage(int Tag, const std::string& Caption);
    void tvLeftChanging(QObject* Sender, QStandardItem* Node, bool& AllowChange);
    void tvLeftChange(QObject* Sender, QStandardItem* Node);
    void tvLeftCollapsing(QObject* Sender, QStandardItem* Node, bool& AllowCollapse);
    void actFileCloseExecute(QObject* Sender);
    void FormCloseQuery(QObject* Sender, bool& CanClose);
    void FormClose(QObject* Sender, TCloseAction& Action);
    void mnuHelp2Click(QObject* Sender);
    void mnuAboutClick(QObject* Sender);

    // Language editor page operations and handlers
    void LoadLanguageFileList(int Index, bool Reload, const std::string& SelectName);
    void LoadDefaultMessages();
    void LoadUserLanguageFile(const std::string& FileName);
    void MoveMessageSelection(int Delta);
    void SaveTranslation();
    void cboLanguageFileChange(QObject* Sender);
    void lvLanguageChange(QObject* Sender, QTreeWidgetItem* Item, TItemChange Change);
    void txtUserLangChange(QObject* Sender);
    void txtUserLangKeyDown(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift);
    void cmdLangModifyClick(QObject* Sender);
    void lvLanguageAdvancedCustomDrawSubItem(TListDrawDelegate* Sender, QTreeWidgetItem* Item, int SubItem,
                                             int State, TCustomDrawStage Stage, bool& DefaultDraw);

    // Language file menu and commands
    void mnuLangPopupPopup(QObject* Sender);
    void lblLanguageFileMouseEnter(QObject* Sender);
    void lblLanguageFileMouseLeave(QObject* Sender);
    void lblLanguageFileMouseDown(QObject* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
    void actLangNewExecute(QObject* Sender);
    void actLangRenameExecute(QObject* Sender);
    void actLangDeleteExecute(QObject* Sender);
    void mnuLangPopupExportClick(QObject* Sender);
    /// Writes the language file at FileName (a full path) as a source unit
    /// beside it; every outcome is reported to the user.
    void ExportLanguageToSource(const std::string& FileName);

    /// The file name of the file box's chosen entry, as the raw bytes that
    /// the folder holds (the box shows it decoded); "" when none is chosen.
    std::string FileBoxText() const;
    /// Sets the file box entry at Index to the file name Name (raw bytes,
    /// kept for building paths and shown decoded); an Index of the entry
    /// count or more appends one. Does not run cboLanguageFileChange.
    void SetFileBoxEntry(int Index, const std::string& Name);
    /// The number of file box entries.
    int FileBoxCount() const;
    /// The file name of file box entry Index, as raw bytes.
    std::string FileBoxEntry(int Index) const;
    /// The chosen file box entry; -1 when none.
    int FileBoxIndex() const;
    /// The row that is selected in the message list, or nullptr.
    QTreeWidgetItem* SelectedMessageRow() const;
    /// The tag of a page of pageRight.
    static int PageTag(const QWidget* Page);
    static void SetPageTag(QWidget* Page, int Tag);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildFrame();
    void BuildMenus();
    void BuildLeftPanel();
    void BuildLanguagePage();
    void BuildLanguageHeader(QWidget* page);
    void BuildMessageList(QWidget* page);
    void BuildEditPanel(QWidget* page);
    void BuildLanguagePopup();
    void ConnectFrame();
    void ConnectLanguagePage();
    void ConnectLanguageCommands();
    bool LanguageLabelEvent(QEvent* event);
    /// A message box owned by the main window; the ID* value of its answer.
    int OwnedMessageBox(const std::string& Text, const std::string& Caption, unsigned Flags);
    void PlaceEditPanel();
    bool TakeDefaultButtonKey(QObject* watched, QKeyEvent* key);
    bool TranslationBoxKey(QKeyEvent* key);
    void SelectMessageRow(int Index);
    void ShowNoLanguageFile();
    void SetEditingEnabled(bool Enabled);
    void OnListSelectionChanged(const QItemSelection& Selected, const QItemSelection& Deselected);
    /// Modify's save: sets a message of UserLang, then writes it into the
    /// file as the file is now, taking what changed there since.
    void StoreTranslation(int32_t Id, const std::string& Text);
    void WriteLanguageFile();
    void TakeChangedTranslations(const vantrel::TMultiLang& OnDisk);
    /// Messages set by Modify that no save has written yet.
    std::bitset<501> UnsavedMessages;
};

/// The main window, set as soon as it exists (before FormCreate runs).
extern TfrmMain* frmMain;

} // namespace morlex
