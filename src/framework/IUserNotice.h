// Every message box of the system goes through one replaceable function, so that tests and
// command-line tools can observe notices instead of blocking on a dialog nobody can click.
#pragma once

enum ENoticeKind { kNoticeInfo = 0, kNoticeError = 1 };

using IUserNoticeFunc = void (*)(const char* text, const char* caption, ENoticeKind kind);

// Shows a notice: on Windows a MessageBoxA with no owner and an information or error icon;
// elsewhere the text goes to standard error.
void ShowUserNotice(const char* text, const char* caption, ENoticeKind kind);

// Replaces the notice function (null restores the platform default); returns the previous one.
IUserNoticeFunc SetUserNoticeFunc(IUserNoticeFunc func);
