// The one-line input prompt, with a seam through which tests answer it.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace ui {

/// Asks for one line of text in a modal dialog: the caption, the prompt
/// above one edit box that opens holding value selected in full, OK (the
/// default, also Enter) and Cancel (also Escape and the close button). The
/// edit takes at most 255 characters (more only when value is longer, so
/// that it is never cut). OK stores the edited text, exactly as typed, in
/// value, in the encoding in which value was shown (ui::FromQString), and
/// returns true; a typed character that encoding can't hold is refused with
/// an error box, and the prompt stays open. Cancel leaves value alone and
/// returns false, as does a call when no dialog can be shown.
bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value);

/// One prompt, as InputQuery was asked to show it.
struct InputPromptRequest {
    std::string caption;
    std::string prompt;
    std::string value;
};

/// Receives each prompt instead of the screen: the text for OK, or
/// std::nullopt for Cancel.
using InputPromptAnswerer = std::function<std::optional<std::string>(const InputPromptRequest&)>;

/// Installs an answerer (tests only); an empty function removes it.
void SetInputPromptAnswerer(InputPromptAnswerer answerer);

/// Largest number of characters the edit box takes.
constexpr int kInputPromptMaxLength = 255;

} // namespace ui
