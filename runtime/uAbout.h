// The package's about dialog: the product icon, name and version, the rights
// line, the maker and the links to the home page, the support mail address
// and the purchase page.
#pragma once

#include "vantrel_export.h"
#include "classlib/Exceptions.h"

#include <QDialog>

#include <string>

class QGroupBox;
class QKeyEvent;
class QLabel;
class QPushButton;
class QShowEvent;

namespace vantrel {

/// The about dialog of the package: caption "About", a fixed client area of
/// 327 x 247 pixels without minimise or maximise box, placed in the middle of
/// the whole primary screen each time it is shown (as MoveCenter places a
/// form, so a dialog larger than the screen gets a negative position).
///
/// "Close" is the default button (Enter presses it); no button answers
/// Escape, which neither closes the dialog nor does anything else. Closing
/// (the button, the title bar or Alt+F4) hides the dialog and keeps the
/// object: a modal showing (exec) ends with QDialog::Rejected, the Cancel
/// result. The host owns the object and frees it; an owner given to the
/// constructor frees it with itself.
///
/// The maker's name and the home page address open the home page, the
/// support address a new mail and "Buy Now" the purchase page, each through
/// the shell with the default verb; a target that cannot be opened is
/// silent. Use the dialog on the toolkit's thread only.
class VANTREL_EXPORT TfrmAbout : public QDialog {
    Q_OBJECT
public:
    /// Builds the dialog, hidden. A host that is not a Qt program gets the
    /// toolkit's application object made here (and kept for the rest of the
    /// process), so that it can show the dialog with exec(). Throws
    /// vantrel::Exception, before any window exists, when no application
    /// object can be made (no display: DISPLAY and WAYLAND_DISPLAY unset or
    /// unreachable, and no offscreen platform asked for in QT_QPA_PLATFORM;
    /// or a QCoreApplication without widgets) or when called on a thread
    /// other than the toolkit's (the main thread, while there is no
    /// application object yet).
    explicit TfrmAbout(QWidget* AOwner = nullptr);
    ~TfrmAbout() override;

    QPushButton* cmdOK = nullptr;     ///< "Close", the default button.
    QPushButton* cmdBuy = nullptr;    ///< "Buy Now".
    QGroupBox* GroupBox1 = nullptr;   ///< Frames the image and the labels.
    QLabel* Label5 = nullptr;         ///< The home page as a full web address.
    QLabel* Label6 = nullptr;         ///< The support mail address.
    QLabel* Label1 = nullptr;         ///< Product name and version.
    QLabel* Label2 = nullptr;         ///< The rights line.
    QLabel* Label3 = nullptr;         ///< The maker's name.
    QLabel* Image1 = nullptr;         ///< The product icon, 32 x 32.

    /// Closes the dialog: hidden, Cancel result, not freed.
    void cmdOKClick(QObject* Sender);
    /// Centres the dialog on the whole primary screen; runs on every showing.
    void FormShow(QObject* Sender);
    /// Opens the home page.
    void Label5Click(QObject* Sender);
    /// Opens a new mail to the support address ("mailto:" + address).
    void Label6Click(QObject* Sender);
    /// Opens the purchase page (the home page host + "/purchase.htm").
    void cmdBuyClick(QObject* Sender);
    /// Opens the home page.
    void Label3Click(QObject* Sender);

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CreateButtons();
    void CreateGroup();
    QLabel* AddLabel(const char* name, const char* text, const QRect& bounds, const QFont& font);
};

/// The form variable, for the host's use: starts null; the library never
/// sets or reads it.
VANTREL_EXPORT extern TfrmAbout* frmAbout;

/// Starts empty and is cleared when the library is unloaded; the library
/// does not otherwise read or write it.
VANTREL_EXPORT extern std::string strUserName;

} // namespace vantrel
