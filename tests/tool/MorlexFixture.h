// Shared set-up of the tool's window tests: a temporary program folder that
// the program believes it lies in, message boxes answered and recorded, and
// the two windows made as at start-up.
#pragma once

#include "FormAbout.h"
#include "MainForm.h"
#include "Startup.h"
#include "ui/Application.h"
#include "ui/InputPrompt.h"
#include "ui/MessageBox.h"
#include "win32/paths.h"

#include <QApplication>
#include <QKeyEvent>

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <optional>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace morlex::testing {

namespace fs = std::filesystem;

inline std::string ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void WriteBytes(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

/// A language file with the usual header and the given message lines.
inline std::string LanguageFile(const std::vector<std::pair<int, std::string>>& messages)
{
    std::string text = "*** test\r\n*** test\r\n*** test\r\n \r\n";
    for (const auto& [id, message] : messages) {
        char head[16];
        std::snprintf(head, sizeof head, "[%04d] ", id);
        text += head + message + "\r\n";
    }
    return text;
}

class MorlexTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(ui::EnsureApplication(), nullptr);
        char pattern[] = "/tmp/morlex-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        programDir_ = root_ / "app";
        fs::create_directories(programDir_);
        win32::detail::OverrideModuleFileName(win32::HostToWindowsPath((programDir_ / "morlex").string()));
        ui::SetMessageBoxAnswerer([this](const ui::MessageBoxRequest& request) {
            boxes_.push_back(request);
            if (boxAnswers_.empty()) return 1; // IDOK
            const int answer = boxAnswers_.front();
            boxAnswers_.pop_front();
            return answer;
        });
        ui::SetInputPromptAnswerer([this](const ui::InputPromptRequest& request) -> std::optional<std::string> {
            prompts_.push_back(request);
            if (promptAnswers_.empty()) return std::nullopt;
            const std::optional<std::string> answer = promptAnswers_.front();
            promptAnswers_.pop_front();
            return answer;
        });
    }

    void TearDown() override
    {
        DestroyForms();
        ui::SetMessageBoxAnswerer({});
        ui::SetInputPromptAnswerer({});
        win32::detail::OverrideModuleFileName("");
        std::error_code ignored;
        fs::permissions(programDir_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(root_, ignored);
    }

    fs::path LanguageHostDir() const { return programDir_ / "Language"; }

    void AddLanguageFile(const std::string& name, const std::vector<std::pair<int, std::string>>& messages)
    {
        fs::create_directories(LanguageHostDir());
        WriteBytes(LanguageHostDir() / name, LanguageFile(messages));
    }

    /// The windows as the program makes them at start.
    void Start()
    {
        CreateForms();
        ASSERT_NE(frmMain, nullptr);
        ASSERT_NE(frmAbout, nullptr);
    }

    static void PressKey(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        const QString text = (key == Qt::Key_Return || key == Qt::Key_Enter) ? QString("\r") : QString();
        QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
        QApplication::sendEvent(target, &release);
    }

    fs::path root_;
    fs::path programDir_;
    std::vector<ui::MessageBoxRequest> boxes_;
    /// Buttons the next boxes answer with, in turn; then IDOK.
    std::deque<int> boxAnswers_;
    std::vector<ui::InputPromptRequest> prompts_;
    /// Texts the next prompts answer with, in turn (nullopt: Cancel); then Cancel.
    std::deque<std::optional<std::string>> promptAnswers_;
};

} // namespace morlex::testing
