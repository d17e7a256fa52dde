// The program's string table. It holds none of the ids the message box and the renderer ask
// for, so their built-in texts show; tests fill it to exercise the resource paths.
#pragma once

#include <QString>

// The string of id, or the empty text when there is none (at most 260 characters).
QString LoadStringResource(unsigned id);
void SetStringResource(unsigned id, const QString& text);
void ClearStringResources();
