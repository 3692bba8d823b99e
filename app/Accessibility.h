#pragma once

#include <QString>

#include "presenter/View.h"

namespace trilo::gui {

// A caption as Qt shows it: a '&' of the caption itself doubled, and the control's mnemonic,
// if it has one and its letter is in the caption, marked with a '&' of its own.
QString withMnemonic(Control c, const QString& caption);
// The caption as the user reads it, without the mnemonic's mark.
QString withoutMnemonic(const QString& text);

}  // namespace trilo::gui
