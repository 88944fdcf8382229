// Every message box of the system goes through one replaceable function, so that tests and
// command-line tools can observe notices instead of blocking on a dialog nobody can click.
#pragma once

enum ENoticeKind { kNoticeInfo = 0, kNoticeError = 1 };

using IUserNoticeFunc = void (*)(const char* text, const char* caption, ENoticeKind kind);

// Shows a notice: on Windows a message box (ShowUserMessageBox) with no owner and an
// information or error icon; elsewhere the text goes to standard error.
void ShowUserNotice(const char* text, const char* caption, ENoticeKind kind);

// Replaces the notice function (null restores the platform default); returns the previous one.
IUserNoticeFunc SetUserNoticeFunc(IUserNoticeFunc func);

// A message box that answers: owner window (may be null), text, caption and the Win32
// MessageBoxA type flags; returns the Win32 result (IDOK, IDYES, ...).
using IMessageBoxFunc = int (*)(void* owner, const char* text, const char* caption, int type);

// On Windows MessageBoxA; elsewhere the window host's box (SetPlatformMessageBoxFunc) or, without
// one, standard error with the answer IDOK (1). The default notice function shows its notices
// through this one as well.
int ShowUserMessageBox(void* owner, const char* text, const char* caption, int type);

// Replaces the message box function (null restores the platform default); returns the previous one.
IMessageBoxFunc SetUserMessageBoxFunc(IMessageBoxFunc func);

// Where the system has no message box of its own (elsewhere than Windows), a window host offers
// its own as the platform default: the X11 window host's dialog, which answers 0 when it cannot
// show one (no editor window open); then, as without one, the text goes to standard error.
// Null removes it.
void SetPlatformMessageBoxFunc(IMessageBoxFunc func);
