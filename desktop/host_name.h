// Whether a text may stand as the host of a web address handed to the browser: the address
// field's text comes from the address-echo service, or from anybody on the way to it. And the
// number a dotted address stands for, which needs no name lookup.
#pragma once
#include <cstdint>
#include <string>

// A dotted IPv4 address (four decimal numbers up to 255) or a host name: labels of letters,
// digits and hyphens, 1 to 63 characters each, not beginning or ending with a hyphen, joined by
// single dots, at most 253 characters, the last label not all digits.
bool IsHostAddress(const std::string& text);

// A dotted IPv4 address as a number in host byte order. A number with a leading zero is refused
// and so left to the system's lookup, which reads it as octal.
bool ParseIPv4(const std::string& text, uint32_t& address);
