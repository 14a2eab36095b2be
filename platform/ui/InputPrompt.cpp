#include "ui/InputPrompt.h"

#include "ui/AnswererSlot.h"
#include "ui/Application.h"
#include "ui/MessageBox.h"
#include "ui/QtText.h"
#include "ui/WindowTitle.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

#include <algorithm>

namespace ui {
namespace {

detail::AnswererSlot<InputPromptAnswerer> gAnswerer;

InputPromptAnswerer CurrentAnswerer() { return gAnswerer.Get(); }

// The typed text in the bytes of the value given; a character that can't
// be written in them is refused with an error box, and the prompt stays.
std::optional<std::string> Answer(QDialog& dialog, const QString& typed, const InputPromptRequest& request)
{
    try {
        return FromQString(typed, request.value);
    } catch (const EEncodingError& error) {
        const std::string text = ErrorReportText(error.what());
        win32::MessageBoxA(HandleOf(&dialog), text.c_str(), request.caption.c_str(), win32::MB_OK | win32::MB_ICONERROR);
        return std::nullopt;
    }
}

std::optional<std::string> ShowPrompt(const InputPromptRequest& request)
{
    QDialog dialog(QApplication::activeWindow());
    dialog.setWindowTitle(LiteralWindowTitle(request.caption));
    auto* layout = new QVBoxLayout(&dialog);
    auto* label = new QLabel(&dialog);
    label->setTextFormat(Qt::PlainText);
    label->setText(ToQString(request.prompt));
    auto* edit = new QLineEdit(&dialog);
    edit->setObjectName("edit");
    const QString value = ToQString(request.value);
    edit->setMaxLength(std::max<int>(kInputPromptMaxLength, static_cast<int>(value.size())));
    edit->setText(value);
    edit->selectAll();
    label->setBuddy(edit);
    // Plain buttons in the system's order (OK, Cancel) under every layout.
    auto* ok = new QPushButton(QObject::tr("OK"), &dialog);
    auto* cancel = new QPushButton(QObject::tr("Cancel"), &dialog);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &dialog, [&] {
        if (Answer(dialog, edit->text(), request)) dialog.accept();
    });
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addWidget(label);
    layout->addWidget(edit);
    layout->addLayout(buttons);
    dialog.setMinimumWidth(300);
    edit->setFocus();
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return Answer(dialog, edit->text(), request);
}

} // namespace

bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value)
{
    const InputPromptRequest request{caption, prompt, value};
    std::optional<std::string> answer;
    if (auto answerer = CurrentAnswerer()) {
        answer = answerer(request);
    } else {
        QApplication* app = EnsureApplication();
        if (!app || QThread::currentThread() != app->thread()) return false;
        answer = ShowPrompt(request);
    }
    if (!answer) return false;
    value = *answer;
    return true;
}

void SetInputPromptAnswerer(InputPromptAnswerer answerer)
{
    gAnswerer.Set(std::move(answerer));
}

} // namespace ui
