// A capture library without the capture-window function, built as avicap32.dll for the black-box
// run's check of the program's start-up message.
#include <windows.h>

extern "C" __declspec(dllexport) BOOL WINAPI capGetDriverDescriptionW(WORD, LPWSTR, INT, LPWSTR, INT) { return FALSE; }
