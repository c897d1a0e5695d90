// Conversion between the program's single-byte ISO-8859-15 texts and UTF-8 / UTF-16, used where
// texts meet the toolkit, the settings file's UTF-8 form and the Windows API.
#pragma once
#include <optional>
#include <string>
#include <string_view>

std::string Latin9ToUtf8(std::string_view text);
// Characters without an ISO-8859-15 form, and malformed sequences, become "?".
std::string Utf8ToLatin9(std::string_view text);
// For bytes of unknown origin: each well-formed UTF-8 sequence becomes its ISO-8859-15
// character; every other byte stays as it is. Nothing when a sequence names a character that
// ISO-8859-15 has no place for: such a text cannot be held without losing what it says.
std::optional<std::string> Utf8SequencesToLatin9(std::string_view bytes);
std::u16string Latin9ToUtf16(std::string_view text);
// Characters without an ISO-8859-15 form become "?", each half of a surrogate pair too.
std::string Utf16ToLatin9(std::u16string_view text);
// Whether a typed text converts without a "?" standing in for a character: false for a
// character outside ISO-8859-15 and for a malformed sequence.
bool Utf8FitsLatin9(std::string_view text);
bool Utf16FitsLatin9(std::u16string_view text);
