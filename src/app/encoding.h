// Conversion between the Windows-1251 bytes of test files and the text that
// widgets show. It happens here and nowhere else.
#pragma once

#include <QString>
#include <QStringList>
#include <string>
#include <vector>

// Bytes to widget text. Control bytes that a line can hold (a lone LF, say)
// are shown as their Unicode control pictures so that they survive editing.
QString toQt(const std::string& bytes);

// Widget text to bytes. A character the code page cannot hold becomes "?";
// so does any control character but the tab, and the control pictures of CR
// and of 0x1A, which would end a line or the file.
std::string fromQt(const QString& text);

// What a user typed, pasted or dropped, as the program can hold it. Each
// character as the user sees it (a grapheme cluster, taken in its composed
// form) that Windows-1251 cannot hold becomes one "?"; so does a typed control
// picture, which stands only for a byte of a loaded file. The control
// characters of the code page (Enter, Backspace...) pass unchanged.
QString typedText(const QString& text);

// The number of characters of a text as the user sees them.
int visibleLength(const QString& text);

QStringList toQt(const std::vector<std::string>& lines);
std::vector<std::string> fromQt(const QStringList& lines);

// File names are the operating system's bytes, not Windows-1251 text.
std::string fileNameBytes(const QString& name);
QString fileNameText(const std::string& bytes);
