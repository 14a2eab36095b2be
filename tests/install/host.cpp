// A host application built against the installed library, with no Qt
// application object of its own: saves built-in table 0 as the language file
// named on the command line and loads it back, then shows the about dialog
// modally and closes it from code, and sends a text to a window of its own.
// With "no-display" after the file name it expects the dialog to refuse with
// an error instead. On the way it writes and reads a registry value.
#include "uAbout.h"
#include "uDyxSubs.h"
#include "uMultiLanguage.h"
#include "win32/windowmsg.h"

#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int RoundTripTable(const char* file)
{
    if (vantrel::MyLang == nullptr || vantrel::strDefaultLanguageFileName != "default.lang") return 3;

    vantrel::TMultiLang table;
    table.LoadInteralLanguage(0);
    table.SaveToFile(file);

    vantrel::TMultiLang loaded;
    if (!loaded.LoadFromFile(file) || loaded.IsDirty() || loaded.FileName != file) return 4;
    for (int32_t id = 0; id <= loaded.GetMaxMsgId(); ++id) {
        if (loaded.GetMsgItem(id) != table.GetMsgItem(id)) {
            std::fprintf(stderr, "id %s differs\n", vantrel::MyIntToStr0(id, 4).c_str());
            return 5;
        }
    }
    return loaded.GetMsgItem(7).empty() ? 6 : 0;
}

int ShowAboutDialog(bool displayExpected)
{
    if (vantrel::frmAbout != nullptr || !vantrel::strUserName.empty()) return 7;
    try {
        vantrel::TfrmAbout dialog;
        if (!displayExpected) return 8;
        QTimer::singleShot(0, dialog.cmdOK, &QPushButton::click);
        if (dialog.exec() != QDialog::Rejected || dialog.isVisible()) return 9;
        return dialog.windowTitle() == "About" ? 0 : 10;
    } catch (const vantrel::Exception& error) {
        std::fprintf(stderr, "about dialog refused: %s\n", error.what());
        return displayExpected ? 11 : 0;
    }
}

int SendToOwnWindow()
{
    std::string received;
    const win32::HWND window = win32::RegisterMessageWindow([&](win32::HWND, win32::UINT, win32::WPARAM, win32::LPARAM lParam) {
        const auto* block = reinterpret_cast<const win32::COPYDATASTRUCT*>(lParam);
        received.assign(static_cast<const char*>(block->lpData), block->cbData);
        return win32::LRESULT{1};
    });
    vantrel::SendPcoessData(window, 0, "abc", 7);
    return window != 0 && win32::UnregisterMessageWindow(window) && received == std::string("abc", 4) ? 0 : 12;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) return 2;
    const bool displayExpected = argc == 2 || std::strcmp(argv[2], "no-display") != 0;
    if (const int failed = RoundTripTable(argv[1])) return failed;
    if (const int failed = SendToOwnWindow()) return failed;
    using namespace vantrel; // the root keys as a host names them
    WriteRegistryValueInt(HKEY_CURRENT_USER, "Software\\Host", "Runs", 1, true);
    if (GetRegistryValueInt(vantrel::HKEY_CURRENT_USER, "Software\\Host", "Runs") != 1) return 13;
    return ShowAboutDialog(displayExpected);
}
