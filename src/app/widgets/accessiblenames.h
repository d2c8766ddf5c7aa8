#pragma once

#include <QString>

class QWidget;

// Every control carries an accessible name, so screen readers and test
// robots can find it: its caption (a button's text without the "&", a
// frame's title, a label's text, a window's title), or, where it has none,
// the text of the label set beside it as its buddy, its tooltip, the title
// of the frame it sits in, or its role; never its object name.
namespace AccessibleNames {

// The name a control gets when it has none of its own.
QString nameFor(const QWidget &widget);

// Gives widget its name unless it has one.
void apply(QWidget &widget);

// From now on every widget of the program is named when it is first
// polished (shown). Safe to call more than once.
void installForApplication();

} // namespace AccessibleNames
