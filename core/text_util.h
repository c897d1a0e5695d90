// Small text helpers shared by every subsystem: number values, trimming, letter case, slashes.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// Number value of a text: leading spaces and tabs, one sign, then "$" hexadecimal, "%" binary
// or decimal digits up to the first other character; no digits gives 0. 64 bits, wrapping.
int64_t NumberValue(std::string_view text);

// Removes leading and trailing spaces and tabs.
std::string TrimText(std::string_view text);

// Removes leading and trailing space characters only (not tabs).
std::string StripSpaces(std::string_view text);

// ASCII letters only; other bytes (ISO-8859-15 umlauts among them) stay as they are.
std::string LowerCase(std::string_view text);
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// Every occurrence of `what`, scanning from the left; a removed occurrence is skipped whole.
std::string RemoveAll(std::string_view text, std::string_view what);

// Every occurrence of `what` replaced by `with`, scanning from the left.
std::string ReplaceAll(std::string_view text, std::string_view what, std::string_view with);

// With the platform's path separator ("/" on Linux, "\" on Windows).
std::string AddTrailingSlash(std::string_view path);
std::string StripTrailingSlash(std::string_view path);
// Up to and including the last separator, empty when there is none; "/" counts on Windows too,
// where a path may carry it.
std::string DirectoryPart(std::string_view path);
