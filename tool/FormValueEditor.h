// The value editor dialog, with its page for creating a language file.
#pragma once

#include <QDialog>

#include <cstdint>
#include <memory>
#include <string>

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace Ui {
class TfrmValueEditor;
}

namespace morlex {

/// Tag of the new-language page, the mode in which the dialog creates a file.
inline constexpr int32_t kNewLanguageMode = 3001;

/// What the main window hands the value editor dialog; copied whole in and out.
struct TMyParam {
    /// The tag of the page to show (kNewLanguageMode).
    int32_t Mode = 0;
    /// The language folder as a full path ending in a backslash.
    std::string LanguageDir;
    /// The preselected index (-1 for none), then the existing file names,
    /// each item followed by a carriage return.
    std::string FileList;
    /// The trimmed bare name of the file created; set only on OK.
    std::string NewFileName;
};

/// The modal dialog in which a new language file is named and written,
/// from the default texts or as a copy of an existing file.
class TfrmValueEditor : public QDialog {
    Q_OBJECT
public:
    explicit TfrmValueEditor(QWidget* Owner);
    ~TfrmValueEditor() override;

    QTabWidget* pageEditor = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    QWidget* TabSheet2 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QFrame* Bevel1 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QComboBox* cboLanguageFile = nullptr;
    QRadioButton* optLangCopyDefault = nullptr;
    QRadioButton* optLangCopyUser = nullptr;
    QLineEdit* txtLangFileName = nullptr;

    void cmdCancelClick(QObject* Sender);
    void cmdOKClick(QObject* Sender);
    void optLangCopyUserClick(QObject* Sender);
    void optLangCopyDefaultClick(QObject* Sender);

    /// Shows the tab of the page whose tag is Tag, hides the others, and
    /// takes that page's caption as the dialog's.
    void ShowEditorPage(int Tag);
    /// Readies the page of the mode: focus and the list of copy sources.
    void PrepareEditor();
    /// Fills the copy sources from the record's file list and sets the options.
    void FillCopySourceList();
    /// Checks the typed name and writes the new file; closes with OK on success.
    void CreateNewLanguageFile();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    friend bool ShowValueEditor(TMyParam& Param);

    /// Shows a "File name error" box, then gives the name box the focus.
    void RejectName(const std::string& Text, const std::string& Caption);

    std::unique_ptr<Ui::TfrmValueEditor> form_;
    int32_t Mode = 0;
    TMyParam Param;
};

/// Runs the dialog modally on a copy of Param. True when it closed with OK:
/// Param then holds the dialog's copy, NewFileName set. False otherwise,
/// with Param untouched.
bool ShowValueEditor(TMyParam& Param);

} // namespace morlex
