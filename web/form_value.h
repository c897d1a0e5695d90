// What a browser's form turns a typed text into, undone: query values as the login page's form
// sends them, back to the program's ISO-8859-15 text.
#pragma once
#include <optional>
#include <string>
#include <string_view>

// "+" is a blank and "%" with two hexadecimal digits a byte; a "%" without them stays. Bytes
// that form UTF-8 (the page's charset) become the character they name, other bytes stand as
// they are: an older browser or a hand-made link may send ISO-8859-15 bytes directly. Nothing
// when the UTF-8 names a character outside ISO-8859-15: no stored text can be what was typed.
std::optional<std::string> DecodeFormValue(std::string_view value);
