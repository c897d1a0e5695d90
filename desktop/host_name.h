// Whether a text is a dotted IPv4 address, the only host the browser is handed with the session
// id: the address field's text comes from the address-echo service, or from anybody on the way
// to it. And the number a dotted address stands for, which needs no name lookup.
#pragma once
#include <cstdint>
#include <string>

// Four decimal numbers up to 255 joined by dots, nothing else; a number with a leading zero is
// refused, since a browser or the system's lookup reads it as octal.
bool IsDottedAddress(const std::string& text);

// A dotted address as IsDottedAddress has it, as a number in host byte order. Any other text is
// refused, one with a leading zero too: it is left to the system's lookup, which reads octal.
bool ParseIPv4(const std::string& text, uint32_t& address);
