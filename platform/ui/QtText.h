// The one road by which texts cross between the system's bytes and the
// window toolkit's strings.
//
// The system's texts are single-byte strings in the system code page, and
// a language file may come from Windows in code page 1252. So bytes that
// are a valid text in the locale's encoding (win32::SystemCodePageName) are
// decoded in it, and any others as Windows-1252. A text goes back in the
// encoding it came in: unchanged, to exactly its bytes. A character that
// the encoding can't hold is refused, never replaced.
//
//     label->setText(ui::ToQString(catalog.GetMsgItem(7)));
//     std::string bytes = ui::FromQString(edit->text(), original); // may raise EEncodingError
#pragma once

#include "classlib/Exceptions.h"

#include <QString>

#include <string>
#include <string_view>

namespace ui {

/// The encodings in which bytes cross into the toolkit.
enum class TextEncoding {
    /// The locale's encoding, the system code page.
    Locale,
    /// Windows code page 1252. Its five unassigned bytes (0x81, 0x8D, 0x8F,
    /// 0x90, 0x9D) read as the control characters of the same number, so
    /// that every byte string reads and goes back whole.
    Windows1252,
};

/// A character has no form in the encoding a text goes back in. The
/// message names the character and the encoding.
class EEncodingError : public vantrel::Exception {
public:
    using Exception::Exception;
};

/// The encoding bytes are read in: Locale when they are a valid text in the
/// locale's encoding (always so for ASCII and the empty string), else
/// Windows1252.
TextEncoding EncodingOf(std::string_view bytes);

/// The name of an encoding for messages: the locale's encoding as the C
/// library names it ("UTF-8", "ISO-8859-15"), or "Windows-1252".
std::string EncodingName(TextEncoding encoding);

/// Bytes as the toolkit shows them: decoded in EncodingOf(bytes).
QString ToQString(std::string_view bytes);

/// A toolkit text as bytes in encoding. Raises EEncodingError when a
/// character has no form in it.
std::string FromQString(const QString& text, TextEncoding encoding);

/// A toolkit text as bytes in the encoding in which original is shown:
/// original itself when text is ToQString(original), else text encoded in
/// EncodingOf(original). Raises EEncodingError when a character has no form
/// in that encoding.
std::string FromQString(const QString& text, std::string_view original);

} // namespace ui
