#include "ui/InputPrompt.h"

#include "ui/Application.h"
#include "ui/MessageBox.h"
#include "win32/codepage.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

class InputPromptTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(ui::EnsureApplication(), nullptr); }
    void TearDown() override { ui::SetInputPromptAnswerer({}); }

    // Runs InputQuery on a real dialog; act gets the dialog and its edit box.
    bool Ask(std::string& value, std::function<void(QDialog*, QLineEdit*)> act, const std::string& caption = "Rename",
             const std::string& prompt = "PLease input new file name:")
    {
        QTimer::singleShot(0, [act] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            auto* edit = dialog->findChild<QLineEdit*>();
            ASSERT_NE(edit, nullptr);
            act(dialog, edit);
            if (dialog->isVisible()) dialog->reject();
        });
        return ui::InputQuery(caption, prompt, value);
    }
};

void Press(QWidget* target, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
}

TEST_F(InputPromptTest, AnswererSeesTheRequestAndDecides)
{
    ui::InputPromptRequest seen;
    ui::SetInputPromptAnswerer([&](const ui::InputPromptRequest& r) -> std::optional<std::string> {
        seen = r;
        return std::string(" new name ");
    });
    std::string value = "old.lang";
    EXPECT_TRUE(ui::InputQuery("Rename", "Name:", value));
    EXPECT_EQ(value, " new name ");
    EXPECT_EQ(seen.caption, "Rename");
    EXPECT_EQ(seen.prompt, "Name:");
    EXPECT_EQ(seen.value, "old.lang");

    ui::SetInputPromptAnswerer([](const ui::InputPromptRequest&) { return std::optional<std::string>(); });
    EXPECT_FALSE(ui::InputQuery("Rename", "Name:", value));
    EXPECT_EQ(value, " new name ");
}

TEST_F(InputPromptTest, DialogOpensWithTextSelectedAndEnterTakesTheEditedText)
{
    std::string value = "old.lang";
    const bool ok = Ask(value, [](QDialog* dialog, QLineEdit* edit) {
        EXPECT_EQ(dialog->windowTitle(), "Rename");
        EXPECT_NE(dialog->findChild<QLabel*>(), nullptr);
        EXPECT_EQ(dialog->findChild<QLabel*>()->text(), "PLease input new file name:");
        EXPECT_EQ(edit->text(), "old.lang");
        EXPECT_EQ(edit->selectedText(), "old.lang");
        EXPECT_EQ(edit->maxLength(), 255);
        edit->setText("new.lang ");
        Press(edit, Qt::Key_Return);
        EXPECT_FALSE(dialog->isVisible());
    });
    EXPECT_TRUE(ok);
    EXPECT_EQ(value, "new.lang ");
}

TEST_F(InputPromptTest, CaptionAndPromptShowAsWrittenNotAsMarkup)
{
    std::string value;
    Ask(
        value,
        [](QDialog* dialog, QLineEdit*) {
            auto* label = dialog->findChild<QLabel*>();
            ASSERT_NE(label, nullptr);
            EXPECT_EQ(label->text(), "<i>New</i> name:");
            EXPECT_EQ(label->textFormat(), Qt::PlainText);
            ASSERT_NE(dialog->windowHandle(), nullptr);
            EXPECT_EQ(dialog->windowHandle()->title(), "Rename [*]");
        },
        "Rename [*]", "<i>New</i> name:");
}

TEST_F(InputPromptTest, EscapeCancelsAndKeepsTheValue)
{
    std::string value = "old.lang";
    const bool ok = Ask(value, [](QDialog* dialog, QLineEdit* edit) {
        edit->setText("typed");
        Press(edit, Qt::Key_Escape);
        EXPECT_FALSE(dialog->isVisible());
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(value, "old.lang");
}

TEST_F(InputPromptTest, EditTakesAtMost255CharactersButNeverCutsTheGivenText)
{
    std::string value;
    Ask(value, [](QDialog*, QLineEdit* edit) {
        edit->setText(QString(300, 'a'));
        EXPECT_EQ(edit->text().size(), 255);
    });
    value = std::string(300, 'b');
    const bool ok = Ask(value, [](QDialog* dialog, QLineEdit*) { dialog->accept(); });
    EXPECT_TRUE(ok);
    EXPECT_EQ(value, std::string(300, 'b'));
}

TEST_F(InputPromptTest, OkThenCancelInThatOrderAndEachClosesTheDialog)
{
    for (const char* pick : {"OK", "Cancel"}) {
        std::string value = "old.lang";
        const bool ok = Ask(value, [pick](QDialog* dialog, QLineEdit* edit) {
            auto buttons = dialog->findChildren<QPushButton*>();
            ASSERT_EQ(buttons.size(), 2);
            std::sort(buttons.begin(), buttons.end(), [](auto* a, auto* b) { return a->x() < b->x(); });
            EXPECT_EQ(buttons[0]->text(), "OK");
            EXPECT_EQ(buttons[1]->text(), "Cancel");
            EXPECT_TRUE(buttons[0]->isDefault());
            edit->setText("new.lang");
            (std::string(pick) == "OK" ? buttons[0] : buttons[1])->click();
            EXPECT_FALSE(dialog->isVisible());
        });
        EXPECT_EQ(ok, std::string(pick) == "OK");
        EXPECT_EQ(value, ok ? "new.lang" : "old.lang");
    }
}

// A value shown as Windows-1252 comes back in it; a typed character that
// Windows-1252 can't hold is refused with an error box, and the prompt stays.
TEST_F(InputPromptTest, TypedTextGoesBackInTheValuesEncodingOrIsRefused)
{
    win32::detail::OverrideSystemCodePage("UTF-8");
    std::vector<std::string> boxes;
    ui::SetMessageBoxAnswerer([&](const ui::MessageBoxRequest& r) { return boxes.push_back(r.text), win32::IDOK; });
    std::string value = "fran\xe7" "ais.lang";
    const bool ok = Ask(value, [&](QDialog* dialog, QLineEdit* edit) {
        for (const char* typed : {"\u0416.lang", "d\u00e9j\u00e0.lang"}) {
            EXPECT_TRUE(dialog->isVisible());
            edit->setText(QString::fromUtf8(typed));
            Press(edit, Qt::Key_Return);
        }
    });
    ui::SetMessageBoxAnswerer({});
    win32::detail::OverrideSystemCodePage("");
    EXPECT_EQ(boxes, std::vector<std::string>{"The character \"\xd0\x96\" (U+0416) can not be written in Windows-1252."});
    EXPECT_TRUE(ok);
    EXPECT_EQ(value, "d\xe9j\xe0.lang");
}

} // namespace
