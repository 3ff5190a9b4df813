#pragma once
// The About box (template 9000) and its two links.
#include <windows.h>

#include <cstddef>

INT_PTR CALLBACK AboutDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Start-up of the box: icons, texts, notice line, version line and the five fonts.
BOOL InitAboutDialog(HWND window);

// True when the packed client position (lParam of a mouse message) lies strictly inside the
// window rectangle of the control: its left column and top row count as outside.
bool IsOverLink(HWND window, LPARAM position, int controlId);
// Shows the hand while the pointer is over the link, else puts the previous cursor back.
void UpdateLinkCursor(HWND window, LPARAM position, int controlId);

// The first year of the notice line.
constexpr WORD NoticeFirstYear = 2000;
// The notice line's year range for the given year: "2000" up to 2000, else "2000-<year>".
HRESULT FormatYearRange(WORD year, wchar_t *buffer, size_t capacity);
// lfHeight of a font of the given size in points on a screen with the given dots per inch.
LONG FontHeightForPoints(int points, int dotsPerInch);

// Left click in the box (lParam of WM_LBUTTONDOWN): runs the action of the link under it.
LRESULT HandleLinkClick(HWND window, LPARAM position);
// Starts the machine's default mail client with a mail to address, subject as its subject.
// A value that does not fit its buffer abandons the start: nothing is started then.
void ComposeSupportMail(const wchar_t *address, const wchar_t *subject);
// Asks the shell to open the homepage (string 17), maximised.
void OpenHomepage(HWND window);
