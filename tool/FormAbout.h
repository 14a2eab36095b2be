// The tool's about box.
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace morlex {

/// Home page shown and opened by the about box.
inline constexpr const char* kHomePage = "www.vantrel.example.com";
/// Support mail address shown by the about box and opened with "mailto:".
inline constexpr const char* kSupportMail = "support@vantrel.example.com";

/// The about box of Morlex: created once at start-up and shown modally.
class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    TfrmAbout();

    QFrame* Panel1 = nullptr;
    QLabel* ProgramIcon = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Version = nullptr;
    QLabel* lblURL = nullptr;
    QLabel* lblSupport = nullptr;
    QPushButton* OKButton = nullptr;

    /// Opens the home page with the shell.
    void lblURLClick(QObject* Sender);
    /// Opens a new mail to the support address with the shell.
    void lblSupportClick(QObject* Sender);

    /// Shows the box modally; returns the dialog's result.
    int ShowModal();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLabel* AddLabel(const char* name, const QString& text, int left, int top);
    QLabel* AddLink(const char* name, const char* text, int left, int top);
};

/// The about box, created once at start-up.
extern TfrmAbout* frmAbout;

} // namespace morlex
